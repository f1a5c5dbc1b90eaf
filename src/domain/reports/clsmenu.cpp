#include "domain/reports/clsmenu.h"

#include "store/recordset.h"

QString Clsmenu::catalogueSql()
{
    return QStringLiteral("select * from pr_report order by xh");
}

void Clsmenu::Menutj(Connection &conn, int intxh)
{
    Recordset rs;
    rs.open(QStringLiteral("select * from pr_report where xh=?"), &conn, LockType::ReadOnly, {intxh});
    if (rs.bof() && rs.eof())
        return;
    m_sql = rs.text(QStringLiteral("report_sql"));
    m_findTable = rs.text(QStringLiteral("report_findtjtablename"));
    m_printTable = rs.text(QStringLiteral("report_Prtjtablename"));
}
