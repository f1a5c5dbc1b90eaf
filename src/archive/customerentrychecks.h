#pragma once

#include <QString>

class Connection;
class Recordset;

// What the customer window asks before it writes a customer, after the field
// checks have passed: a resident identity number that does not check out is
// questioned, so is a good one that says another sex or birth date than the
// ones typed, an empty birth date and sex are taken from a good one, and a new
// customer who seems to be in the archive already is questioned too. The
// operator may save anyway, or go back to the record.
namespace CustomerEntryChecks {
// False when the operator goes back; `focusField` then names the field to
// look at (empty for none). Database errors propagate.
bool confirmSave(Connection &connection, Recordset &customers, bool adding, QString *focusField);
}
