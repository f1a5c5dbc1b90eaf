#pragma once

#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>

// A table on its way to a spreadsheet file: captions and number formats of
// the columns, and the cells read one at a time, so 100,000 rows
// are never held twice. Reports and data grids both become one of these.
struct ExportColumn
{
    QString caption;
    QString numberFormat; // the report's format ("#####0.00", "#####0.00%") or empty
    bool total = false;   // summed in a totals row under the data
};

struct ExportTable
{
    QString title;
    QString subtitle;
    QVector<ExportColumn> columns;
    int rowCount = 0;
    // The value of a cell: numbers as numbers, dates as QDate/QDateTime, the rest as text.
    std::function<QVariant(int row, int column)> cell;
    QString totalCaption = QStringLiteral("合  计");

    bool hasTotals() const;
};

// Told the rows written so far; answers false to stop the export.
using ExportProgress = std::function<bool(int done, int total)>;

namespace ExportValue {
// The parts of the texts held as dates: "yyyy-MM-dd" and "yyyy-MM-dd HH:mm:ss", digits
// where digits stand, a day of the calendar and a time of the day.
struct DateParts
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool hasTime = false;
};
bool dateParts(QStringView text, DateParts &parts);
// A stored value as a spreadsheet should hold it: ISO dates ("yyyy-MM-dd",
// "yyyy-MM-dd HH:mm:ss") become dates, numbers stay numbers, the rest is text.
QVariant typed(const QVariant &value);
bool isNumber(const QVariant &value);
// A number as a file holds it: the shortest text that reads back as the same value.
QString text(const QVariant &number);
}

// Where an export failed, or that it was cancelled.
struct ExportResult
{
    bool ok = false;
    bool cancelled = false;
    QString error;
};
