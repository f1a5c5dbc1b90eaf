#pragma once

#include <QString>

namespace Modcheck {
// Checks one typed value against its dictionary row; shows the message (if
// any) with the exclamation icon and returns whether the value may be saved.
bool data_check(const QString &type, int maxLength, const QString &value, const QString &caption,
                const QString &nullMark);
}
