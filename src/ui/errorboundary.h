#pragma once

#include "store/dberror.h"

#include <functional>

// The one place a database failure meets the operator. Every slot, event
// handler, model method and delegate that touches the database runs its work
// through run(): a failure ends the command with its message, never the
// program, and never reaches Qt's event loop.
namespace ErrorBoundary {
// Shows a failure: another seat's lock and a row changed meanwhile get their
// own plain messages; a refused check has already spoken.
void report(const DbError &error);
// Runs the work; false when it failed (and the failure has been shown, and
// handed to `failure` when given).
bool run(const std::function<void()> &work, DbError *failure = nullptr);
}
