#include "cli.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Avelor"));
    if (const auto code = runCommandLine(QCoreApplication::arguments()))
        return *code;
    QTextStream(stderr) << "Torvane: the windows are not built yet; use --create-database or --sql.\n";
    return 0;
}
