#include "cli.h"
#include "shell/application.h"
#include "domain/shell/appstate.h"
#include "shell/frm_pathset.h"
#include "shell/startup.h"
#include "store/connection.h"

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
    // A server that wants a password none of libpq's means gives asks for it here, for this run only.
    Connection::setPasswordProvider(&Frm_pathset::askPassword);
    const QString database = cli.database();
    if (Connection::isServerLocation(database))
        Frm_pathset::storeServerLocation(database);
    else if (!database.isEmpty())
        Startup::storeDatabaseArgument(database);
    AppState state;
    Startup startup(state);
    if (!startup.run())
        return 0;
    return QApplication::exec();
}
