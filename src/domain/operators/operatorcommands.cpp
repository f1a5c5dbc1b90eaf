#include "domain/operators/operatorcommands.h"

#include "store/connection.h"
#include "store/passwordhash.h"
#include "store/recordset.h"
#include "store/serverroles.h"
#include "store/transactionguard.h"

#include <QDebug>
#include <optional>

namespace {
// The stored password (null when the account has none); nothing when there is no such account.
std::optional<QVariant> storedPassword(Connection &connection, qint64 account)
{
    Statement row = connection.prepare(QStringLiteral("select czy_pass from czyzd where czy_no=?"));
    row.bind(1, account);
    if (!row.next())
        return std::nullopt;
    return row.value(0);
}

// On a server the server checks a password: the operator's role, tried with it.
std::optional<ServerRoles::Answer> tryOnServer(Connection &connection, qint64 account, const QString &typed,
                                               QString *location = nullptr)
{
    const QString role = ServerRoles::roleOfAccount(connection, account);
    if (role.isEmpty())
        return std::nullopt;
    const QString at = ServerRoles::withUser(connection.location(), role);
    if (location)
        *location = at;
    return ServerRoles::tryPassword(at, typed);
}
} // namespace

QString OperatorCommands::allAccountsSql()
{
    return QStringLiteral("select czy_no, czy_name, sys_tag from czyzd");
}

QString OperatorCommands::editableAccountsSql()
{
    return QStringLiteral("select czy_no, czy_name, sys_tag from czyzd where sys_tag=false");
}

QVariant OperatorCommands::ownAccount(Connection &connection, const QString &trimmedName)
{
    return connection.scalar(QStringLiteral(" select czy_no from czyzd where trim(czy_name) = ?"), {trimmedName});
}

OperatorCommands::AddOutcome OperatorCommands::addAccount(Connection &connection, const QString &name,
                                                          const QString &password, const QString &repeat)
{
    auto taken = [&] {
        return connection.scalar(QStringLiteral("select count(*) from czyzd where czy_name=?"), {name}).toInt() > 0;
    };
    if (taken())
        return AddOutcome::Duplicate;
    if (name.isEmpty() || password.isEmpty())
        return AddOutcome::Incomplete;
    if (password != repeat)
        return AddOutcome::Mismatch;
    if (connection.isServer()) {
        // The account's role comes with the row; its password is the role's.
        TransactionGuard transaction(connection);
        if (taken())
            return AddOutcome::Duplicate;
        connection.execute(QStringLiteral("insert into czyzd(czy_name) values(?)"), {name});
        ServerRoles::setPassword(connection, name, password);
        transaction.commit();
        return AddOutcome::Added;
    }
    // Hashing is slow on purpose: done before the write lock is taken, then the name is checked again.
    const QString hash = PasswordHash::make(password);
    TransactionGuard transaction(connection);
    if (taken())
        return AddOutcome::Duplicate;
    connection.execute(QStringLiteral("insert into czyzd(czy_name,czy_pass) values(?,?)"), {name, hash});
    transaction.commit();
    return AddOutcome::Added;
}

QString OperatorCommands::rightsSql()
{
    return QStringLiteral("select nr from czy where name=?");
}

QStringList OperatorCommands::rightsOf(Connection &connection, const QString &name)
{
    Statement rows = connection.prepare(rightsSql());
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
    for (const QString &function : functions)
        connection.execute(QStringLiteral("insert into czy(name,czy_id,nr) values(?,?,?)"),
                           {name, number.toLongLong(), function});
    transaction.commit();
    return true;
}

void OperatorCommands::deleteAccount(Connection &connection, Recordset &accounts)
{
    // A later account of the same name must not inherit the rights.
    const QString name = accounts.text(QStringLiteral("czy_name"));
    accounts.deleteCurrentWith([&] { connection.execute(QStringLiteral("delete from czy where name=?"), {name}); });
}

