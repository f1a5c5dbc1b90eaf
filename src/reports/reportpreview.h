#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QPrinter;
class QPrintPreviewWidget;
class ReportDocument;

// The modeless report preview: zoom, page navigation, print and "导出PDF".
class ReportPreview : public QWidget
{
    Q_OBJECT
public:
    explicit ReportPreview(std::shared_ptr<const ReportDocument> document, QWidget *parent = nullptr);
    ~ReportPreview() override;

    int pageCount() const;
    std::shared_ptr<const ReportDocument> document() const { return m_document; }
    QPrintPreviewWidget *previewWidget() const { return m_view; }

    void printReport();
    void exportPdf();
    void exportExcel();

private:
    void updatePageLabel();

    std::shared_ptr<const ReportDocument> m_document;
    std::unique_ptr<QPrinter> m_printer;
    QPrintPreviewWidget *m_view = nullptr;
    QLabel *m_pageLabel = nullptr;
};
