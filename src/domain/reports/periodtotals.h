#pragma once

#include "store/rowstore.h"

#include <QStringList>

class Recordset;

// Statistics rows totalled over a longer period than the day the kept
// statistics hold: one row per airline (clerk, route) and month, or one for
// the whole filtered period. The "…OFSUM" and ticket-count columns are added
// up in cents, so the totals agree with the daily rows to the cent.
namespace PeriodTotals {
enum class Period { Day, Month, Whole };

struct Rows
{
    QStringList fields;
    RowStore rows;
};

// `dateField` holds the day; every other column that is not summed names the group.
Rows group(const Recordset &daily, Period period, const QString &dateField = QStringLiteral("cprq"));
// Whether a column is added up rather than grouped on.
bool isSummed(const QString &field);
}
