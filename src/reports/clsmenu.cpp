#include "reports/clsmenu.h"

#include "store/recordset.h"
#include "store/sqlquote.h"

void Clsmenu::Menutj(Connection &conn, int intxh)
{
    Recordset rs;
    rs.open(QStringLiteral("select * from pr_report where xh=") + sqlNumber(intxh),
            &conn, LockType::ReadOnly);
    if (rs.bof() && rs.eof())
        return;
    m_sql = rs.text(QStringLiteral("report_sql"));
    m_findTable = rs.text(QStringLiteral("report_findtjtablename"));
    m_printTable = rs.text(QStringLiteral("report_Prtjtablename"));
}
