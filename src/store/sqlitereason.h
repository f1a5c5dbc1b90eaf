#pragma once

#include <QString>

struct sqlite3;

// Why an SQLite call failed, in the operator's words: a message box says what
// happened in Chinese, never the engine's English. The engine's own text goes
// to the support log (a warning of torvane.sql on stderr) with the file it concerns.
namespace SqliteReason {
// The reason for a result code (primary or extended).
QString text(int code);
// The reason for the last failure on a handle (nullptr: it could not be made).
QString of(sqlite3 *db, const QString &file);
}
