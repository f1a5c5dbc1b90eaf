#pragma once

#include <QString>

// Reports list the statistics and totals in the order of their keys (airline,
// day, ...), as a file reads them; a server hands rows out in whatever order
// it finds them, so the statements the program composes say it.
namespace ReportOrder {
// The key order of a statistics table or totals view, "" for other relations.
QString keysOf(const QString &relation);
// `sql` with " order by <keys>" added when it reads one such relation and
// states no order of its own.
QString ordered(const QString &sql);
}
