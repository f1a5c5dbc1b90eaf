#include "domain/operators/passwordreset.h"

#include "domain/operators/operatorcommands.h"
#include "store/connection.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

// One line of standard input, without its line end; nothing at end of input.
std::optional<QString> readHidden(const QString &prompt)
{
    std::cerr << prompt.toLocal8Bit().constData() << std::flush;
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    // The Enter typed was not shown.
    std::cerr << '\n';
    if (!read)
        return std::nullopt;
    return QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
}

void say(const QString &text)
{
    std::cerr << text.toLocal8Bit().constData() << '\n';
}

} // namespace

int PasswordReset::run(const QString &connectionText, const QString &name)
{
    try {
        Connection connection;
        connection.open(connectionText);
        if (connection.scalar(QStringLiteral("select count(*) from czyzd where czy_name=?"), {name}).toInt() == 0) {
            say(QStringLiteral("no operator named '%1'; nothing changed").arg(name));
            return 1;
        }
        const std::optional<QString> first = readHidden(QStringLiteral("New password for %1: ").arg(name));
        const std::optional<QString> second = first ? readHidden(QStringLiteral("Repeat it: ")) : std::nullopt;
        if (!second) {
            say(QStringLiteral("no password given; nothing changed"));
            return 1;
        }
        // The operators window never makes an account without a password either.
        if (first->isEmpty()) {
            say(QStringLiteral("the password is empty; nothing changed"));
            return 1;
        }
        if (*first != *second) {
            say(QStringLiteral("the two entries differ; nothing changed"));
            return 1;
        }
        if (!OperatorCommands::resetPassword(connection, name, *first)) {
            say(QStringLiteral("no operator named '%1'; nothing changed").arg(name));
            return 1;
        }
    } catch (const DbException &e) {
        say(QStringLiteral("%1 %2").arg(e.number()).arg(e.description()));
        return 1;
    }
    say(QStringLiteral("password of '%1' reset").arg(name));
    return 0;
}
