#pragma once

#include <QString>

class Connection;

namespace Modulrestore {
// Puts the backup in place of the open archive and says how it went: done,
// with where the archive before it was kept, or why nothing was changed.
// True when the archive now holds the backup's data.
bool data_restore(Connection &connection, const QString &backup);
}
