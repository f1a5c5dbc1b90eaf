#include "ui/modcheck.h"

#include "store/valuecheck.h"
#include "ui/messagebox.h"

#include <QLineEdit>

bool Modcheck::data_check(const QString &type, int maxLength, const QString &value, const QString &caption,
                          const QString &nullMark)
{
    const ValueCheck result = checkValue(type, maxLength, value, caption, nullMark);
    if (!result.message.isEmpty())
        Msg::exclamation(result.message);
    return result.ok;
}

void Modcheck::txtlock_set(const QList<QLineEdit *> &boxes, int count, bool locked)
{
    for (int i = 0; i < count && i < boxes.size(); ++i)
        if (boxes.at(i))
            boxes.at(i)->setReadOnly(locked);
}
