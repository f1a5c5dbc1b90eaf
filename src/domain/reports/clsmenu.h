#pragma once

#include <QString>

class Connection;

// One report of the catalogue (pr_report), loaded by its number.
class Clsmenu
{
public:
    // Every report of the catalogue, in menu order.
    static QString catalogueSql();
    // Loads row xh; a missing number leaves the three texts as they were.
    void Menutj(Connection &conn, int intxh);
    QString PrSQl() const { return m_sql; }
    QString Findtjtablename() const { return m_findTable; }
    QString Prtjtablename() const { return m_printTable; }

private:
    QString m_sql;
    QString m_findTable;
    QString m_printTable;
};
