#pragma once

#include <QApplication>

// The program's application object. Every command handles its own database
// failures; should one slip through anyway, it ends the command here with a
// message instead of ending the program.
class Application : public QApplication
{
    Q_OBJECT
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override;
};

// The program's name in the settings, its version and icon, and Qt's own
// dialogs and buttons in the operator's language. Window captions stay exactly
// as each window sets them.
void configureApplication();
