#pragma once

#include "store/databasecreator.h"

class Connection;

// Deterministic sample data: customers, tickets with points, clearings,
// transfers and an operator log. The same size and seed give the same rows on
// every machine (our own generator, no library distributions).
namespace DemoData {
void generate(Connection &db, const DemoSize &size, quint64 seed);
}
