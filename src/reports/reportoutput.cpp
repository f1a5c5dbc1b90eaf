#include "reports/reportoutput.h"

#include "domain/reports/reportdocument.h"
#include "reports/reportpreview.h"
#include "domain/reports/reportrenderer.h"
#include "ui/settings.h"
#include "ui/busycursor.h"
#include "store/dberror.h"
#include "store/sqlitelocks.h"
#include "ui/dialogs.h"
#include "ui/errorboundary.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QPdfWriter>
#include <QPrinter>

std::optional<QPageLayout> ReportOutput::chosenPage()
{
    if (!Dialogs::printerSetUp())
        return std::nullopt;
    return Dialogs::printer().pageLayout();
}

QWidget *ReportOutput::preview(std::shared_ptr<const ReportDocument> document, QWidget *parent)
{
    if (!document)
        return nullptr;
    BusyCursor busy;
    // A window of its own under the main window, not a child of the asking
    // window: it stays until the operator closes it.
    QWidget *owner = parent ? parent->window() : nullptr;
    if (!qobject_cast<QMainWindow *>(owner)) {
        owner = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QMainWindow *>(w))
                owner = w;
    }
    auto *window = new ReportPreview(std::move(document), owner);
    window->show();
    window->raise();
    return window;
}

namespace {
const QString kChartSection = QStringLiteral("report_chart");

QString chartKey(const ReportDocument &document)
{
    QString key = document.title().trimmed();
    return key.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
}
} // namespace

bool ReportOutput::chartWanted(const ReportDocument &document)
{
    return Settings::read(Msg::programTitle(), kChartSection, chartKey(document), QStringLiteral("1"))
           != QLatin1String("0");
}

void ReportOutput::setChartWanted(const ReportDocument &document, bool wanted)
{
    Settings::write(Msg::programTitle(), kChartSection, chartKey(document),
                    wanted ? QStringLiteral("1") : QStringLiteral("0"));
}

bool ReportOutput::print(const ReportDocument &document, QWidget *parent, bool withChart)
{
    {
        BusyCursor busy;
        if (!ErrorBoundary::run([&document] { document.completeRows(); }))
            return false;
    }
    QPrinter &printer = Dialogs::printer();
    const ReportRenderer proposed(document, chosenPage(), withChart);
    printer.setPageLayout(proposed.pageLayout());
    printer.setDocName(document.title().trimmed());
    printer.setFromTo(0, 0);
    printer.setPrintRange(QPrinter::AllPages);
    if (!Dialogs::current().print(parent, &printer))
        return false;
    // Printing into a file never writes over the open archive's files.
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        if (const QString refusal = SqliteLocks::refusalToWrite(printer.outputFileName()); !refusal.isEmpty()) {
            Msg::stop(QStringLiteral("打印失败: ") + refusal);
            return false;
        }
    }
    // The dialog may have changed the printer, paper or orientation: lay the pages out again.
    const ReportRenderer renderer(document, printer.pageLayout(), withChart);
    int first = 1, last = renderer.pageCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage();
        last = std::max(first, printer.toPage());
    }
    if (first > renderer.pageCount())
        return false;
    BusyCursor busy;
    renderer.render(&printer, first, last);
    return true;
}

bool ReportOutput::exportPdf(const ReportDocument &document, const QString &path, QString *error, bool withChart)
{
    BusyCursor busy;
    try {
        document.completeRows();
    } catch (const DbException &e) {
        if (error)
            *error = e.description();
        return false;
    }
    if (const QString refusal = SqliteLocks::refusalToWrite(path); !refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(600);
        writer.setTitle(document.title().trimmed());
        writer.setCreator(QStringLiteral("Avelor"));
        ReportRenderer(document, chosenPage(), withChart).render(&writer);
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
