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

bool ExportValue::dateParts(QStringView text, DateParts &parts)
{
    // Cheap shape test first: most text is not a date.
    const qsizetype size = text.size();
    if ((size != 10 && size != 19) || text[4] != u'-' || text[7] != u'-')
        return false;
    bool digits = true;
    const auto number = [&](qsizetype at, qsizetype length) {
        int n = 0;
        for (qsizetype i = at; i < at + length; ++i) {
            const char16_t c = text[i].unicode();
            digits = digits && c >= u'0' && c <= u'9';
            n = n * 10 + (c - u'0');
        }
        return n;
    };
    parts = {number(0, 4), number(5, 2), number(8, 2)};
    if (size == 19) {
        if (text[10] != u' ' || text[13] != u':' || text[16] != u':')
            return false;
        parts.hour = number(11, 2);
        parts.minute = number(14, 2);
        parts.second = number(17, 2);
        parts.hasTime = true;
    }
    return digits && QDate::isValid(parts.year, parts.month, parts.day) && parts.hour < 24 && parts.minute < 60
           && parts.second < 60;
}

QVariant ExportValue::typed(const QVariant &value)
{
    DateParts d;
    if (value.typeId() != QMetaType::QString || !dateParts(value.toString(), d))
        return value;
    const QDate date(d.year, d.month, d.day);
    return d.hasTime ? QVariant(QDateTime(date, QTime(d.hour, d.minute, d.second))) : QVariant(date);
}

QString ExportValue::text(const QVariant &number)
{
    // Whole numbers beyond a double's 53 bits stay exact.
    if (number.typeId() != QMetaType::Double && number.typeId() != QMetaType::Float)
        return number.toString();
    return sqlNumber(number.toDouble());
}
