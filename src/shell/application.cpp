#include "shell/application.h"

#include "ui/errorboundary.h"

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
    static QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
}
