#pragma once

#include <QString>
#include <QStringList>

class Connection;
class Recordset;

// The itinerary rows (hyxc) of one customer: the statements of the grid, and
// the commands that write more than one row or table.
namespace TicketCommands {
// The grid's rows: the id, then the shown dictionary columns, of one customer (one parameter).
QString itinerarySql(const QStringList &fieldCodes);
// The customer's totals under the grid (one parameter).
QString totalsSql();
// The condition of one customer's itinerary report.
QString customerCondition(const QString &kh);
// Saves the row staged in `rows` (a refund or a void) and writes its closed
// log entry, both or neither.
void saveStateChange(Connection &connection, Recordset &rows, const QString &operatorName, const QString &action,
                     const QString &airline, qint64 id);
}
