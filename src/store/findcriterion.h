#pragma once

#include <QString>
#include <QVariant>
#include <optional>

// One search condition as recordsets are searched: column, operator and a
// literal ('text' with doubled quotes, a number, or #date#).
// Operators: = <> < > <= >= like.
struct FindCriterion
{
    QString column;
    QString op;
    QVariant literal;      // QString for text and dates, double for numbers
    bool textLiteral = false;

    // Parses "kh='A01'", "id = 12", "xm like 'Li%'". Nothing on failure.
    static std::optional<FindCriterion> parse(const QString &text);

    bool matches(const QVariant &fieldValue) const;
};
