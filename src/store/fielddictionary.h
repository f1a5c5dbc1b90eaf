#pragma once

#include <QString>
#include <QVector>

class Connection;
class Recordset;

// One row of the print-side dictionary, as the report layout reads it.
struct PrintColumn
{
    QString tableCode;
    QString tableName;
    QString code;
    QString caption;
    QString type;  // upper case
    int width = 0; // characters
    QString sumTag;
    QString align; // upper case
};

// The statements and look-ups every dictionary-driven window uses. Flags and
// codes are compared as text; type words without regard to case.
namespace FieldDictionary {
// "select * from dh_codedict where table_code='t' [and can_show='1'] order by xh"
QString entrySql(const QString &table, bool visibleOnly);
// "select * from pr_codedict where table_code='t'" with or without "order by xh"
QString querySql(const QString &source, bool ordered);
// Every row of the print-side dictionary, as the column settings edit them.
QString allPrintRowsSql();
// "select * from PR_codedict where table_CODE='t' and can_SHOW='1' order by xh"
QString printSql(const QString &source);
// "select * from <check_table> where <check_colm>='<check_value>'"
QString pickListSql(const QString &checkTable, const QString &checkColumn, const QString &checkValue);
// "select * from dict where class='<list>'"
QString valueListSql(const QString &list);

// From the first row, the row whose colm_code (or colm_name) equals the text.
bool findByCode(Recordset &rows, const QString &code);
bool findByName(Recordset &rows, const QString &caption);

bool isFlagSet(const QVariant &flag); // the text "1"
QString typeWord(const QVariant &type); // upper-cased text

// The shown print rows of a source, in order, at most `limit` of them.
QVector<PrintColumn> printColumns(Connection &connection, const QString &source, int limit = 30);
PrintColumn printColumnOf(const Recordset &rows);
}
