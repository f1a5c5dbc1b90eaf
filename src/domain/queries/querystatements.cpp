#include "domain/queries/querystatements.h"

#include "store/reportorder.h"

#include "store/sqlquote.h"

QString QueryStatements::conditionFieldsSql(const QString &source, bool asStored)
{
    return QStringLiteral("select * from pr_codedict where table_code=") + sqlQuote(source)
           + (asStored ? QStringLiteral(" order by rowid") : QStringLiteral(" order by xh"));
}

QString QueryStatements::memberItinerarySql(const QString &condition)
{
    return QStringLiteral("select * from hyxc   WHERE ") + condition;
}

QString QueryStatements::cardTermOrNamed(const QString &term, const QStringList &names)
{
    QStringList quoted;
    for (const QString &name : names)
        quoted << sqlQuote(name);
    return QLatin1Char('(') + term + QStringLiteral(" or kh in (select kh from hyda where xm in (")
           + quoted.join(QLatin1Char(',')) + QStringLiteral(")))");
}

QString QueryStatements::customerPointsSql(const QString &columns, const QString &condition)
{
    if (condition.isEmpty())
        return ReportOrder::ordered(QStringLiteral("select id,") + columns + QStringLiteral(" from SUMJIFEN  "));
    return ReportOrder::ordered(QStringLiteral("select id,") + columns + QStringLiteral(" from SUMJIFEN   WHERE ") + condition);
}

QString QueryStatements::catalogueReportSql(const QString &reportSql, const QString &condition)
{
    return ReportOrder::ordered(condition.isEmpty() ? reportSql : reportSql + QStringLiteral("  WHERE ") + condition);
}
