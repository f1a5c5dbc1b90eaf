#include "reports/reportoutput.h"

#include "reports/reportdocument.h"
#include "reports/reportpreview.h"
#include "reports/reportrenderer.h"
#include "reports/reporttemplate.h"
#include "ui/busycursor.h"
#include "ui/dialogs.h"

#include <QFile>
#include <QPdfWriter>
#include <QPrinter>

QWidget *ReportOutput::preview(std::shared_ptr<const ReportDocument> document, QWidget *parent)
{
    if (!document)
        return nullptr;
    BusyCursor busy;
    auto *window = new ReportPreview(std::move(document), parent);
    window->show();
    window->raise();
    return window;
}

bool ReportOutput::print(const ReportDocument &document, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    const ReportRenderer renderer(document);
    printer.setPageLayout(renderer.pageLayout());
    printer.setDocName(document.title().trimmed());
    if (!Dialogs::current().print(parent, &printer))
        return false;
    // Every page, whatever range the dialog offered.
    printer.setPrintRange(QPrinter::AllPages);
    BusyCursor busy;
    renderer.render(&printer);
    return true;
}

bool ReportOutput::exportPdf(const ReportDocument &document, const QString &path, QString *error)
{
    BusyCursor busy;
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
        ReportRenderer(document).render(&writer);
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QWidget *ReportOutput::previewBound(QWidget *parent)
{
    return preview(ReportMod().boundDocument(), parent);
}

bool ReportOutput::printBound(QWidget *parent)
{
    const auto document = ReportMod().boundDocument();
    return document && print(*document, parent);
}
