#include "cli.h"

#include "domain/operators/passwordreset.h"
#include "ui/settings.h"
#include "store/archivecopy.h"
#include "store/connection.h"
#include "store/databasecreator.h"
#include "store/recordset.h"
#include "store/sqlquote.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int createDatabase(const QString &path, bool demo)
{
    try {
        if (demo)
            DatabaseCreator::createDemo(path);
        else
            DatabaseCreator::create(path);
    } catch (const DbException &e) {
        err() << e.number() << ' ' << e.description() << '\n';
        return 1;
    }
    out() << (demo ? "created demo database " : "created empty database ")
          << (Connection::isServerLocation(path) ? Connection::shownLocation(path) : QFileInfo(path).absoluteFilePath())
          << '\n';
    return 0;
}

int copyDatabase(const QString &from, const QString &to)
{
    try {
        for (const QString &line : ArchiveCopy::copy(from, to))
            out() << line << '\n';
    } catch (const DbException &e) {
        err() << e.number() << ' ' << e.description() << '\n';
        return 1;
    }
    out() << "copied; row counts, points totals and statistics checked\n";
    return 0;
}

QString cellText(const QVariant &v)
{
    if (v.isNull())
        return QString();
    // 1000000, not 1e+06; 0.30000000000000004 as stored.
    QString text = v.typeId() == QMetaType::Double ? sqlNumber(v.toDouble()) : v.toString();
    text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

int runSql(const QString &path, const QString &statement)
{
    Connection connection;
    try {
        if (Connection::isServerLocation(path)) {
            connection.openLocation(path);
        } else {
            const QFileInfo file(path);
            connection.open(Connection::connectionText(file.absolutePath() + QLatin1Char('/'), file.fileName()));
        }
        const bool returnsRows = connection.prepare(statement).columnCount() > 0;
        if (!returnsRows) {
            const int changed = connection.execute(statement);
            out() << changed << " row(s) changed\n";
            return 0;
        }
        Recordset rs;
        rs.open(statement, &connection, LockType::ReadOnly);
        QStringList header;
        for (int c = 0; c < rs.fieldCount(); ++c)
            header << rs.fieldName(c);
        out() << header.join(QLatin1Char('\t')) << '\n';
        for (int r = 0; r < rs.recordCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < rs.fieldCount(); ++c)
                cells << cellText(rs.valueAt(r, c));
            out() << cells.join(QLatin1Char('\t')) << '\n';
        }
    } catch (const DbException &e) {
        err() << e.number() << ' ' << e.description() << '\n';
        return 1;
    }
    return 0;
}

// The archive the program opens, unless another is named.
int resetPassword(const QString &name, const QString &database)
{
    QString folder = Settings::dataFolder();
    QString file = Settings::databaseFile();
    // A server location is opened as given (a file path would be made absolute).
    if (Connection::isServerLocation(database)) {
        Connection::rememberPassword(database);
        return PasswordReset::run(QStringLiteral("data source=") + database, name);
    }
    if (!database.isEmpty()) {
        const QFileInfo named(database);
        folder = named.absolutePath() + QLatin1Char('/');
        file = named.fileName();
    } else if (folder == Settings::kUnset) {
        err() << "no database location is set; name the file with --database FILE\n";
        return 1;
    }
    return PasswordReset::run(Connection::connectionText(folder, file), name);
}

const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
const QString kDatabase = QStringLiteral("database");
const QString kCreate = QStringLiteral("create-database");
const QString kDemo = QStringLiteral("demo");
const QString kSql = QStringLiteral("sql");
const QString kReset = QStringLiteral("reset-password");
const QString kCopy = QStringLiteral("copy-database");

// The commands that run without windows; one at a time.
const QStringList kCommands = {kCreate, kSql, kReset, kCopy};
const QStringList kValueOptions = {kDatabase, kCreate, kSql, kReset, kCopy};

// Arguments a command takes after its option's own value (--sql FILE STATEMENT, --copy-database FROM TO).
qsizetype argumentsAfterValue(const QString &command)
{
    return command == kSql || command == kCopy ? 1 : 0;
}

} // namespace

