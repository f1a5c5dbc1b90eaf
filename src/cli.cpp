#include "cli.h"

#include "store/connection.h"
#include "store/databasecreator.h"
#include "store/recordset.h"

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

int createDatabase(const QStringList &args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--create-database"));
    if (at + 1 >= args.size() || args.at(at + 1).startsWith(QLatin1String("--"))) {
        err() << "usage: torvane --create-database FILE [--demo]\n";
        return 2;
    }
    const QString path = args.at(at + 1);
    const bool demo = args.contains(QStringLiteral("--demo"));
    try {
        if (demo)
            DatabaseCreator::createDemo(path);
        else
            DatabaseCreator::create(path);
    } catch (const DbException &e) {
        err() << e.number() << ' ' << e.description() << '\n';
        return 1;
    }
    out() << (demo ? "created demo database " : "created empty database ") << QFileInfo(path).absoluteFilePath()
          << '\n';
    return 0;
}

QString cellText(const QVariant &v)
{
    if (v.isNull())
        return QString();
    QString text = v.toString();
    text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

int runSql(const QStringList &args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--sql"));
    if (at + 2 >= args.size()) {
        err() << "usage: torvane --sql FILE STATEMENT\n";
        return 2;
    }
    const QFileInfo file(args.at(at + 1));
    const QString statement = args.at(at + 2);
    Connection connection;
    try {
        connection.open(Connection::connectionText(file.absolutePath() + QLatin1Char('/'), file.fileName()));
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

} // namespace

std::optional<int> runCommandLine(const QStringList &arguments)
{
    if (arguments.contains(QStringLiteral("--create-database")))
        return createDatabase(arguments);
    if (arguments.contains(QStringLiteral("--sql")))
        return runSql(arguments);
    return std::nullopt;
}
