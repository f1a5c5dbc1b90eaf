#include "domain/reports/periodtotals.h"

#include "store/recordset.h"

#include <QHash>

#include <cmath>

bool PeriodTotals::isSummed(const QString &field)
{
    return field.endsWith(QLatin1String("OFSUM"), Qt::CaseInsensitive)
           || field.compare(QLatin1String("tickets"), Qt::CaseInsensitive) == 0;
}

PeriodTotals::Rows PeriodTotals::group(const Recordset &daily, Period period, const QString &dateField)
{
    Rows out;
    const int columns = daily.fieldCount();
    for (int c = 0; c < columns; ++c)
        out.fields << daily.fieldName(c);
    out.rows.reset(columns);
    const int dateColumn = daily.fieldIndex(dateField);

    // The whole period is named by the first and last day the rows hold.
    QString first, last;
    for (int r = 0; r < daily.recordCount() && dateColumn >= 0; ++r) {
        const QString day = daily.valueAt(r, dateColumn).toString();
        if (day.isEmpty())
            continue;
        if (first.isEmpty() || day < first)
            first = day;
        if (last.isEmpty() || day > last)
            last = day;
    }
    const QString wholeName = first == last ? first : first + QStringLiteral(" 至 ") + last;

    QVector<bool> summed(columns);
    for (int c = 0; c < columns; ++c)
        summed[c] = c != dateColumn && isSummed(out.fields.at(c));

    QHash<QString, int> groups;
    QVector<QVector<qint64>> cents;
    for (int r = 0; r < daily.recordCount(); ++r) {
        QString periodName;
        if (dateColumn >= 0) {
            const QString day = daily.valueAt(r, dateColumn).toString();
            periodName = period == Period::Day ? day : period == Period::Month ? day.left(7) : wholeName;
        }
        QString key = periodName;
        for (int c = 0; c < columns; ++c)
            if (c != dateColumn && !summed.at(c))
                key += QChar(0x1F) + daily.valueAt(r, c).toString();
        auto found = groups.constFind(key);
        int at;
        if (found == groups.constEnd()) {
            at = out.rows.rowCount();
            groups.insert(key, at);
            out.rows.appendEmpty();
            cents.append(QVector<qint64>(columns, 0));
            for (int c = 0; c < columns; ++c)
                if (!summed.at(c))
                    out.rows.setValue(at, c, c == dateColumn ? QVariant(periodName) : daily.valueAt(r, c));
        } else {
            at = found.value();
        }
        for (int c = 0; c < columns; ++c)
            if (summed.at(c))
                cents[at][c] += std::llround(daily.valueAt(r, c).toDouble() * 100);
    }
    for (int g = 0; g < out.rows.rowCount(); ++g)
        for (int c = 0; c < columns; ++c)
            if (summed.at(c))
                out.rows.setValue(g, c, cents.at(g).at(c) / 100.0);
    return out;
}
