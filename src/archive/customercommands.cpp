#include "archive/customercommands.h"

#include "store/connection.h"
#include "store/recordset.h"
#include "store/transactionguard.h"

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
    TransactionGuard transaction(connection);
    connection.execute(QStringLiteral("delete from hyxc where kh=?"), {customers.text(QStringLiteral("kh"))});
    customers.deleteCurrent();
    transaction.commit();
}
