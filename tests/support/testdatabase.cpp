#include "support/testdatabase.h"

#include "store/serverroles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QUuid>
#include <libpq-fe.h>

#include <map>

namespace {

// The maintenance database of the test server, e.g. postgresql://torvane@/postgres?host=DIR&port=N
QString serverBase()
{
    const QString base = qEnvironmentVariable("TORVANE_TEST_PG");
    if (base.isEmpty())
        qFatal("TORVANE_TEST_ENGINE=postgres needs TORVANE_TEST_PG, the test server that ./test.sh starts");
    return base;
}

QString serverUri(const QString &database)
{
    QString uri = serverBase();
    return uri.replace(QStringLiteral("/postgres?"), QLatin1Char('/') + database + QLatin1Char('?'));
}

void administer(const QString &sql)
{
    PGconn *conn = PQconnectdb(serverBase().toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK)
        qFatal("test server: %s", PQerrorMessage(conn));
    PGresult *r = PQexec(conn, sql.toUtf8().constData());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    const QByteArray why = PQresultErrorMessage(r);
    PQclear(r);
    PQfinish(conn);
    if (!ok)
        qFatal("test server: %s", why.constData());
}

QString newServerDatabase(const QString &from = QString())
{
    const QString name = QStringLiteral("t_%1_%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
    administer(QStringLiteral("CREATE DATABASE ") + name
               + (from.isEmpty() ? QString() : QStringLiteral(" TEMPLATE ") + from));
    return name;
}

void dropServerDatabase(const QString &name)
{
    administer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
}

// Each kind of archive is made once per test program by the creation code,
// which hashes the operators' passwords (slowly, on purpose), and copied for
// each test: a file, or a database the server copies.
QString createdOnce(TestDatabase::Content content, const DemoSize &size)
{
    static QTemporaryDir dir;
    static QMap<QString, QString> made;
    static std::map<QString, std::unique_ptr<ServerDatabase>> onServer; // dropped at exit
    const bool demo = content == TestDatabase::Content::Demo;
    const QString kind = demo ? QStringLiteral("demo_%1_%2").arg(size.customers).arg(size.tickets) : QStringLiteral("empty");
    if (!made.contains(kind)) {
        QString location = dir.filePath(kind + QStringLiteral(".db"));
        if (TestDatabase::onServer())
            location = (onServer[kind] = std::make_unique<ServerDatabase>())->uri();
        demo ? DatabaseCreator::createDemo(location, size) : DatabaseCreator::create(location);
        made.insert(kind, location);
    }
    return made.value(kind);
}

} // namespace

bool TestDatabase::onServer()
{
    return qEnvironmentVariable("TORVANE_TEST_ENGINE") == QLatin1String("postgres");
}

TestDatabase::TestDatabase(Content content, const DemoSize &size)
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path() + QStringLiteral("/settings"));
    const QString made = createdOnce(content, size);
    if (onServer()) {
        m_server = std::make_unique<ServerDatabase>(made);
        m_path = m_server->uri();
    } else {
        m_path = m_dir.path() + QStringLiteral("/kvora.db");
        if (!QFile::copy(made, m_path))
            throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("cannot copy the test database to ") + m_path);
    }
    m_connection.open(Connection::connectionText(folder(), fileName()));
}

QString TestDatabase::seatPath(const QString &name, bool withPassword)
{
    if (!onServer())
        return m_path;
    // On a server a seat runs as the operator's role, with every right here.
    const QString password = QStringLiteral("seat-pw");
    ServerRoles::setPassword(m_connection, name, password);
    m_connection.execute(QStringLiteral("delete from czy where name=?"), {name});
    m_connection.execute(QStringLiteral("insert into czy(name,czy_id,nr) select ?, 0, torvane_rights()"), {name});
    const QString seat = ServerRoles::withUser(m_path, ServerRoles::roleOf(m_connection, name));
    ServerRoles::rememberPassword(seat, password);
    return withPassword ? QString(seat).replace(QStringLiteral("@/"), QStringLiteral(":seat-pw@/")) : seat;
}

// The connection closes before the server drops its database.
TestDatabase::~TestDatabase() = default;

QString TestDatabase::folder() const
{
    if (onServer()) {
        const qsizetype query = m_path.indexOf(QLatin1Char('?'));
        return m_path.left(m_path.lastIndexOf(QLatin1Char('/'), query) + 1);
    }
    return m_dir.path() + QLatin1Char('/');
}

QString TestDatabase::fileName() const
{
    return onServer() ? m_path.mid(folder().size()) : QFileInfo(m_path).fileName();
}

ServerDatabase::ServerDatabase() : m_name(newServerDatabase()), m_uri(serverUri(m_name)) {}

ServerDatabase::ServerDatabase(const QString &sourceUri)
    : m_name(newServerDatabase(sourceUri.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('/'), -1))), m_uri(serverUri(m_name))
{
}

ServerDatabase::~ServerDatabase()
{
    dropServerDatabase(m_name);
}
