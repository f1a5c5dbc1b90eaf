#include "domain/reports/reportchartpainter.h"

#include "domain/reports/reportchart.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwipsPerPoint = 20.0;

QFont chartFont(double points, bool bold = false)
{
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(static_cast<int>(points * kTwipsPerPoint));
    f.setBold(bold);
    return f;
}

QString amount(double v)
{
    return QString::number(v, 'f', 2);
}

// A round upper end for an axis from 0 to at least `top`.
double niceTop(double top)
{
    if (top <= 0)
        return 1;
    const double step = std::pow(10.0, std::floor(std::log10(top)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * step >= top)
            return m * step;
    return 10 * step;
}

void paintBars(QPainter &p, const ReportChart &chart, const QRectF &area)
{
    p.setFont(chartFont(11, true));
    p.drawText(QRectF(area.left(), area.top(), area.width(), 360), Qt::AlignLeft | Qt::AlignVCenter, chart.barTitle);
    const QRectF plot = area.adjusted(0, 420, 0, 0);
    p.setFont(chartFont(8.5));
    const QFontMetricsF metrics(p.font());
    double labelWidth = 0;
    for (const auto &bar : chart.bars)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(bar.first));
    labelWidth = std::min(labelWidth + 120, plot.width() / 3);
    const double valueWidth = metrics.horizontalAdvance(amount(chart.bars.first().second)) + 200;
    const double left = plot.left() + labelWidth;
    const double span = std::max(1.0, plot.width() - labelWidth - valueWidth);
    const double slot = plot.height() / ReportChart::kTopBars;
    const double top = niceTop(chart.bars.first().second);

    p.setPen(QPen(Qt::black, 15));
    p.drawLine(QPointF(left, plot.top()), QPointF(left, plot.top() + slot * chart.bars.size()));
    for (int i = 0; i < chart.bars.size(); ++i) {
        const auto &[name, value] = chart.bars.at(i);
        const double y = plot.top() + i * slot;
        const double length = std::max(0.0, value) / top * span;
        p.drawText(QRectF(plot.left(), y, labelWidth - 100, slot), Qt::AlignRight | Qt::AlignVCenter,
                   metrics.elidedText(name, Qt::ElideRight, labelWidth - 120));
        // Grey with a hatch and a black outline: still a bar on a black-and-white page.
        const QRectF bar(left, y + slot * 0.15, length, slot * 0.7);
        p.fillRect(bar, QColor(110, 110, 110));
        p.fillRect(bar, QBrush(Qt::black, Qt::BDiagPattern));
        p.drawRect(bar);
        p.drawText(QRectF(left + length + 80, y, valueWidth, slot), Qt::AlignLeft | Qt::AlignVCenter, amount(value));
    }
}

void paintLine(QPainter &p, const ReportChart &chart, const QRectF &area)
{
    p.setFont(chartFont(11, true));
    p.drawText(QRectF(area.left(), area.top(), area.width(), 360), Qt::AlignLeft | Qt::AlignVCenter, chart.lineTitle);
    p.setFont(chartFont(8));
    const QFontMetricsF metrics(p.font());
    double top = 0;
    for (const auto &m : chart.months)
        top = std::max(top, m.second);
    top = niceTop(top);
    const double axisWidth = metrics.horizontalAdvance(amount(top)) + 150;
    const QRectF plot(area.left() + axisWidth, area.top() + 600, area.width() - axisWidth - 300,
                      area.height() - 600 - 500);

    // Grid lines in light grey dashes under the line.
    for (int k = 0; k <= 4; ++k) {
        const double y = plot.bottom() - plot.height() * k / 4;
        p.setPen(QPen(QColor(170, 170, 170), 10, k == 0 ? Qt::SolidLine : Qt::DashLine));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(QPen(Qt::black, 15));
        p.drawText(QRectF(area.left(), y - 150, axisWidth - 80, 300), Qt::AlignRight | Qt::AlignVCenter,
                   amount(top * k / 4));
    }
    p.setPen(QPen(Qt::black, 15));
    p.drawLine(plot.bottomLeft(), plot.topLeft());

    const int n = static_cast<int>(chart.months.size());
    const double step = n > 1 ? plot.width() / (n - 1) : 0;
    auto pointAt = [&](int i) {
        const double x = n > 1 ? plot.left() + i * step : plot.center().x();
        return QPointF(x, plot.bottom() - std::max(0.0, chart.months.at(i).second) / top * plot.height());
    };
    QPainterPath path;
    for (int i = 0; i < n; ++i)
        i == 0 ? path.moveTo(pointAt(i)) : path.lineTo(pointAt(i));
    p.setPen(QPen(Qt::black, 40));
    p.drawPath(path);
    // Labels thin out when the months crowd the axis.
    const int every = std::max(1, static_cast<int>(std::ceil(n * 1300.0 / std::max(1.0, plot.width()))));
    for (int i = 0; i < n; ++i) {
        const QPointF at = pointAt(i);
        p.setPen(QPen(Qt::black, 20));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(at.x() - 60, at.y() - 60, 120, 120));
        p.setBrush(Qt::NoBrush);
        if (i % every != 0)
            continue;
        p.drawText(QRectF(at.x() - 500, plot.bottom() + 60, 1000, 280), Qt::AlignCenter, chart.months.at(i).first);
        // Amounts over the points only while they have room; the axis gives the scale otherwise.
        if (every == 1)
            p.drawText(QRectF(at.x() - 700, at.y() - 380, 1400, 260), Qt::AlignCenter,
                       amount(chart.months.at(i).second));
    }
}

} // namespace

void ReportChartPainter::paint(QPainter &painter, const ReportChart &chart, const QString &title, const QRectF &area)
{
    painter.save();
    painter.setPen(QPen(Qt::black, 15));
    painter.setFont(chartFont(16, true));
    painter.drawText(QRectF(area.left(), area.top() + 60, area.width(), 420), Qt::AlignCenter, title);
    const QRectF body = area.adjusted(0, 700, 0, 0);
    const bool both = !chart.bars.isEmpty() && !chart.months.isEmpty();
    const double split = both ? body.height() * 0.55 : body.height();
    if (!chart.bars.isEmpty())
        paintBars(painter, chart, QRectF(body.left(), body.top(), body.width(), split - 300));
    if (!chart.months.isEmpty()) {
        const double top = chart.bars.isEmpty() ? body.top() : body.top() + split;
        paintLine(painter, chart, QRectF(body.left(), top, body.width(), body.bottom() - top));
    }
    painter.restore();
}
