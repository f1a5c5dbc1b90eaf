#pragma once

#include <QString>

// Archives and backups hold the members' personal data: their files are
// readable and writable by their owner only, whatever the umask. The engine
// gives a database's journal files the mode of the database file, so making
// that file private before the engine first opens it is enough.
namespace PrivateFile {
// Creates an empty file with mode 0600; refuses when the path exists.
// Throws DbException.
void create(const QString &path);
}
