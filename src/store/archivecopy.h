#pragma once

#include <QString>
#include <QStringList>

class Connection;

// Moving a whole archive between two locations, a database file or a server
// (torvane --copy-database FROM TO), and the backup of a server archive.
namespace ArchiveCopy {
// Copies the archive at `from` into `to`, which must be empty: a file that
// does not exist yet, or a server database without tables. The rows are read
// from one snapshot and written in one transaction on the target, then checked
// (row counts of every table, points totals, kept statistics). Returns what
// was copied, a line per table. Throws DbException; the target is then as it
// was (no file, or an empty database).
QStringList copy(const QString &from, const QString &to);

// A consistent copy of the archive `source` is open on, written as a new
// database file at `target`, which is replaced only once the copy is whole.
void toNewFile(Connection &source, const QString &target);

// Replaces every row of the archive `target` is open on by the rows of the
// archive file `from`, in one transaction on the target, checked as copy()
// checks. Throws DbException; the target is then as it was.
QStringList replaceContent(Connection &target, const QString &from);
}
