#pragma once

#include "domain/reports/exporttable.h"

class ReportDocument;

// A laid-out report as a table for a spreadsheet: its title and subtitle, one
// column per detail box with the caption over it, its number
// format, and a total wherever the report footer sums that column.
namespace ReportExport {
ExportTable table(const ReportDocument &document);
}
