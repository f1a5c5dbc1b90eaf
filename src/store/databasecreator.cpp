#include "store/databasecreator.h"

#include "store/connection.h"
#include "store/demodata.h"
#include "store/passwordhash.h"
#include "store/privatefile.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

// The schema files are compiled into this static library; make sure they are linked in.
static void initDataResources()
{
    Q_INIT_RESOURCE(data);
}

namespace {

QString resourceText(const QString &name)
{
    initDataResources();
    QFile file(QStringLiteral(":/data/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("缺少数据文件 %1").arg(name));
    return QString::fromUtf8(file.readAll());
}

// A new empty file carrying our application id, made by the engine directly:
// the connection opens only files that carry it.
void createMarkedFile(const QString &path)
{
    PrivateFile::create(path);
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr)
        != SQLITE_OK) {
        const QString why = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
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
    const QString why = QString::fromUtf8(message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("无法创建文件“%1”: %2").arg(path, why));
}

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

void build(const QString &path, const DemoSize *demo, quint64 seed, const QString *adminPassword = nullptr)
{
    if (QFileInfo::exists(path))
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("文件“%1”已存在，不覆盖").arg(path));
    const QString temp = path + QStringLiteral(".part");
    auto removeTemp = [&temp] {
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(temp + QLatin1String(suffix));
    };
    removeTemp();
    try {
        createMarkedFile(temp);
        Connection connection;
        connection.openLocation(temp);
        connection.begin();
        connection.executeScript(resourceText(QStringLiteral("schema.sql")));
        connection.executeScript(resourceText(QStringLiteral("seed.sql")));
        if (adminPassword
            && connection.execute(QStringLiteral("UPDATE czyzd SET czy_pass = ? WHERE czy_name = 'admin'"),
                                  {*adminPassword})
                   != 1)
            throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("缺少操作员 admin"));
        hashSeedPasswords(connection);
        if (demo)
            DemoData::generate(connection, *demo, seed);
        connection.commit();
        connection.executeScript(QStringLiteral("ANALYZE"));
        // Closing folds the journal into the file, which is then whole on its own.
    } catch (...) {
        removeTemp();
        throw;
    }
    QFile::remove(temp + QStringLiteral("-wal"));
    QFile::remove(temp + QStringLiteral("-shm"));
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("无法写入文件“%1”").arg(path));
    }
}

} // namespace

void DatabaseCreator::create(const QString &path)
{
    build(path, nullptr, 0);
}

void DatabaseCreator::create(const QString &path, const QString &adminPassword)
{
    build(path, nullptr, 0, &adminPassword);
}

void DatabaseCreator::createDemo(const QString &path, const DemoSize &size, quint64 seed)
{
    build(path, &size, seed);
}
