#pragma once

#include <QPageLayout>
#include <QRectF>
#include <optional>

class QPagedPaintDevice;
class QPainter;
class PageBatch;
class ReportChart;
class ReportDocument;

// Draws a report document onto pages: the page header on every page, as many
// detail rows as fit, the totals after the last row, and "第 N 页 共 M 页" at
// the foot of each page. Pages are drawn one at a time, so a long report
// never holds more than one page.
class ReportRenderer
{
public:
    // On the page the operator chose, or else on A4 with 15 mm margins, turned
    // to landscape when the columns are wider than the page; the document's
    // chart, if any, on a last page of its own unless left out.
    explicit ReportRenderer(const ReportDocument &document, const std::optional<QPageLayout> &chosen = std::nullopt,
                            bool withChart = true);

    QPageLayout pageLayout() const;
    int pageCount() const { return m_pages; }
    // False while the document is still reading rows: the pages are those of the rows read.
    bool isComplete() const { return m_complete; }
    int rowsPerPage() const { return m_rowsPerPage; }

    // Renders pages first..last (1-based, all by default) onto the device (a
    // printer, a PDF writer, a preview), on the device's own page layout.
    void render(QPagedPaintDevice *device, int first = 1, int last = -1) const;
    // Draws page `page` (0-based) in twips with the origin at the printable area's top left.
    void paintPage(QPainter &painter, int page) const;

private:
    void paintSection(QPainter &painter, int section, double top, int row, PageBatch &batch) const;
    void paintPageFooter(QPainter &painter, int page, double top) const;

    const ReportDocument &m_doc;
    QPageLayout m_layout;
    double m_printableHeight = 0;
    int m_rowsPerPage = 1;
    int m_pages = 1;
    int m_rows = 0;
    bool m_complete = true;
    const ReportChart *m_chart = nullptr;
};
