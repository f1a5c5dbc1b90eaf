#pragma once

#include <QString>

class Connection;
class Recordset;

// The customer archive (hyda): its statements, and the delete that takes the
// customer's tickets with it.
namespace CustomerCommands {
QString customersSql();
// The clearing log, as the third tab lists it.
QString clearingLogSql();
// Deletes the recordset's current customer and every ticket of that card
// number, both or neither; the customer row only while it is as it was read.
void deleteCustomer(Connection &connection, Recordset &customers);
}
