#pragma once

#include <QDate>
#include <QString>

class Connection;

// The operator activity log (czyrz): an entry opened when a window loads and
// closed when it unloads, closed entries for ticket actions, and the viewer's
// listing and clearing. Every statement of the log lives here.
namespace Mod_czywrite {
void czyrz_open(Connection &connection, const QString &operatorName, const QString &content);
// Closes every open entry of that content, whoever opened it.
void czyrz_close(Connection &connection, const QString &content);
// An entry opened and closed at once (a refund or a void of a ticket).
void writeClosed(Connection &connection, const QString &operatorName, const QString &content);

// The viewer's listing of closed entries, with an optional condition.
QString listSql(const QString &condition);
// The viewer's find condition: by operator and/or by the day an entry began.
QString findCondition(const QString &name, const QDate &startDate);
// Deletes the closed entries that had been closed by `listedAt` (the time the
// viewer read them); entries closed since then, and open ones, stay.
int deleteClosed(Connection &connection, const QString &listedAt);
// The database's clock as the log writes it (the server's on a server), for `deleteClosed`.
QString now(Connection &connection);
}
