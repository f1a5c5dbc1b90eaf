#pragma once

#include "domain/reports/reportrenderer.h"

#include <QScrollArea>
#include <memory>

class ReportDocument;

// One page of a report on screen, drawn when it is shown: a report of a
// hundred thousand rows opens as fast as one of ten, since no page but the
// one in view is ever drawn.
class ReportPageView : public QScrollArea
{
    Q_OBJECT
public:
    ReportPageView(std::shared_ptr<const ReportDocument> document, const std::optional<QPageLayout> &chosen,
                   QWidget *parent = nullptr);

    int pageCount() const { return m_renderer->pageCount(); }
    int currentPage() const { return m_page + 1; } // 1-based
    void setCurrentPage(int page);
    // The last page, once every row is read.
    void showLastPage();
    void zoomIn();
    void zoomOut();
    void fitToWidth();
    void fitInView();
    // Whether the chart page is shown (it is at first).
    void setWithChart(bool withChart);

signals:
    void pageChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    class Page;
    void setZoom(double zoom);
    void rowsRead();
    QSizeF pageTwips() const;

    std::shared_ptr<const ReportDocument> m_document;
    std::optional<QPageLayout> m_chosen;
    std::optional<ReportRenderer> m_renderer;
    Page *m_sheet;
    int m_page = 0;
    bool m_withChart = true;
    double m_zoom = 1.0; // screen pixels per point
    enum class Fit { None, Width, Whole } m_fit = Fit::Width;
};
