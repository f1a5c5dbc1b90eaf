#include "store/databasecreator.h"

#include "store/connection.h"
#include "store/datafiles.h"
#include "store/demodata.h"
#include "store/engine.h"
#include "store/passwordhash.h"
#include "store/pgengine.h"
#include "store/privatefile.h"
#include "store/serverroles.h"
#include "store/sqlitereason.h"
#include "store/transactionguard.h"
#include "store/wholefile.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

// The seed's operators arrive with clear passwords; they are replaced in the
// same transaction, before any page is written, and the engine wipes the
// space the clear texts took.
void hashSeedPasswords(Connection &connection)
{
    Statement rows = connection.prepare(QStringLiteral("select czy_no, czy_pass from czyzd where czy_pass is not null"));
    QList<QPair<qint64, QString>> clear;
    while (rows.next())
        clear.append({rows.value(0).toLongLong(), rows.value(1).toString()});
    for (const auto &[number, password] : clear)
        connection.execute(QStringLiteral("update czyzd set czy_pass=? where czy_no=?"),
                           {PasswordHash::make(password), number});
}

// On a server the operators' passwords are their roles': the seed's are set
// there from verifiers made here, and the archive keeps none.
void giveRolesPasswords(Connection &connection, const QString *adminPassword)
{
    Statement rows = connection.prepare(QStringLiteral("select czy_name, czy_pass from czyzd where czy_pass is not null"));
    QList<QPair<QString, QString>> clear;
    while (rows.next())
        clear.append({rows.value(0).toString(), rows.value(1).toString()});
    ServerRoles::install(connection.engine(), true);
    connection.execute(QStringLiteral("update czyzd set czy_pass=null"));
    for (const auto &[name, password] : clear)
        ServerRoles::setPassword(connection, name,
                                 adminPassword && name == QLatin1String("admin") ? *adminPassword : password);
}

void fill(Connection &connection, const DemoSize *demo, quint64 seed, const QString *adminPassword)
{
    TransactionGuard transaction(connection);
    DatabaseCreator::writeSchema(connection);
    connection.executeScript(dataFileText(QStringLiteral("seed.sql")));
    if (connection.isServer()) {
        giveRolesPasswords(connection, adminPassword);
        if (demo)
            DemoData::generate(connection, *demo, seed);
        transaction.commit();
        connection.executeScript(QStringLiteral("ANALYZE"));
        return;
    }
    if (adminPassword
        && connection.execute(QStringLiteral("UPDATE czyzd SET czy_pass = ? WHERE czy_name = 'admin'"), {*adminPassword})
               != 1)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("缺少操作员 admin"));
    hashSeedPasswords(connection);
    if (demo)
        DemoData::generate(connection, *demo, seed);
    transaction.commit();
    connection.executeScript(QStringLiteral("ANALYZE"));
}

void build(const QString &location, const DemoSize *demo, quint64 seed, const QString *adminPassword = nullptr)
{
    if (Engine::isServerLocation(location)) {
        Connection connection;
        connection.adopt(std::make_unique<PgEngine>(location, PgEngine::Purpose::Create));
        fill(connection, demo, seed, adminPassword);
        return;
    }
    if (QFileInfo::exists(location))
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("文件“%1”已存在，不覆盖").arg(location));
    writeWholeFile(location, [&](const QString &temp) {
        DatabaseCreator::createMarkedFile(temp);
        Connection connection;
        connection.openLocation(temp);
        fill(connection, demo, seed, adminPassword);
        // Closing folds the journal into the file, which is then whole on its own.
    });
}

} // namespace

void DatabaseCreator::createMarkedFile(const QString &path)
{
    PrivateFile::create(path);
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr)
        != SQLITE_OK) {
        const QString why = SqliteReason::of(db, path);
        sqlite3_close(db);
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("无法创建文件“%1”: %2").arg(path, why));
    }
    char *message = nullptr;
    const QByteArray pragmas =
        QStringLiteral("PRAGMA page_size=8192; PRAGMA application_id=%1; PRAGMA user_version=%2; PRAGMA journal_mode=WAL;")
            .arg(kTorvaneApplicationId)
            .arg(kTorvaneSchemaVersion)
            .toUtf8();
    const int rc = sqlite3_exec(db, pragmas.constData(), nullptr, nullptr, &message);
    sqlite3_free(message);
    const QString why = rc == SQLITE_OK ? QString() : SqliteReason::of(db, path);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("无法创建文件“%1”: %2").arg(path, why));
}

void DatabaseCreator::writeSchema(Connection &connection)
{
    if (!connection.isServer()) {
        connection.executeScript(dataFileText(QStringLiteral("schema.sql")));
        return;
    }
    connection.executeScript(dataFileText(QStringLiteral("schema-postgres.sql")));
    connection.executeScript(dataFileText(QStringLiteral("jet-functions-postgres.sql")));
    // The server's counterpart of the file's application id.
    connection.executeScript(QStringLiteral("CREATE FUNCTION torvane_application_id() RETURNS integer "
                                            "LANGUAGE sql IMMUTABLE AS 'SELECT %1'")
                                 .arg(kTorvaneApplicationId));
}

void DatabaseCreator::create(const QString &location)
{
    build(location, nullptr, 0);
}

void DatabaseCreator::create(const QString &location, const QString &adminPassword)
{
    build(location, nullptr, 0, &adminPassword);
}

void DatabaseCreator::createDemo(const QString &location, const DemoSize &size, quint64 seed)
{
    build(location, &size, seed);
}
