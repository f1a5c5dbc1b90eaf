#pragma once

#include <QString>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QVariant>

class Connection;
class Engine;

// On a server the server keeps the rights: each operator is a login role whose
// password is the operator's, the rights are group roles, and a lobby role
// reads the operator names before anyone has logged in (data/roles-postgres.sql).
namespace ServerRoles {
// Whether the session may set up the roles: it is the database's owner, and
// the archive lacks them (an older archive, or a server's copy of one).
// As a column of a query: 1 when they are to be set up, else 0.
QString wantedProbe();
// Creates or brings up to date the roles, their grants and the operators'
// roles. `fresh`: the archive was just created or copied here, so roles of its
// operators left from another database of the same name are made anew,
// without a password. Run by the owner; throws DbException.
void install(Engine &engine, bool fresh);

// The login role of an operator, as the archive names it.
QString roleOf(Connection &connection, const QString &operatorName);
// The same server location, connecting as `role` (any user named in it replaced).
QString withUser(const QString &location, const QString &role);

enum class Answer { Accepted, Refused };
// Tries `password` for the user a location names, on a connection of its own
// that is closed again: Refused when the server turned the password (or the
// role) down. Another failure (no server there) throws DbException.
Answer tryPassword(const QString &location, const QString &password);
// Makes `password` the one a session opening `location` gives (in memory, for this run).
void rememberPassword(const QString &location, const QString &password);

// Moves a connection over to another location of the same archive; on failure it stays where it was.
void openAs(Connection &connection, const QString &location);
// Moves a connection over to an operator's location, connecting with `password`:
// false when the server refused it (the connection then stays where it was).
// The password is kept in memory for the later sessions of the seat.
// `firstReads` (in the program's dialect, with their values) travel with the new session's opening.
bool logInAs(Connection &connection, const QString &location, const QString &password,
             const QList<QPair<QString, QVariantList>> &firstReads = {});
// The login role of an operator's account (empty when there is no such account).
QString roleOfAccount(Connection &connection, qint64 account);
// What roleOfAccount reads (every account's role, in one read): read ahead
// with the login window's list, a login asks the server nothing before its session.
void readRolesAhead(Connection &connection);

// The SCRAM-SHA-256 verifier of a password, made here: the clear password never reaches the server.
QString verifier(Connection &connection, const QString &password);
// Sets an operator's password: the owner may set anyone's, an operator its
// own, a holder of 操作员设置 that of an operator who is no system account.
void setPassword(Connection &connection, const QString &operatorName, const QString &password);
// Whether the connection to the server travels encrypted (TLS).
bool encrypted(Connection &connection);
}
