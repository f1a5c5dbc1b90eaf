#pragma once

#include <QString>
#include <memory>

class QWidget;
class ReportDocument;

// What a bound report can become: a preview window, a print job, a PDF file.
namespace ReportOutput {
// Opens a modeless preview window of the document; it stays open after the call.
QWidget *preview(std::shared_ptr<const ReportDocument> document, QWidget *parent = nullptr);
// Prints every page after the print dialog; false when cancelled or nothing to print.
bool print(const ReportDocument &document, QWidget *parent = nullptr);
// Writes the report as a PDF file; false with the reason on failure.
bool exportPdf(const ReportDocument &document, const QString &path, QString *error = nullptr);

// The same for whatever the program-wide template is bound to.
QWidget *previewBound(QWidget *parent = nullptr);
bool printBound(QWidget *parent = nullptr);
}
