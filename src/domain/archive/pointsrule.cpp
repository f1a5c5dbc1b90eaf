#include "domain/archive/pointsrule.h"

#include <QRegularExpression>

#include <cmath>

double PointsRule::leadingNumber(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const auto m = re.match(text);
    return m.hasMatch() ? m.captured(0).trimmed().toDouble() : 0.0;
}

double PointsRule::earned(double rate, double amount)
{
    // Points are whole hundredths, like everything that clears or moves them.
    return std::llround(rate * amount) / 100.0;
}

bool PointsRule::isCancelledState(const QString &state)
{
    return state == QStringLiteral("退票") || state == QStringLiteral("作废");
}

RowPoints PointsRule::afterSave(bool computePoints, bool newRow, double rate, double amount, const RowPoints &stored,
                                const QString &state)
{
    RowPoints result = stored;
    if (!computePoints) {
        result = {0, 0};
    } else if (newRow) {
        const double points = earned(rate, amount);
        result = {points, points};
    } else if (std::llround(stored.jifen * 100) == std::llround(stored.jifenyue * 100)) {
        const double points = earned(rate, amount);
        result = {points, points};
    }
    if (isCancelledState(state))
        result.jifenyue = 0;
    return result;
}
