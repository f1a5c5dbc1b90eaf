#pragma once

#include "domain/reports/exporttable.h"

// Writes a table as an Excel workbook: title and subtitle in the first rows,
// the captions frozen under them, each column as wide as its longest cell,
// numbers and dates as such with the report's formats (numbers rounded to
// the places the format shows), and the totals as SUM formulas. The
// file appears only once it is whole: a cancelled or failed export leaves
// whatever stood at `path` before.
namespace XlsxExport {
ExportResult write(const ExportTable &table, const QString &path, const ExportProgress &progress = {});
// The spreadsheet number format of a report format ("#####0.00%" is "0.00%").
QString spreadsheetFormat(const QString &reportFormat);
}
