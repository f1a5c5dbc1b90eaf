#include "store/sqlquote.h"

#include <cmath>

QString sqlQuote(const QString &text)
{
    QString quoted = text;
    // SQLite ends the statement text at a NUL, so no literal can carry one.
    quoted.remove(QChar(0));
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString sqlNumber(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 17);
}

QString sqlNumber(qint64 value)
{
    return QString::number(value);
}
