#pragma once

#include <QPageLayout>
#include <QString>
#include <memory>
#include <optional>

class QWidget;
class ReportDocument;

// What a built report can become: a preview window, a print job, a PDF file.
namespace ReportOutput {
// Opens a modeless preview window of the document. It lives until the
// operator closes it, whatever becomes of the window that asked for it.
QWidget *preview(std::shared_ptr<const ReportDocument> document, QWidget *parent = nullptr);
// Prints after the print dialog, on the printer, pages, paper and orientation
// chosen there; false when cancelled or nothing was printed.
bool print(const ReportDocument &document, QWidget *parent = nullptr, bool withChart = true);
// Writes the report as a PDF file; false with the reason on failure.
bool exportPdf(const ReportDocument &document, const QString &path, QString *error = nullptr, bool withChart = true);
// Whether a report goes out with its chart page: the operator's last choice
// for a report of this title, yes until one was made.
bool chartWanted(const ReportDocument &document);
void setChartWanted(const ReportDocument &document, bool wanted);
// The page the operator set up in the print setup, if any.
std::optional<QPageLayout> chosenPage();
}
