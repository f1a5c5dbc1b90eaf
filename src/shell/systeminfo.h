#pragma once

#include <QString>
#include <QStringList>

class Connection;

// What support asks for first, said by the program itself: its version and
// Qt's, the database engine, where the archive is and how much it holds.
namespace SystemInfo {
// One "名称: 值" line each; the row counts come from SQL, the file's size from stat.
QStringList report(Connection &connection);
// Where the settings and the support log are, and how to see every statement.
QString supportText(const QString &settingsFile);
// The settings file of this user.
QString settingsFile();
}
