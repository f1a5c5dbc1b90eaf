#pragma once

#include <QString>
#include <QStringList>

class Connection;
class Recordset;

// Operator accounts (czyzd) and their rights (czy): every statement of the two
// tables, each command of several statements in one transaction.
namespace OperatorCommands {
// Every account, as the login lists them; the accounts the operators window edits.
QString allAccountsSql();
QString editableAccountsSql();
// The logged-in operator's own account, by the name trimmed of blanks (one parameter).
QString ownAccountSql();

enum class AddOutcome { Incomplete, Duplicate, Mismatch, Added };
// A new account from the name and the password typed twice (compared exactly).
AddOutcome addAccount(Connection &connection, const QString &name, const QString &password, const QString &repeat);

// The function names granted to an operator, in stored order.
QStringList rightsOf(Connection &connection, const QString &name);
// Replaces an operator's rights; false when the name has no account.
bool saveRights(Connection &connection, const QString &name, const QStringList &functions);
// Deletes the recordset's current account and its rights together.
void deleteAccount(Connection &connection, Recordset &accounts);
}
