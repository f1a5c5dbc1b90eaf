#pragma once

#include <QString>

// The administrator's way back in when an operator (the system account
// included) has forgotten the password: torvane --reset-password NAME.
namespace PasswordReset {
// Opens the archive, asks for the new password twice on the terminal (not
// echoed; read as lines when the input is not a terminal) and stores its
// hash. Says what happened on stderr; returns the program's exit code.
int run(const QString &connectionText, const QString &name);
}
