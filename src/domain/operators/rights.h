#pragma once

#include <QString>
#include <QStringList>

class Connection;
class QObject;

// The twelve functions rights are expressed in, in their fixed order, and the
// menu command each one enables.
namespace Rights {
const QStringList &functionNames();
// Object name of the menu action a function enables; empty for an unknown name.
QString actionFor(const QString &functionName);
const QStringList &controlledActions();

// Loads the rights of the named operator and enables the matching commands of
// the main window. Commands enabled earlier stay enabled.
void mCzyqx(Connection &connection, QObject *mainWindow, const QString &strczyname);
}
