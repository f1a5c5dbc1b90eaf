#include "domain/reports/reportchart.h"

#include <QDate>
#include <QHash>
#include <QMap>
#include <QVariant>

#include <algorithm>
#include <cmath>

std::optional<ReportCharts::Plan> ReportCharts::planFor(const QString &tableCode)
{
    struct Known
    {
        const char *table;
        QStringList fields;
        const char *caption;
    };
    // The statistics windows and the period income reports of the catalogue.
    static const Known known[] = {
        {"SUMhangkong", {QStringLiteral("hangkong")}, "航空公司"},
        {"SUMgeren", {QStringLiteral("dpy")}, "定票员"},
        {"SUMdaoda", {QStringLiteral("kaishi"), QStringLiteral("daoda")}, "航线"},
        {"SRriqi", {}, ""},
        {"SRhangkong", {QStringLiteral("hangkong")}, "航空公司"},
        {"SRdpy", {QStringLiteral("dpy")}, "定票员"},
    };
    for (const Known &k : known) {
        if (tableCode.compare(QLatin1String(k.table), Qt::CaseInsensitive) != 0)
            continue;
        Plan plan;
        plan.categoryFields = k.fields;
        plan.categoryCaption = QString::fromUtf8(k.caption);
        return plan;
    }
    return std::nullopt;
}

ReportChart ReportCharts::compute(const Plan &plan, int rows,
                                  const std::function<QVariant(int, const QString &)> &value)
{
    // Totals in cents, so the picture agrees with the table's sums.
    QHash<QString, qint64> byCategory;
    QStringList order;
    QMap<QString, qint64> byMonth;
    for (int r = 0; r < rows; ++r) {
        const qint64 cents = std::llround(value(r, plan.valueField).toDouble() * 100);
        if (!plan.categoryFields.isEmpty()) {
            QString name = value(r, plan.categoryFields.first()).toString();
            for (qsizetype f = 1; f < plan.categoryFields.size(); ++f)
                name += QLatin1Char('-') + value(r, plan.categoryFields.at(f)).toString();
            auto it = byCategory.find(name);
            if (it == byCategory.end()) {
                order << name;
                it = byCategory.insert(name, 0);
            }
            *it += cents;
        }
        const QString month = value(r, plan.dateField).toString().left(7);
        if (month.size() == 7)
            byMonth[month] += cents;
    }

    ReportChart chart;
    if (!order.isEmpty()) {
        chart.barTitle = QStringLiteral("销售额前%1名：%2").arg(ReportChart::kTopBars).arg(plan.categoryCaption);
        // Largest first; equal totals keep the order the rows gave them.
        std::stable_sort(order.begin(), order.end(),
                         [&](const QString &a, const QString &b) { return byCategory.value(a) > byCategory.value(b); });
        for (int i = 0; i < std::min<int>(ReportChart::kTopBars, order.size()); ++i)
            chart.bars.append({order.at(i), byCategory.value(order.at(i)) / 100.0});
    }
    if (!byMonth.isEmpty()) {
        chart.lineTitle = QStringLiteral("月度销售额");
        // Every month of the span, an empty one at 0, so the line does not skip time.
        QDate month = QDate::fromString(byMonth.firstKey() + QStringLiteral("-01"), Qt::ISODate);
        const QDate last = QDate::fromString(byMonth.lastKey() + QStringLiteral("-01"), Qt::ISODate);
        if (!month.isValid() || !last.isValid() || month.daysTo(last) > 366 * 50) {
            for (auto it = byMonth.cbegin(); it != byMonth.cend(); ++it)
                chart.months.append({it.key(), it.value() / 100.0});
        } else {
            for (; month <= last; month = month.addMonths(1)) {
                const QString key = month.toString(QStringLiteral("yyyy-MM"));
                chart.months.append({key, byMonth.value(key) / 100.0});
            }
        }
    }
    return chart;
}
