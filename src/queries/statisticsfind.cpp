#include "queries/statisticsfind.h"

#include "queries/querystatements.h"
#include "reports/modreport.h"

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
    return ModReport::statisticsFindSet(queryConnection(), m_source.tableCode, text.text);
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
