#include "store/databasecreator.h"

#include "store/connection.h"
#include "store/demodata.h"

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

void exec(sqlite3 *db, const QString &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : "");
        sqlite3_free(message);
        throw DbException(DbErrorCode::GeneralFailure, text);
    }
}

void build(const QString &path, const DemoSize *demo, quint64 seed)
{
    if (QFileInfo::exists(path))
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("文件“%1”已存在，不覆盖").arg(path));
    const QString temp = path + QStringLiteral(".part");
    QFile::remove(temp);

    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(temp).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString why = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        sqlite3_close(db);
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("无法创建文件“%1”: %2").arg(path, why));
    }
    try {
        exec(db, QStringLiteral("PRAGMA page_size=8192; PRAGMA application_id=%1;").arg(kTorvaneApplicationId));
        exec(db, QStringLiteral("BEGIN"));
        exec(db, resourceText(QStringLiteral("schema.sql")));
        exec(db, resourceText(QStringLiteral("seed.sql")));
        if (demo)
            DemoData::generate(db, *demo, seed);
        exec(db, QStringLiteral("COMMIT"));
        exec(db, QStringLiteral("ANALYZE; PRAGMA journal_mode=WAL;"));
        sqlite3_close(db);
        db = nullptr;
    } catch (...) {
        sqlite3_close(db);
        QFile::remove(temp);
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

void DatabaseCreator::createDemo(const QString &path, const DemoSize &size, quint64 seed)
{
    build(path, &size, seed);
}
