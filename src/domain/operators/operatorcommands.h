#pragma once

#include <QString>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QVariant>

class Connection;
class Recordset;

// Operator accounts (czyzd) and their rights (czy): every statement of the two
// tables, each command of several statements in one transaction.
namespace OperatorCommands {
// Every account, as the login lists them; the accounts the operators window edits.
// Neither holds the stored passwords: they are read only to check one.
QString allAccountsSql();
QString editableAccountsSql();
// The number (czy_no) of the logged-in operator's own account, found by the
// name trimmed of blanks; invalid when there is none.
QVariant ownAccount(Connection &connection, const QString &trimmedName);

enum class AddOutcome { Incomplete, Duplicate, Mismatch, Added };
// A new account from the name and the password typed twice (compared exactly).
AddOutcome addAccount(Connection &connection, const QString &name, const QString &password, const QString &repeat);

// The one password check of the login and the password change: exact, case
// and blanks included; a null stored password matches nothing. A password
// still stored in clear (an older file, a row typed in by hand) is replaced
// by its hash once it has matched.
bool checkPassword(Connection &connection, qint64 account, const QString &typed);

enum class LoginOutcome { LoggedIn, Refused };
// The login: on a file the check above; on a server the server checks the
// password of the operator's role, and the connection then runs as that role
// (its location, password left out, in `sessionLocation`).
// `firstReads` (statements with their values) are read with the opening of
// the operator's session on a server, in its round trip.
LoginOutcome logIn(Connection &connection, qint64 account, const QString &typed, QString *sessionLocation = nullptr,
                   const QList<QPair<QString, QVariantList>> &firstReads = {});
// Before the login window reads its list: what logIn asks first travels with
// that read (on a server, the operators' roles).
void readLoginAhead(Connection &connection);

enum class ChangeOutcome { Changed, OldRefused, NoAccount };
// Stores the hash of a new password, if the old one still matches what is stored now.
ChangeOutcome changePassword(Connection &connection, qint64 account, const QString &oldPassword,
                             const QString &newPassword);
// The administrator's reset of a forgotten password; false when the name has no account.
bool resetPassword(Connection &connection, const QString &name, const QString &password);

// The function names granted to an operator, in stored order.
QStringList rightsOf(Connection &connection, const QString &name);
// What rightsOf() reads, with the name as its value.
QString rightsSql();
// Replaces an operator's rights; false when the name has no account.
bool saveRights(Connection &connection, const QString &name, const QStringList &functions);
// Deletes the recordset's current account and its rights together.
void deleteAccount(Connection &connection, Recordset &accounts);
}
