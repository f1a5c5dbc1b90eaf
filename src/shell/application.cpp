#include "shell/application.h"

#include "ui/errorboundary.h"

bool Application::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    ErrorBoundary::run([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
