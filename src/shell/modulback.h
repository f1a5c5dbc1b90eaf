#pragma once

#include <QString>

class Connection;

namespace Modulback {
// kvora.db -> kvora.bak, beside the database.
QString backupPathFor(const QString &databasePath);
// Backs up the open database beside itself and says so; a failure is shown
// with its reason and leaves the previous backup as it was.
void data_backup(Connection &connection);
}
