#include "store/fielddictionary.h"

#include "store/recordset.h"
#include "store/sqlquote.h"

QString FieldDictionary::entrySql(const QString &table, bool visibleOnly)
{
    return QStringLiteral("select * from dh_codedict where table_code=") + sqlQuote(table)
           + (visibleOnly ? QStringLiteral(" and can_show='1'") : QString()) + QStringLiteral(" order by xh");
}

QString FieldDictionary::querySql(const QString &source, bool ordered)
{
    return QStringLiteral("select * from pr_codedict where table_code=") + sqlQuote(source)
           + (ordered ? QStringLiteral(" order by xh") : QString());
}

QString FieldDictionary::allPrintRowsSql()
{
    return QStringLiteral("select * from pr_codedict");
}

QString FieldDictionary::printSql(const QString &source)
{
    return QStringLiteral("select * from PR_codedict where table_CODE=") + sqlQuote(source)
           + QStringLiteral(" and can_SHOW='1' order by xh");
}

QString FieldDictionary::pickListSql(const QString &checkTable, const QString &checkColumn, const QString &checkValue)
{
    return QStringLiteral("select * from ") + checkTable + QStringLiteral(" where ") + checkColumn + QLatin1Char('=')
           + sqlQuote(checkValue);
}

QString FieldDictionary::valueListSql(const QString &list)
{
    return QStringLiteral("select * from dict where class=") + sqlQuote(list);
}

bool FieldDictionary::findByCode(Recordset &rows, const QString &code)
{
    if (rows.recordCount() == 0)
        return false;
    rows.moveFirst();
    return rows.find(QStringLiteral("colm_code=") + sqlQuote(code));
}

bool FieldDictionary::findByName(Recordset &rows, const QString &caption)
{
    if (rows.recordCount() == 0)
        return false;
    rows.moveFirst();
    return rows.find(QStringLiteral("colm_name=") + sqlQuote(caption));
}

bool FieldDictionary::isFlagSet(const QVariant &flag)
{
    return flag.toString() == QLatin1String("1");
}

QString FieldDictionary::typeWord(const QVariant &type)
{
    return type.toString().toUpper();
}

PrintColumn FieldDictionary::printColumnOf(const Recordset &rows)
{
    PrintColumn c;
    c.tableCode = rows.text(QStringLiteral("table_code"));
    c.tableName = rows.text(QStringLiteral("table_name"));
    c.code = rows.text(QStringLiteral("colm_code"));
    c.caption = rows.text(QStringLiteral("colm_name"));
    c.type = typeWord(rows.value(QStringLiteral("COLM_TYPE")));
    c.width = rows.value(QStringLiteral("colm_cd")).toInt();
    c.sumTag = rows.text(QStringLiteral("SUM_TAG"));
    c.align = rows.text(QStringLiteral("COLM_dq")).toUpper();
    return c;
}

QVector<PrintColumn> FieldDictionary::printColumns(Connection &connection, const QString &source, int limit)
{
    Recordset rows;
    rows.open(printSql(source), &connection, LockType::ReadOnly);
    QVector<PrintColumn> columns;
    for (int i = 0; i < rows.recordCount() && columns.size() < limit; ++i) {
        rows.moveTo(i);
        columns.append(printColumnOf(rows));
    }
    return columns;
}