Cli::Cli(const QStringList &arguments)
{
    m_parser.setApplicationDescription(
        QStringLiteral("Avelor: members, tickets and loyalty points of an airline-ticket agency."));
    // Descriptions stay short: each option is one line of --help.
    m_parser.addOptions({
        {{QStringLiteral("h"), kHelp}, QStringLiteral("Show this help and exit.")},
        {{QStringLiteral("v"), kVersion}, QStringLiteral("Show the version and exit.")},
        {kDatabase, QStringLiteral("Start on database FILE, kept as the location."), QStringLiteral("FILE")},
        {kCreate, QStringLiteral("Write a new database FILE (never overwrites)."), QStringLiteral("FILE")},
        {kDemo, QStringLiteral("With --create-database: add demo members.")},
        // The statement follows the file as the next argument.
        {kSql, QStringLiteral("Run STATEMENT on FILE, print the rows."), QStringLiteral("FILE> <STATEMENT")},
        {kReset, QStringLiteral("Ask NAME's new password twice and store it."), QStringLiteral("NAME")},
        // FILE may also be a server, postgresql://user@host/database.
        {kCopy, QStringLiteral("Copy a whole archive into an empty one."), QStringLiteral("FROM> <TO")},
    });
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return;
    }
    if (m_parser.isSet(kHelp) || m_parser.isSet(kVersion))
        return;
    for (const QString &option : kValueOptions) {
        // The parser takes the next argument whatever it is: "--create-database --demo"
        // must not create a file named "--demo".
        if (!m_parser.isSet(option))
            continue;
        const QString value = m_parser.value(option);
        if (value.isEmpty() || value.startsWith(QLatin1Char('-'))) {
            m_error = QStringLiteral("--%1 needs a %2.").arg(option, option == kReset ? QStringLiteral("NAME")
                                                                                       : QStringLiteral("FILE"));
            return;
        }
    }
    for (const QString &command : kCommands) {
        if (!m_parser.isSet(command))
            continue;
        if (!m_command.isEmpty()) {
            m_error = QStringLiteral("--%1 and --%2 do not go together.").arg(m_command, command);
            return;
        }
        m_command = command;
    }
    if (m_parser.isSet(kDemo) && m_command != kCreate) {
        m_error = QStringLiteral("--demo goes only with --create-database.");
        return;
    }
    // The reset works on the file named, or else on the one the windows open.
    if (m_parser.isSet(kDatabase) && !m_command.isEmpty() && m_command != kReset) {
        m_error = QStringLiteral("--database starts the windows; it does not go with --%1.").arg(m_command);
        return;
    }
    const QStringList extra = m_parser.positionalArguments();
    const qsizetype expected = m_command.isEmpty() ? 0 : argumentsAfterValue(m_command);
    if (extra.size() > expected)
        m_error = QStringLiteral("Unexpected argument '%1'.").arg(extra.at(expected));
    else if (extra.size() < expected)
        m_error = m_command == kCopy ? QStringLiteral("--%1 needs a TO after its FROM.").arg(m_command)
                                     : QStringLiteral("--%1 needs a STATEMENT after its FILE.").arg(m_command);
}

QStringList Cli::argumentsOf(int argc, char *argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

bool Cli::startsWindows() const
{
    return m_error.isEmpty() && !m_parser.isSet(kHelp) && !m_parser.isSet(kVersion) && m_command.isEmpty();
}

QString Cli::database() const
{
    return m_error.isEmpty() ? m_parser.value(kDatabase) : QString();
}

int Cli::run()
{
    if (!m_error.isEmpty())
        return usageError(m_error);
    if (m_parser.isSet(kHelp)) {
        out() << usage();
        return 0;
    }
    if (m_parser.isSet(kVersion)) {
        out() << "torvane " TORVANE_VERSION "\n";
        return 0;
    }
    const QStringList extra = m_parser.positionalArguments();
    if (m_command == kCreate)
        return createDatabase(m_parser.value(kCreate), m_parser.isSet(kDemo));
    if (m_command == kSql)
        return runSql(m_parser.value(kSql), extra.at(0));
    if (m_command == kReset)
        return resetPassword(m_parser.value(kReset), m_parser.value(kDatabase));
    if (m_command == kCopy)
        return copyDatabase(m_parser.value(kCopy), extra.at(0));
    return usageError(QStringLiteral("Nothing to do without windows."));
}

int Cli::usageError(const QString &reason)
{
    err() << "torvane: " << reason << "\n\n" << usage();
    err().flush();
    return 2;
}

QString Cli::usage() const
{
    // The parser names the program by the path it was started with.
    const QString help = m_parser.helpText();
    return QStringLiteral("Usage: torvane [options]") + help.mid(help.indexOf(QLatin1Char('\n')));
}
