#include "store/sqlquote.h"

#include <QLocale>

#include <cmath>

QString sqlQuote(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    // SQLite ends the statement text at a NUL, so a NUL is joined in as char(0).
    quoted.replace(QChar(0), QLatin1String("'||char(0)||'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString sqlNumber(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    // The shortest text that reads back as exactly this number: 12.3, not 12.300000000000001.
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString sqlNumber(qint64 value)
{
    return QString::number(value);
}
