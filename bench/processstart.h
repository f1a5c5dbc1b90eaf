#pragma once

#include <QString>
#include <QVector>

// Times the program as the operator starts it: from exec of a new process to
// its login window mapped on an X server the bench starts itself (Xvfb). The
// bench watches the server, not the program: it asks to be told of every
// top-level window mapped (SubstructureNotify on the root) and stops the clock
// at the first one titled "登录". Nothing inside the program is changed for it.
namespace ProcessStart {

// Milliseconds per run; empty when Xvfb or the program cannot be started (why goes to stderr).
QVector<double> timeToLogin(const QString &program, const QString &database, int runs);

} // namespace ProcessStart
