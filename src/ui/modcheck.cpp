#include "ui/modcheck.h"

#include "store/valuecheck.h"
#include "ui/messagebox.h"

bool Modcheck::data_check(const QString &type, int maxLength, const QString &value, const QString &caption,
                          const QString &nullMark)
{
    const ValueCheck result = checkValue(type, maxLength, value, caption, nullMark);
    if (!result.message.isEmpty())
        Msg::exclamation(result.message);
    return result.ok;
}
