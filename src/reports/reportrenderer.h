#pragma once

#include <QPageLayout>
#include <QRectF>

class QPagedPaintDevice;
class QPainter;
class ReportDocument;

// Draws a report document onto pages: the page header on every page, as many
// detail rows as fit, the totals after the last row, and "第 N 页 共 M 页" at
// the foot of each page. Pages are drawn one at a time, so a long report
// never holds more than one page.
class ReportRenderer
{
public:
    explicit ReportRenderer(const ReportDocument &document);

    // A4 with 15 mm margins, turned to landscape when the columns are wider than the page.
    QPageLayout pageLayout() const;
    int pageCount() const { return m_pages; }
    int rowsPerPage() const { return m_rowsPerPage; }

    // Renders every page onto the device (a printer, a PDF writer, a preview).
    void render(QPagedPaintDevice *device) const;
    // Draws page `page` (0-based) in twips with the origin at the printable area's top left.
    void paintPage(QPainter &painter, int page) const;

private:
    void paintSection(QPainter &painter, int section, double top, int row) const;
    void paintPageFooter(QPainter &painter, int page, double top) const;

    const ReportDocument &m_doc;
    QPageLayout m_layout;
    double m_printableHeight = 0;
    int m_rowsPerPage = 1;
    int m_pages = 1;
};
