#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

struct sqlite3;
struct sqlite3_value;

// Jet's expression functions and operators as SQL functions (jet_left,
// jet_dateadd, jet_cat for &, ...): catalogue statements brought from Jet give
// Jet's answers. The server schema defines the same functions with the same
// meaning; translateJet writes Jet's names as these.
namespace JetFunctions {

// An argument of an SQL function as the program holds values (null, qint64, double, text).
QVariant valueOf(sqlite3_value *value);
// A value as Jet's CStr writes it: whole numbers as digits, others with up
// to 15 significant digits; null stays null.
QVariant text(const QVariant &value);
// Round half to even at `places` decimals, as Jet's Round, CInt and CLng do.
double roundEven(double value, int places = 0);
// A date given as text (ISO, #-literal forms) or as Jet's day number.
std::optional<QDateTime> dateOf(const QVariant &value);
// Jet's DateAdd, DateDiff and DatePart; an unknown interval gives nullopt.
std::optional<QDateTime> dateAdd(const QString &interval, qint64 count, const QDateTime &date);
std::optional<qint64> dateDiff(const QString &interval, const QDateTime &from, const QDateTime &to);
std::optional<qint64> datePart(const QString &interval, const QDateTime &date);
// A date as the program stores it: "yyyy-MM-dd", with " HH:mm:ss" when it has a time of day.
QString isoText(const QDateTime &date);
// Val: the number a text starts with (blanks anywhere are passed over), or 0.
double leadingNumber(const QString &text);

void registerOn(sqlite3 *db);

} // namespace JetFunctions
