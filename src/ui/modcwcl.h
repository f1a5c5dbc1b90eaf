#pragma once

#include "store/dberror.h"

#include <QString>

class QWidget;

namespace ModCWCl {
// Text of the error report: the general failure code gets the "wrong data"
// form, everything else the "error number" form.
QString errorText(const DbError &error);
// Shows that text in a stop box under the program title.
void err_show(const DbError &error);
}

// Places a window in the middle of the screen it is on.
void form_center(QWidget *window);
