#pragma once

#include <QString>

class Connection;

// The operator activity log: an entry opened when a window loads, closed when it unloads.
namespace Mod_czywrite {
QString openStatement(const QString &operatorName, const QString &content);
QString closeStatement(const QString &content, const QString &now);
void czyrz_open(Connection &connection, const QString &operatorName, const QString &content);
// Closes every open entry of that content, whoever opened it.
void czyrz_close(Connection &connection, const QString &content);
}
