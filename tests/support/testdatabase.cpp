#include "support/testdatabase.h"

#include "store/datafiles.h"
#include "store/passwordhash.h"
#include "store/recordset.h"
#include "store/schemafacts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QUuid>
#include <libpq-fe.h>

namespace {

QString key(TestDatabase::Content content, const DemoSize &size)
{
    return content == TestDatabase::Content::Demo ? QStringLiteral("demo_%1_%2").arg(size.customers).arg(size.tickets)
                                                  : QStringLiteral("empty");
}

void create(const QString &location, TestDatabase::Content content, const DemoSize &size)
{
    if (content == TestDatabase::Content::Demo)
        DatabaseCreator::createDemo(location, size);
    else
        DatabaseCreator::create(location);
}

// The creator hashes the operators' passwords, which is slow on purpose: each
// kind of database is created once per test program and copied for each test.
QString createdOnce(TestDatabase::Content content, const DemoSize &size)
{
    static QTemporaryDir dir;
    static QMap<QString, QString> made;
    const QString name = key(content, size);
    if (!made.contains(name)) {
        const QString path = dir.filePath(name + QStringLiteral(".db"));
        create(path, content, size);
        made.insert(name, path);
    }
    return made.value(name);
}

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

// Archives on the server. Each kind is made once by the creation code and
// copied by the server for each test; an empty one a test is done with is
// emptied and given its seed rows again for the next (a database is slow to
// make on a busy machine, a reset is not).
class ServerArchives
{
public:
    QString take(TestDatabase::Content content, const DemoSize &size)
    {
        if (content == TestDatabase::Content::Empty) {
            while (!m_idle.isEmpty()) {
                const QString name = m_idle.takeLast();
                try {
                    reset(serverUri(name));
                    return name;
                } catch (const DbException &) {
                    // Something of the last test still holds it: a new one will do.
                    dropServerDatabase(name);
                }
            }
        }
        const QString kind = key(content, size);
        if (!m_templates.contains(kind)) {
            const QString name = newServerDatabase();
            create(serverUri(name), content, size);
            m_templates.insert(kind, name);
        }
        return newServerDatabase(m_templates.value(kind));
    }
    void giveBack(const QString &name) { m_idle << name; }
    ~ServerArchives()
    {
        for (const QString &name : std::as_const(m_idle))
            dropServerDatabase(name);
        for (const QString &name : std::as_const(m_templates))
            dropServerDatabase(name);
    }

private:
    void reset(const QString &uri)
    {
        Connection c;
        c.openLocation(uri);
        c.setBusyTimeout(500);
        c.begin();
        c.executeScript(QStringLiteral("TRUNCATE ") + SchemaFacts::delivered().tables().join(QLatin1Char(','))
                        + QStringLiteral(" RESTART IDENTITY"));
        c.executeScript(dataFileText(QStringLiteral("seed.sql")));
        // As the creator keeps them; a password's hash is made once per test program.
        Statement rows = c.prepare(QStringLiteral("select czy_no, czy_pass from czyzd"));
        QList<QPair<qint64, QString>> clear;
        while (rows.next())
            clear.append({rows.value(0).toLongLong(), rows.value(1).toString()});
        for (const auto &[number, password] : clear) {
            if (!m_hashes.contains(password))
                m_hashes.insert(password, PasswordHash::make(password));
            c.execute(QStringLiteral("update czyzd set czy_pass=? where czy_no=?"), {m_hashes.value(password), number});
        }
        c.commit();
    }

    QStringList m_idle;
    QMap<QString, QString> m_templates;
    QMap<QString, QString> m_hashes;
};

ServerArchives &serverArchives()
{
    static ServerArchives archives;
    return archives;
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
    if (onServer()) {
        m_serverName = serverArchives().take(content, size);
        m_reusable = content == Content::Empty;
        m_path = serverUri(m_serverName);
    } else {
        m_path = m_dir.path() + QStringLiteral("/kvora.db");
        if (!QFile::copy(createdOnce(content, size), m_path))
            throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("cannot copy the test database to ") + m_path);
    }
    m_connection.open(Connection::connectionText(folder(), fileName()));
}

TestDatabase::~TestDatabase()
{
    m_connection.close();
    if (m_reusable)
        serverArchives().giveBack(m_serverName);
    else if (!m_serverName.isEmpty())
        dropServerDatabase(m_serverName);
}

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

QVariant TestDatabase::scalar(const QString &sql)
{
    Recordset rs;
    rs.open(sql, &m_connection);
    if (rs.recordCount() == 0)
        return {};
    return rs.value(0);
}

int TestDatabase::count(const QString &tableAndCondition)
{
    return scalar(QStringLiteral("select count(*) from ") + tableAndCondition).toInt();
}

ServerDatabase::ServerDatabase() : m_name(newServerDatabase()), m_uri(serverUri(m_name)) {}

ServerDatabase::ServerDatabase(const ServerDatabase *source)
    : m_name(newServerDatabase(source->m_name)), m_uri(serverUri(m_name))
{
}

ServerDatabase::~ServerDatabase()
{
    dropServerDatabase(m_name);
}
