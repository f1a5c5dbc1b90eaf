#pragma once

#include <QString>

class Connection;

// Putting a backup (a database file of ours, see backupDatabase) back in
// place of the archive a connection is open on.
namespace ArchiveRestore {
// Where the archive is kept before a restore replaces it: kvora.db -> kvora.db.before-restore.
QString keptPathFor(const QString &databasePath);

// Throws DbException saying why, unless `backup` is a whole database file of
// this program (application id, integrity check) with a schema it knows: a
// version no newer than ours, and every table, column, view and trigger of ours.
void checkBackup(const QString &backup);

// Checks the backup, keeps a copy of the archive at keptPathFor() (an earlier
// copy there is renamed with its time, not overwritten), and replaces the
// archive's content with the backup's in one transaction: all of it or none.
// The connection sees the restored rows; the caller reopens it for a clean
// start. Returns the kept copy's path. Throws DbException, the archive as it was.
QString restore(Connection &connection, const QString &backup);
}
