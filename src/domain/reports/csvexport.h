#pragma once

#include "domain/reports/exporttable.h"

#include <QByteArray>

// Writes a table as CSV: UTF-8 with a byte-order mark (so a spreadsheet reads
// Chinese text right), comma-separated, quoted as RFC 4180 says, lines ended
// by CR LF. Captions first, no title and no totals: the file is data.
namespace CsvExport {
ExportResult write(const ExportTable &table, const QString &path, const ExportProgress &progress = {});
// One field as the file holds it.
QByteArray field(const QVariant &value);
}
