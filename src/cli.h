#pragma once

#include <QStringList>
#include <optional>

// The administrator's commands that run without windows:
//   --create-database FILE [--demo]
//   --sql FILE STATEMENT
// Returns the exit code when the arguments asked for one of them.
std::optional<int> runCommandLine(const QStringList &arguments);
