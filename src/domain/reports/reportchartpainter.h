#pragma once

#include <QRectF>

class QPainter;
struct ReportChart;

// Draws a report's chart page in twips: the bars above, the monthly line
// below. Black, white and greys with outlines and value labels, so a
// black-and-white print reads as well as the screen.
namespace ReportChartPainter {
void paint(QPainter &painter, const ReportChart &chart, const QString &title, const QRectF &area);
}
