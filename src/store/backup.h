#pragma once

#include <QString>

class Connection;

// Copies the committed content of the connection's database into target with
// SQLite's online backup (consistent while the program holds the file). The
// copy is written beside target first and renamed over it only when whole, so
// a failure leaves an earlier backup intact. Throws DbException.
void backupDatabase(Connection &connection, const QString &target);
