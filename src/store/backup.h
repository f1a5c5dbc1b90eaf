#pragma once

#include <QString>

class Connection;

// Copies the committed content of the connection's archive into target as a
// database file of ours (consistent while the program works on it). The copy
// is written beside target first and renamed over it only when whole, so a
// failure leaves an earlier backup intact. Throws DbException.
void backupDatabase(Connection &connection, const QString &target);

// Where the backup of an archive goes: beside a file, same name with ".bak"
// (kvora.db -> kvora.bak); for a server archive, in the program's data folder
// named after the database (postgresql://host/kvora -> <data folder>/kvora.bak).
QString backupPathFor(const QString &location);
