#include "queries/statisticsfind.h"

#include "domain/queries/querystatements.h"
#include "reports/modreport.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

StatisticsFind::StatisticsFind(AppState &state, const Source &source, QWidget *parent)
    : QueryWindow(state, source.typeName, source.title, 3, parent), m_source(source)
{
    connect(addButton(QStringLiteral("cmdyes"), QStringLiteral("预览(&Y)")), &QPushButton::clicked, this,
            &StatisticsFind::cmdyes_Click);
    connect(addButton(QStringLiteral("Command1"), QStringLiteral("打印(&P)")), &QPushButton::clicked, this,
            &StatisticsFind::Command1_Click);
    connect(addButton(QStringLiteral("Cmdquit"), QStringLiteral("关闭(&Q)")), &QPushButton::clicked, this,
            &QWidget::close);

    auto *row = new QWidget(this);
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("统计方式："), row);
    m_period = new QComboBox(row);
    m_period->setObjectName(QStringLiteral("Cmbperiod"));
    m_period->addItems({QStringLiteral("按日"), QStringLiteral("按月"), QStringLiteral("按时段合计")});
    label->setBuddy(m_period);
    rowLayout->addWidget(label);
    rowLayout->addWidget(m_period);
    rowLayout->addStretch();
    addBelow(row);
}

PeriodTotals::Period StatisticsFind::period() const
{
    switch (m_period->currentIndex()) {
    case 1:
        return PeriodTotals::Period::Month;
    case 2:
        return PeriodTotals::Period::Whole;
    default:
        return PeriodTotals::Period::Day;
    }
}

bool StatisticsFind::load()
{
    openOwnConnection();
    openDictionary(QueryStatements::conditionFieldsSql(m_source.tableCode, m_source.fieldsAsStored));
    return true;
}

Report StatisticsFind::strtjset()
{
    // The report stands as built from the rows accepted before any refused
    // one; building it once from that text gives the same report.
    const ConditionText text = m_conditions->strtjset(TypeWordTables::statistics());
    if (text.acceptedRows == 0)
        return nullptr;
    // The printed page says what it covers.
    const QString covers = QStringLiteral("条件：%1；统计方式：%2").arg(text.words, m_period->currentText());
    return ModReport::statisticsFindSet(queryConnection(), m_source.tableCode, text.text, period(), covers);
}

void StatisticsFind::showStatistics(bool preview)
{
    if (showReport([this] { return strtjset(); }, preview))
        m_conditions->txtsjclear();
}

void StatisticsFind::cmdyes_Click()
{
    showStatistics(true);
}

void StatisticsFind::Command1_Click()
{
    showStatistics(false);
}

// The airline window lists its fields as the rows are stored, not by xh.
frmhangkongFind::frmhangkongFind(AppState &state, QWidget *parent)
    : StatisticsFind(state,
                     {QStringLiteral("frmhangkongFind"), QStringLiteral("航空出票查询"), QStringLiteral("SUMhangkong"),
                      true},
                     parent)
{
}

frmgerenFind::frmgerenFind(AppState &state, QWidget *parent)
    : StatisticsFind(state, {QStringLiteral("frmgerenFind"), QStringLiteral("个人出票查询"), QStringLiteral("SUMgeren")},
                     parent)
{
}

frmdaodaFind::frmdaodaFind(AppState &state, QWidget *parent)
    : StatisticsFind(state, {QStringLiteral("frmdaodaFind"), QStringLiteral("行程出票查询"), QStringLiteral("SUMdaoda")},
                     parent)
{
}
