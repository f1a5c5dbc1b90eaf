#pragma once

#include "domain/archive/pointscommands.h"

// The points commands as the windows run them: each outcome said in the
// operator's words, a database failure shown by the error boundary.
namespace PointsCommands {
void clearPointsWithMessages(Connection &connection, const QString &kh, const QString &pointsText,
                             const QString &remark, const QString &operatorName);
void transferAllWithMessages(Connection &connection, const QString &from, const QString &to);
// The one-row form's messages; true when the row moved.
bool transferRowWithMessages(Connection &connection, const QString &from, const QString &to, qint64 id,
                             double shownRemaining);
}
