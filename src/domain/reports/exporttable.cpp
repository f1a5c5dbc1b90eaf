#include "domain/reports/exporttable.h"

#include <QDate>
#include <QDateTime>

#include "store/sqlquote.h"

bool ExportTable::hasTotals() const
{
    for (const ExportColumn &c : columns)
        if (c.total)
            return true;
    return false;
}

bool ExportValue::isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

QVariant ExportValue::typed(const QVariant &value)
{
    if (value.typeId() != QMetaType::QString)
        return value;
    const QString text = value.toString();
    // Cheap shape test first: most text is not a date.
    if ((text.size() != 10 && text.size() != 19) || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
        return value;
    if (text.size() == 10) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        return d.isValid() ? QVariant(d) : value;
    }
    const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return dt.isValid() ? QVariant(dt) : value;
}

QString ExportValue::text(const QVariant &number)
{
    // Whole numbers beyond a double's 53 bits stay exact.
    if (number.typeId() != QMetaType::Double && number.typeId() != QMetaType::Float)
        return number.toString();
    return sqlNumber(number.toDouble());
}
