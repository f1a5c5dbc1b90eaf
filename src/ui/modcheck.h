#pragma once

#include <QList>
#include <QString>

class QLineEdit;

namespace Modcheck {
// Checks one typed value against its dictionary row; shows the message (if
// any) with the exclamation icon and returns whether the value may be saved.
bool data_check(const QString &type, int maxLength, const QString &value, const QString &caption,
                const QString &nullMark);
// Sets boxes 0 .. count-1 read-only (true) or editable (false).
void txtlock_set(const QList<QLineEdit *> &boxes, int count, bool locked);
}
