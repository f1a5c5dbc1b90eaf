#include "reports/reportpageview.h"

#include "domain/reports/reportdocument.h"
#include "store/recordset.h"
#include "ui/messagebox.h"

#include <QPainter>
#include <QScrollBar>

class ReportPageView::Page : public QWidget
{
public:
    explicit Page(ReportPageView *view) : QWidget(view), m_view(view) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPageLayout layout = m_view->m_renderer->pageLayout();
        const QRectF margins = layout.paintRect(QPageLayout::Inch);
        const double scale = m_view->m_zoom / 20.0; // twips to pixels
        painter.scale(scale, scale);
        painter.translate(margins.left() * 1440.0, margins.top() * 1440.0);
        m_view->m_renderer->paintPage(painter, m_view->m_page);
    }

private:
    ReportPageView *m_view;
};

ReportPageView::ReportPageView(std::shared_ptr<const ReportDocument> document, const std::optional<QPageLayout> &chosen,
                               QWidget *parent)
    : QScrollArea(parent), m_document(std::move(document)), m_chosen(chosen), m_sheet(new Page(this))
{
    m_renderer.emplace(*m_document, m_chosen);
    if (const Recordset *rows = m_document->growingRows())
        connect(rows, &Recordset::rowsFetched, this, &ReportPageView::rowsRead);
    setBackgroundRole(QPalette::Dark);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setWidget(m_sheet);
    setZoom(1.0);
}

void ReportPageView::rowsRead()
{
    const int before = m_renderer->pageCount();
    m_renderer.emplace(*m_document, m_chosen, m_withChart);
    // The page in view changes only while it is the last one, or when the totals come.
    if (m_page >= before - 1 || m_renderer->isComplete())
        m_sheet->update();
    emit pageChanged();
    if (m_renderer->isComplete() && !m_document->readError().isEmpty())
        Msg::stop(QStringLiteral("报表数据没有读完，所示报表不完整: ") + m_document->readError());
}

void ReportPageView::setWithChart(bool withChart)
{
    m_withChart = withChart;
    m_renderer.emplace(*m_document, m_chosen, m_withChart);
    m_page = std::min(m_page, m_renderer->pageCount() - 1);
    m_sheet->update();
    emit pageChanged();
}

void ReportPageView::showLastPage()
{
    m_document->rowCount(); // every row read first
    setCurrentPage(pageCount());
}

QSizeF ReportPageView::pageTwips() const
{
    const QRectF full = m_renderer->pageLayout().fullRect(QPageLayout::Inch);
    return full.size() * 1440.0;
}

void ReportPageView::setZoom(double zoom)
{
    m_zoom = std::clamp(zoom, 0.1, 8.0);
    const QSizeF twips = pageTwips();
    m_sheet->resize(qRound(twips.width() * m_zoom / 20.0), qRound(twips.height() * m_zoom / 20.0));
    m_sheet->update();
}

void ReportPageView::setCurrentPage(int page)
{
    const int wanted = std::clamp(page, 1, pageCount()) - 1;
    if (wanted == m_page)
        return;
    m_page = wanted;
    verticalScrollBar()->setValue(0);
    m_sheet->update();
    emit pageChanged();
}

void ReportPageView::zoomIn()
{
    m_fit = Fit::None;
    setZoom(m_zoom * 1.25);
}

void ReportPageView::zoomOut()
{
    m_fit = Fit::None;
    setZoom(m_zoom / 1.25);
}

void ReportPageView::fitToWidth()
{
    m_fit = Fit::Width;
    const double room = viewport()->width() - 16;
    setZoom(room * 20.0 / pageTwips().width());
}

void ReportPageView::fitInView()
{
    m_fit = Fit::Whole;
    const QSizeF twips = pageTwips();
    setZoom(std::min((viewport()->width() - 16) * 20.0 / twips.width(), (viewport()->height() - 16) * 20.0 / twips.height()));
}

void ReportPageView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    if (m_fit == Fit::Width)
        fitToWidth();
    else if (m_fit == Fit::Whole)
        fitInView();
}
