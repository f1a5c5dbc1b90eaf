#include "shell/application.h"

#include "domain/shell/programdata.h"
#include "ui/errorboundary.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool Application::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    ErrorBoundary::run([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void configureApplication()
{
    QApplication::setApplicationName(QStringLiteral("Avelor"));
    QApplication::setApplicationVersion(QStringLiteral(TORVANE_VERSION));
    // Lets the desktop match the windows with the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("torvane"));
    QApplication::setWindowIcon(QIcon(programDataFile(QStringLiteral("torvane.svg"))));
    static QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
}
