#pragma once

#include <QString>

class QWidget;

// A place chosen for the database where none is yet: offer to make an empty
// one there, with the password of the operator `admin` asked for at that
// moment (an installed program has no default password).
namespace NewDatabase {
// The database file for a chosen path: a folder stands for kvora.db in it.
QString fileFor(const QString &chosen);
// True when a database now exists at `path`, made here; false when the offer
// was declined, cancelled or failed, and then nothing was made.
bool offer(QWidget *parent, const QString &path);
}
