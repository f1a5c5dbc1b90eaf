#pragma once

#include "store/databasecreator.h"

struct sqlite3;

// Deterministic sample data: customers, tickets with points, clearings,
// transfers and an operator log. The same size and seed give the same rows on
// every machine (our own generator, no library distributions).
namespace DemoData {
void generate(sqlite3 *db, const DemoSize &size, quint64 seed);
}
