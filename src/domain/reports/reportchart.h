#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

class QVariant;

// The picture after a statistics table: the biggest sellers as bars and the
// monthly totals as a line, both over the rows the report holds.
struct ReportChart
{
    static constexpr int kTopBars = 15;

    QString barTitle;
    QVector<QPair<QString, double>> bars;  // largest first, at most kTopBars
    QString lineTitle;
    QVector<QPair<QString, double>> months; // "yyyy-MM", in order

    bool isEmpty() const { return bars.isEmpty() && months.isEmpty(); }
};

namespace ReportCharts {
// What a source's chart counts: the fields naming a bar (joined for routes),
// the sales column, and the date that places a row in its month.
struct Plan
{
    QStringList categoryFields;
    QString categoryCaption;
    QString valueField = QStringLiteral("AMOUNT2OFSUM");
    QString dateField = QStringLiteral("cprq");
};

// The chart of a statistics or period income source; nothing for other reports.
std::optional<Plan> planFor(const QString &tableCode);

// Totals the rows: `value(row, field)` reads a cell by field name.
ReportChart compute(const Plan &plan, int rows, const std::function<QVariant(int row, const QString &field)> &value);
}
