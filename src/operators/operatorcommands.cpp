#include "operators/operatorcommands.h"

#include "store/connection.h"
#include "store/recordset.h"
#include "store/transactionguard.h"

QString OperatorCommands::allAccountsSql()
{
    return QStringLiteral("select * from czyzd");
}

QString OperatorCommands::editableAccountsSql()
{
    return QStringLiteral("select * from czyzd where sys_tag=false");
}

QString OperatorCommands::ownAccountSql()
{
    return QStringLiteral(" select * from czyzd where trim(czy_name) = ?");
}

OperatorCommands::AddOutcome OperatorCommands::addAccount(Connection &connection, const QString &name,
                                                          const QString &password, const QString &repeat)
{
    TransactionGuard transaction(connection);
    if (connection.scalar(QStringLiteral("select count(*) from czyzd where czy_name=?"), {name}).toInt() > 0)
        return AddOutcome::Duplicate;
    if (name.isEmpty() || password.isEmpty())
        return AddOutcome::Incomplete;
    if (password != repeat)
        return AddOutcome::Mismatch;
    connection.execute(QStringLiteral("insert into czyzd(czy_name,czy_pass) values(?,?)"), {name, password});
    transaction.commit();
    return AddOutcome::Added;
}

QStringList OperatorCommands::rightsOf(Connection &connection, const QString &name)
{
    Statement rows = connection.prepare(QStringLiteral("select nr from czy where name=?"));
    rows.bind(1, name);
    QStringList functions;
    while (rows.next())
        functions << rows.value(0).toString();
    return functions;
}

bool OperatorCommands::saveRights(Connection &connection, const QString &name, const QStringList &functions)
{
    TransactionGuard transaction(connection);
    // The number comes from the account as it is now, not as some window read it.
    const QVariant number = connection.scalar(QStringLiteral("select czy_no from czyzd where czy_name=?"), {name});
    if (!number.isValid())
        return false;
    connection.execute(QStringLiteral("delete from czy where name=?"), {name});
    Statement insert = connection.prepare(QStringLiteral("insert into czy(name,czy_id,nr) values(?,?,?)"));
    for (const QString &function : functions) {
        insert.bindAll({name, number.toLongLong(), function});
        insert.run();
    }
    transaction.commit();
    return true;
}

void OperatorCommands::deleteAccount(Connection &connection, Recordset &accounts)
{
    // A later account of the same name must not inherit the rights.
    const QString name = accounts.text(QStringLiteral("czy_name"));
    accounts.deleteCurrentWith([&] { connection.execute(QStringLiteral("delete from czy where name=?"), {name}); });
}
