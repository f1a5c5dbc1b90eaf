#pragma once

#include <QString>
#include <QStringList>

class Connection;
class PinyinMatcher;
class Recordset;

// The customer archive (hyda): its statements, and the delete that takes the
// customer's tickets with it.
namespace CustomerCommands {
QString customersSql();
// The customers' names (each once, in order) that the pinyin finds.
QStringList namesMatching(Connection &connection, const PinyinMatcher &pinyin);
// The clearing log, as the third tab lists it.
QString clearingLogSql();
// Deletes the recordset's current customer and every ticket of that card
// number, both or neither; the customer row only while it is as it was read.
void deleteCustomer(Connection &connection, Recordset &customers);

// Card numbers of the customers that look like the same person as a new one.
struct Duplicates
{
    QStringList sameIdNumber;      // the same identity document number
    QStringList sameNameAndMobile; // the same name and the same mobile number
    bool any() const { return !sameIdNumber.isEmpty() || !sameNameAndMobile.isEmpty(); }
};
// Blank values match nothing.
Duplicates duplicatesOf(Connection &connection, const QString &idNumber, const QString &name, const QString &mobile);
}
