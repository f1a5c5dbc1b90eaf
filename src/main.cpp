#include "cli.h"
#include "shell/application.h"
#include "shell/appstate.h"
#include "shell/startup.h"

#include <QSettings>

int main(int argc, char *argv[])
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    Cli cli(Cli::argumentsOf(argc, argv));
    if (!cli.startsWindows()) {
        QCoreApplication app(argc, argv);
        return cli.run();
    }

    Application app(argc, argv);
    configureApplication();
    if (!cli.database().isEmpty())
        Startup::storeDatabaseArgument(cli.database());
    AppState state;
    Startup startup(state);
    if (!startup.run())
        return 0;
    return QApplication::exec();
}
