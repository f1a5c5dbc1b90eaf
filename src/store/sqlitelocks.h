#pragma once

#include <QString>

// SQLite locks a database file with POSIX record locks, which belong to the
// whole process: a close() of *any* descriptor of that file anywhere in the
// process (a file dialog telling a file's type, a library reading a header,
// our own code) drops every lock the engine holds on it, and another process
// may then write under us or take the journal away.
//
// keepLocksAcrossCloses() routes the engine's record locks to one
// open-file-description lock per file instead (Linux F_OFD_SETLK): such a lock
// belongs to a description the engine alone holds, so a close() elsewhere
// does not touch it. Within the process the locks behave as before (one
// owner per file, as the engine expects); to other processes, and to tools
// using classic POSIX locks, they conflict exactly as before.
//
// Called before the engine opens its first file; safe to call again.
namespace SqliteLocks {
void keepLocksAcrossCloses();
// True when the engine's locks are open-file-description locks.
bool keptAcrossCloses();
// True when `path` is a file the engine has open (an archive, its journal,
// WAL or shared-memory file): nothing else may write or replace it.
bool engineHasOpen(const QString &path);
// Why an export may not write `path` (the open archive or one of its files),
// or empty when it may.
QString refusalToWrite(const QString &path);
}
