#pragma once

#include <QString>
#include <optional>

// The one rule a typed value must pass before a record is saved, without
// widgets: the message to show (empty when the value passes, or when the save
// must fail silently).
struct ValueCheck
{
    bool ok = false;
    QString message;
};

namespace Modcheck {
ValueCheck checkValue(const QString &type, int maxLength, const QString &value, const QString &caption,
                      const QString &nullMark);

// What a person types as a number here: sign, decimals, thousands separators,
// exponent, surrounding blanks. The check and the store read numbers alike.
bool isNumeric(const QString &text);
std::optional<double> parseNumber(const QString &text);
// What a person types as a date (see parseJetDate); impossible dates refused.
bool isDate(const QString &text);
// Length in characters as a person counts them (a Chinese character or an emoji is one).
int characterCount(const QString &text);
}
