#pragma once

#include <optional>

#include <QString>
#include <QVector>

class Connection;

// The commands that take points away from a customer or move them: each runs
// in one transaction, all or nothing, and counts points in hundredths, so
// exact totals clear and no residue is left behind.
namespace PointsCommands {

// Points as whole hundredths (0.8 is 80), and back.
qint64 toHundredths(double points);
double fromHundredths(qint64 hundredths);

enum class ClearOutcome { Nothing, NotANumber, NotEnough, Cleared };
struct ClearResult
{
    ClearOutcome outcome = ClearOutcome::Nothing;
    double total = 0; // the customer's remaining points before clearing
    double points = 0;
};
// Clears `pointsText` points of customer kh, oldest rows first, and writes the
// clearing log row; NotEnough (nothing changed) when its rows hold fewer.
ClearResult clearPoints(Connection &connection, const QString &kh, const QString &pointsText, const QString &remark,
                        const QString &operatorName);

enum class TransferOutcome { Nothing, SameNumber, UnknownReceiver, NoRows, Moved };
// The giver's rows that still carry points, as the one-row transfer lists them (one parameter).
QString transferableRowsSql();
// Every row of `from` moves to `to`, each copied into the transfer log first.
TransferOutcome transferAll(Connection &connection, const QString &from, const QString &to);
// One row (by id) moves from `from` to `to`, copied into the transfer log
// first; a row that is no longer `from`'s, or no longer holds the remaining
// points `shownRemaining` the operator saw, is not moved (DbErrorKind::Conflict).
TransferOutcome transferRow(Connection &connection, const QString &from, const QString &to, qint64 id,
                            std::optional<double> shownRemaining = std::nullopt);
}
