#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;

// format(value, pattern) as the program's SQL uses it: date patterns
// ('yyyy-mm-dd', 'yyyy-MM-dd', 'yyyy-mm-dd hh:mm:ss amPM') and number
// patterns ('###00.00', '##00.00', '#####0.00', '0.00%'). A null value stays null;
// a value the pattern cannot read comes back as its text.
QVariant jetFormat(const QVariant &value, const QString &pattern);

// Registers format(), now() and date() (local time) on a connection.
void registerSqlFunctions(sqlite3 *db);
