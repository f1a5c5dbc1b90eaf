#pragma once

#include <QString>

// The one way a typed text enters SQL: between single quotes, every quote
// doubled, a NUL joined in as ||char(0)|| (SQLite would end the statement there).
QString sqlQuote(const QString &text);

// Numbers are written from a parsed value, never from what was typed.
QString sqlNumber(double value);
QString sqlNumber(qint64 value);
inline QString sqlNumber(int value) { return sqlNumber(static_cast<qint64>(value)); }
