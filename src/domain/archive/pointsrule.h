#pragma once

#include <QString>

// The points a ticket row carries after a save.
struct RowPoints
{
    double jifen = 0;    // earned
    double jifenyue = 0; // not yet used
};

namespace PointsRule {
// A typed cell as a number: its leading number ("12.5abc" is 12.5, "abc" is 0).
double leadingNumber(const QString &text);

// rate percent of amount, in whole hundredths.
double earned(double rate, double amount);

// After a row save: unchecked, nothing is earned; checked, a new row earns
// rate x amount / 100, an existing row is recomputed only while none of its
// points were used (earned equals remaining). A refunded or voided ticket
// keeps no remaining points.
RowPoints afterSave(bool computePoints, bool newRow, double rate, double amount, const RowPoints &stored,
                    const QString &state);

bool isCancelledState(const QString &state); // 退票 or 作废
}
