#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class ReportDocument;
class ReportPageView;

// The modeless report preview: zoom, page navigation, print and "导出PDF".
class ReportPreview : public QWidget
{
    Q_OBJECT
public:
    explicit ReportPreview(std::shared_ptr<const ReportDocument> document, QWidget *parent = nullptr);
    ~ReportPreview() override;

    int pageCount() const;
    std::shared_ptr<const ReportDocument> document() const { return m_document; }
    ReportPageView *pageView() const { return m_view; }

    void printReport();
    void exportPdf();
    void exportExcel();

private:
    void updatePageLabel();

    std::shared_ptr<const ReportDocument> m_document;
    ReportPageView *m_view = nullptr;
    bool m_withChart = true;
    QLabel *m_pageLabel = nullptr;
};