bool OperatorCommands::checkPassword(Connection &connection, qint64 account, const QString &typed)
{
    if (connection.isServer())
        return tryOnServer(connection, account, typed) == ServerRoles::Answer::Accepted;
    const QVariant stored = storedPassword(connection, account).value_or(QVariant());
    if (!PasswordHash::matches(stored, typed))
        return false;
    if (!PasswordHash::isHash(stored)) {
        try {
            // Only if nobody changed it meanwhile; a failure here does not undo the login.
            connection.execute(QStringLiteral("update czyzd set czy_pass=? where czy_no=? and czy_pass=?"),
                               {PasswordHash::make(typed), account, stored});
        } catch (const DbException &e) {
            qWarning().noquote() << "password of operator" << account << "left unhashed:" << e.description();
        }
    }
    return true;
}

OperatorCommands::ChangeOutcome OperatorCommands::changePassword(Connection &connection, qint64 account,
                                                                const QString &oldPassword,
                                                                const QString &newPassword)
{
    if (connection.isServer()) {
        QString location;
        const auto answer = tryOnServer(connection, account, oldPassword, &location);
        if (!answer)
            return ChangeOutcome::NoAccount;
        if (*answer != ServerRoles::Answer::Accepted)
            return ChangeOutcome::OldRefused;
        const QString name = connection.scalar(QStringLiteral("select czy_name from czyzd where czy_no=?"), {account}).toString();
        ServerRoles::setPassword(connection, name, newPassword);
        // The seat's later sessions (query windows, a reconnect) log in with the new one.
        ServerRoles::rememberPassword(location, newPassword);
        return ChangeOutcome::Changed;
    }
    const QString hash = PasswordHash::make(newPassword);
    TransactionGuard transaction(connection);
    // Checked again under the write lock: another seat may have changed it since the window checked.
    const std::optional<QVariant> stored = storedPassword(connection, account);
    if (!stored)
        return ChangeOutcome::NoAccount;
    if (!PasswordHash::matches(*stored, oldPassword))
        return ChangeOutcome::OldRefused;
    connection.execute(QStringLiteral("update czyzd set czy_pass=? where czy_no=?"), {hash, account});
    transaction.commit();
    return ChangeOutcome::Changed;
}

bool OperatorCommands::resetPassword(Connection &connection, const QString &name, const QString &password)
{
    if (connection.isServer()) {
        if (connection.scalar(QStringLiteral("select count(*) from czyzd where czy_name=?"), {name}).toInt() == 0)
            return false;
        ServerRoles::setPassword(connection, name, password);
        return true;
    }
    const QString hash = PasswordHash::make(password);
    return connection.execute(QStringLiteral("update czyzd set czy_pass=? where czy_name=?"), {hash, name}) > 0;
}

void OperatorCommands::readLoginAhead(Connection &connection)
{
    ServerRoles::readRolesAhead(connection);
}

OperatorCommands::LoginOutcome OperatorCommands::logIn(Connection &connection, qint64 account, const QString &typed,
                                                       QString *sessionLocation,
                                                       const QList<QPair<QString, QVariantList>> &firstReads)
{
    if (!connection.isServer())
        return checkPassword(connection, account, typed) ? LoginOutcome::LoggedIn : LoginOutcome::Refused;
    const QString role = ServerRoles::roleOfAccount(connection, account);
    if (role.isEmpty())
        return LoginOutcome::Refused;
    // The operator's own session, opened with the password typed: the server
    // checks it there, and a refusal is a wrong password. From here on every
    // session of the seat (this one, streamed reads, query windows) runs as
    // the operator, with the password just accepted.
    const QString location = ServerRoles::withUser(connection.location(), role);
    if (!ServerRoles::logInAs(connection, location, typed, firstReads))
        return LoginOutcome::Refused;
    if (sessionLocation)
        *sessionLocation = location;
    return LoginOutcome::LoggedIn;
}
