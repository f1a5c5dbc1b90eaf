#include "reports/reportpreview.h"

#include "domain/reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "domain/reports/reportexport.h"
#include "reports/reportpageview.h"
#include "ui/dialogs.h"
#include "ui/errorboundary.h"
#include "ui/exportfile.h"
#include "ui/messagebox.h"

#include <QCheckBox>
#include <QLabel>
#include <QToolBar>
#include <QVBoxLayout>

ReportPreview::ReportPreview(std::shared_ptr<const ReportDocument> document, QWidget *parent)
    : QWidget(parent, Qt::Window), m_document(std::move(document))
{
    setObjectName(QStringLiteral("ReportPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(m_document->title().trimmed() + QStringLiteral(" - 预览"));

    m_view = new ReportPageView(m_document, ReportOutput::chosenPage(), this);
    m_view->setObjectName(QStringLiteral("previewView"));
    connect(m_view, &ReportPageView::pageChanged, this, &ReportPreview::updatePageLabel);

    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("previewTools"));
    auto add = [bar](const QString &name, const QString &text, const QKeySequence &key = {}) {
        QAction *a = bar->addAction(text);
        a->setObjectName(name);
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    connect(add(QStringLiteral("zoomIn"), QStringLiteral("放大"), QKeySequence::ZoomIn), &QAction::triggered, m_view,
            [this] { m_view->zoomIn(); });
    connect(add(QStringLiteral("zoomOut"), QStringLiteral("缩小"), QKeySequence::ZoomOut), &QAction::triggered, m_view,
            [this] { m_view->zoomOut(); });
    connect(add(QStringLiteral("fitWidth"), QStringLiteral("适合宽度")), &QAction::triggered, m_view,
            &ReportPageView::fitToWidth);
    connect(add(QStringLiteral("wholePage"), QStringLiteral("整页")), &QAction::triggered, m_view,
            &ReportPageView::fitInView);
    bar->addSeparator();
    connect(add(QStringLiteral("firstPage"), QStringLiteral("首页"), Qt::Key_Home), &QAction::triggered, this,
            [this] { m_view->setCurrentPage(1); });
    connect(add(QStringLiteral("previousPage"), QStringLiteral("上一页"), Qt::Key_PageUp), &QAction::triggered, this,
            [this] { m_view->setCurrentPage(std::max(1, m_view->currentPage() - 1)); });
    connect(add(QStringLiteral("nextPage"), QStringLiteral("下一页"), Qt::Key_PageDown), &QAction::triggered, this,
            [this] { m_view->setCurrentPage(std::min(m_view->pageCount(), m_view->currentPage() + 1)); });
    connect(add(QStringLiteral("lastPage"), QStringLiteral("末页"), Qt::Key_End), &QAction::triggered, this,
            [this] { m_view->showLastPage(); });
    m_pageLabel = new QLabel(bar);
    m_pageLabel->setObjectName(QStringLiteral("pageLabel"));
    m_pageLabel->setMinimumWidth(110);
    m_pageLabel->setAlignment(Qt::AlignCenter);
    bar->addWidget(m_pageLabel);
    bar->addSeparator();
    // The chart page is the operator's choice, kept per report for the next preview and print.
    if (m_document->chartExpected()) {
        auto *withChart = new QCheckBox(QStringLiteral("附图表"), bar);
        withChart->setObjectName(QStringLiteral("withChart"));
        m_withChart = ReportOutput::chartWanted(*m_document);
        withChart->setChecked(m_withChart);
        m_view->setWithChart(m_withChart);
        connect(withChart, &QCheckBox::toggled, this, [this](bool on) {
            m_withChart = on;
            ReportOutput::setChartWanted(*m_document, on);
            m_view->setWithChart(on);
        });
        bar->addWidget(withChart);
    }
    connect(add(QStringLiteral("print"), QStringLiteral("打印"), QKeySequence::Print), &QAction::triggered, this,
            &ReportPreview::printReport);
    connect(add(QStringLiteral("exportPdf"), QStringLiteral("导出PDF")), &QAction::triggered, this,
            &ReportPreview::exportPdf);
    connect(add(QStringLiteral("exportExcel"), QStringLiteral("导出Excel")), &QAction::triggered, this,
            &ReportPreview::exportExcel);
    connect(add(QStringLiteral("closePreview"), QStringLiteral("关闭"), Qt::Key_Escape), &QAction::triggered, this,
            &QWidget::close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
    layout->addWidget(m_view, 1);
    resize(900, 680);
    m_view->fitToWidth();
    updatePageLabel();
}

ReportPreview::~ReportPreview() = default;

int ReportPreview::pageCount() const
{
    return m_view->pageCount();
}

void ReportPreview::updatePageLabel()
{
    m_pageLabel->setText(QStringLiteral("第 %1 页 共 %2 页").arg(m_view->currentPage()).arg(m_view->pageCount()));
}

void ReportPreview::printReport()
{
    ReportOutput::print(*m_document, this, m_withChart);
}

void ReportPreview::exportPdf()
{
    QString path = Dialogs::current().saveFileName(this, QStringLiteral("导出PDF"), QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    QString error;
    if (!ReportOutput::exportPdf(*m_document, path, &error, m_withChart))
        Msg::stop(QStringLiteral("导出PDF失败: ") + error);
}

void ReportPreview::exportExcel()
{
    ErrorBoundary::run([this] { ExportFile::save(ReportExport::table(*m_document), ExportFile::Kind::Excel, this); });
}
