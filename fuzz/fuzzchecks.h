#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What each fuzz target checks on one input, beyond "does not crash". Every
// check returns what did not hold (empty when everything held): the fuzz
// targets abort on it, and tst_fuzzregressions replays the saved inputs
// through the same checks in the ordinary build.
namespace FuzzChecks {

// translateJet: text inside literals and bracketed names is never changed,
// SQL without '#' and without "delete" comes back as it was, a second pass
// changes nothing.
QString translateJet(const QByteArray &input);

// FindCriterion::parse and matches. Lines: criterion, a field value, a text to
// quote (the rest). sqlQuote and sqlNumber output parse back to what was written.
QString findCriterion(const QByteArray &input);

// jetFormat. First line: the value, the rest: the pattern.
QString jetFormat(const QByteArray &input);

// Modcheck::isNumeric / isDate / checkValue. First character: type word,
// second: maximum length, third: null mark; the rest: the value.
QString valueCheck(const QByteArray &input);

// parseJetDate on the whole input.
QString jetDate(const QByteArray &input);

// strtjset. First line: the type table (s, p, i); each further line one
// condition row: field digit, operator digit, connector (o = or), value.
// The text built must prepare on SQLite as exactly one statement and select
// what its terms say.
QString strtjset(const QByteArray &input);

// The targets by name, as the folders under fuzz/corpus and fuzz/regressions are named.
QStringList targets();
QString check(const QString &target, const QByteArray &input);

} // namespace FuzzChecks
