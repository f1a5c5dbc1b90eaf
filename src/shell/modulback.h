#pragma once

#include <QString>

class Connection;

namespace Modulback {
// kvora.db -> kvora.bak, beside the database; a server archive's goes into
// the program's data folder, named after the database.
QString backupPathFor(const QString &location);
// Backs up the open database beside itself and says so; a failure is shown
// with its reason and leaves the previous backup as it was.
void data_backup(Connection &connection);
}
