#pragma once

#include "domain/reports/exporttable.h"

class QWidget;

// Saving a table to a file the operator names: the file dialog, a progress
// bar with a cancel button for long tables, and the failure shown.
namespace ExportFile {
enum class Kind { Excel, Csv };
// Asks for the file; true when it was written.
bool save(const ExportTable &table, Kind kind, QWidget *parent);
// Writes to `path` under the progress bar; the outcome, failures not yet shown.
ExportResult write(const ExportTable &table, Kind kind, const QString &path, QWidget *parent);
}
