#pragma once

#include <QString>
#include <QVector>

class Connection;

// The commands that take points away from a customer or move them: each runs
// in one transaction, all or nothing.
namespace PointsCommands {

// The clearing walk over a customer's remaining points, in stored order:
// rows are emptied until one has more than what is left to clear.
// Returns the new remaining points; rows after the stop keep theirs.
QVector<double> clearingWalk(const QVector<double> &remaining, double points);

enum class ClearOutcome { Nothing, NotANumber, NotEnough, Cleared };
struct ClearResult
{
    ClearOutcome outcome = ClearOutcome::Nothing;
    double total = 0; // the customer's remaining points before clearing
    double points = 0;
};
// Clears `pointsText` points of customer kh and writes the clearing log row.
ClearResult clearPoints(Connection &connection, const QString &kh, const QString &pointsText, const QString &remark,
                        const QString &operatorName);
void clearPointsWithMessages(Connection &connection, const QString &kh, const QString &pointsText,
                             const QString &remark, const QString &operatorName);

enum class TransferOutcome { Nothing, SameNumber, UnknownReceiver, Moved };
QString copyStatement(const QString &to, const QString &whereClause);
// Every row of `from` moves to `to`, each copied into the transfer log first.
TransferOutcome transferAll(Connection &connection, const QString &from, const QString &to);
// One row (by id) moves from `from` to `to`, copied into the transfer log first.
TransferOutcome transferRow(Connection &connection, const QString &from, const QString &to, qint64 id);
void transferAllWithMessages(Connection &connection, const QString &from, const QString &to);

// The log row of a refund or void, written after the row was saved.
QString ticketLogStatement(const QString &operatorName, const QString &action, const QString &airline, qint64 id,
                           const QString &now);
}
