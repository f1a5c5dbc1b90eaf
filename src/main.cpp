#include "cli.h"
#include "shell/application.h"
#include "shell/appstate.h"
#include "shell/startup.h"

#include <QSettings>

namespace {

QString argumentAfter(const QStringList &args, const QString &option)
{
    const qsizetype at = args.indexOf(option);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList args = [&] {
        QStringList list;
        for (int i = 0; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    QSettings::setDefaultFormat(QSettings::IniFormat);
    if (args.contains(QStringLiteral("--create-database")) || args.contains(QStringLiteral("--sql"))) {
        QCoreApplication app(argc, argv);
        return *runCommandLine(args);
    }

    Application app(argc, argv);
    configureApplication();
    const QString database = argumentAfter(args, QStringLiteral("--database"));
    if (!database.isEmpty())
        Startup::storeDatabaseArgument(database);

    AppState state;
    Startup startup(state);
    if (!startup.run())
        return 0;
    return QApplication::exec();
}
