#pragma once

#include <QString>

// The text of a file of data/ compiled into the program (schema, seed rows).
// Throws DbException when it is missing.
QString dataFileText(const QString &name);
