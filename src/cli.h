#pragma once

#include <QCommandLineParser>
#include <QStringList>

// The program's command line. Without a command the windows start, on the
// --database FILE when given. The administrator's commands run without
// windows and end with an exit code: 0 done, 1 failed (the reason on stderr),
// 2 a command line that cannot be read (the reason and the usage on stderr).
class Cli
{
public:
    // Reads the arguments, the program's name first. Needs no application
    // object, so --help and the commands work where no display is.
    explicit Cli(const QStringList &arguments);

    static QStringList argumentsOf(int argc, char *argv[]);

    // True when the windows start: no command, nothing to report.
    bool startsWindows() const;
    // --database FILE, empty when not given.
    QString database() const;

    // Runs the command, or shows the help, the version or what is wrong with
    // the command line. Returns the exit code. Needs a QCoreApplication.
    int run();

private:
    int usageError(const QString &reason);
    QString usage() const;

    QCommandLineParser m_parser;
    QString m_error;
    QString m_command;
};
