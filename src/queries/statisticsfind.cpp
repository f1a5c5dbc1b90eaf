#include "queries/statisticsfind.h"

#include "reports/modreport.h"
#include "reports/reportoutput.h"
#include "shell/modcwcl.h"
#include "ui/busycursor.h"

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
    openOwnConnection();
    openDictionary(source.dictionarySql);
}

bool StatisticsFind::strtjset()
{
    BusyCursor busy;
    bool built = false;
    DbError error;
    const ConditionText text = m_conditions->strtjset(TypeWordTables::statistics(), [&](const QString &condition) {
        error = {};
        built = ModReport::statisticsFindSet(queryConnection(), m_source.tableCode, condition, &error);
    });
    if (!error.description.isEmpty())
        ModCWCl::err_show(error);
    if (text.unknownField)
        return false;
    return built;
}

void StatisticsFind::cmdyes_Click()
{
    if (!strtjset())
        return;
    ReportOutput::previewBound(this);
    m_conditions->txtsjclear();
}

void StatisticsFind::Command1_Click()
{
    if (!strtjset())
        return;
    ReportOutput::printBound(this);
    m_conditions->txtsjclear();
}

// The airline window lists its fields as the rows are stored, not by xh. Without
// "order by rowid" the (table_code, xh) index would hand them back in xh order.
frmhangkongFind::frmhangkongFind(AppState &state, QWidget *parent)
    : StatisticsFind(state,
                     {QStringLiteral("frmhangkongFind"), QStringLiteral("航空出票查询"), QStringLiteral("SUMhangkong"),
                      QStringLiteral("select * from pr_codedict where table_code='SUMhangkong' order by rowid")},
                     parent)
{
}

frmgerenFind::frmgerenFind(AppState &state, QWidget *parent)
    : StatisticsFind(state,
                     {QStringLiteral("frmgerenFind"), QStringLiteral("个人出票查询"), QStringLiteral("SUMgeren"),
                      QStringLiteral("select * from pr_codedict where table_code='SUMgeren' order by xh")},
                     parent)
{
}

frmdaodaFind::frmdaodaFind(AppState &state, QWidget *parent)
    : StatisticsFind(state,
                     {QStringLiteral("frmdaodaFind"), QStringLiteral("行程出票查询"), QStringLiteral("SUMdaoda"),
                      QStringLiteral("select * from pr_codedict where table_code='SUMdaoda' order by xh")},
                     parent)
{
}
