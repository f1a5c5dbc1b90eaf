#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

// One filled condition row as the operator left it.
struct ConditionRow
{
    QString field; // the caption chosen or typed in the field box
    QString op;    // < <= > >= = like <>
    QString value; // as typed
};

// What a condition field is, from the print-side dictionary.
struct ConditionField
{
    QString code;
    QString caption;
    QString type; // upper case
};

// How a window writes the values of each type word.
enum class ValueKind { Quoted, HashDate, QuotedDate, Numeric };
using TypeWords = QHash<QString, ValueKind>;

namespace TypeWordTables {
TypeWords statistics();   // CHAR, DATETIME, NUME
TypeWords customerPoints(); // TXT, DATE (in quotes), MON, BFL
TypeWords periodIncome(); // TXT/CHAR, DATETIME/DATE, MON/BFL/NUME
}

struct ConditionText
{
    QString text;          // the WHERE condition built so far
    QString captionText;   // the same naming each field by its caption, text values as typed
    QString words;         // the same in words: "出票日期 大于等于 2024-01-01 并且 航空公司 等于 “国航”"
    QStringList values;    // each row's value as it was written into the condition (empty when skipped)
    bool stopped = false;  // a value was refused (or a field unknown)
    bool unknownField = false;
    QString message;       // what to tell the operator when stopped
    int acceptedRows = 0;
};

// A term of its own for an accepted row instead of the plain one, or nothing.
using TermRewrite = std::function<std::optional<QString>(const ConditionField &field, const ConditionRow &row,
                                                          const QString &term)>;

// Builds the condition text from the rows in order: empty values are skipped,
// each accepted term joined to the text so far by the connector word of the
// gap before its row ("and" / "or"). Text values are quoted with their quotes
// doubled, numbers written from the parsed number, dates checked. A refused
// value stops the scan with the text so far. `accepted` runs after each
// accepted row with the text so far.
ConditionText strtjset(const QVector<ConditionRow> &rows, const QStringList &connectorWords,
                       const std::function<std::optional<ConditionField>(const QString &caption)> &lookup,
                       const TypeWords &types, const std::function<void(const QString &)> &accepted = {},
                       const TermRewrite &rewrite = {});
