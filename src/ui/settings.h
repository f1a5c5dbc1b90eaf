#pragma once

#include <QString>

// The per-user settings store: values addressed by application, section and key.
namespace Settings {
QString read(const QString &application, const QString &section, const QString &key, const QString &defaultValue);
void write(const QString &application, const QString &section, const QString &key, const QString &value);

// The two values of the database location; "25" marks "never set".
inline const QString kUnset = QStringLiteral("25");
QString dataFolder();
QString databaseFile();
void saveLocation(const QString &folder, const QString &file);
// How long a command waits for another seat's lock, in milliseconds
// (section "database", key "busy_timeout"; 5000 when absent).
int busyTimeout();
}
