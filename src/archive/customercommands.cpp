#include "archive/customercommands.h"

#include "store/connection.h"
#include "store/recordset.h"

QString CustomerCommands::customersSql()
{
    return QStringLiteral("select * from hyda");
}

QString CustomerCommands::clearingLogSql()
{
    return QStringLiteral("select * from jifenallow");
}

void CustomerCommands::deleteCustomer(Connection &connection, Recordset &customers)
{
    const QString kh = customers.text(QStringLiteral("kh"));
    customers.deleteCurrentWith([&] { connection.execute(QStringLiteral("delete from hyxc where kh=?"), {kh}); });
}
