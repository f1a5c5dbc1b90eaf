#include "store/archiverestore.h"

#include "store/archivecopy.h"
#include "store/backup.h"
#include "store/connection.h"
#include "store/databasecreator.h"
#include "store/engine.h"
#include "store/schemaupgrade.h"
#include "store/sqlitereason.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <sqlite3.h>

// The schema script is compiled into this static library; make sure it is linked in.
static void initRestoreResources()
{
    Q_INIT_RESOURCE(data);
}

namespace {

[[noreturn]] void refuse(const QString &text)
{
    throw DbException(DbErrorCode::GeneralFailure, text);
}

// One SQLite handle, closed on every path.
class Handle
{
public:
    Handle(const QString &path, int flags) : m_path(path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) != SQLITE_OK) {
            const QString why = SqliteReason::of(m_db, path);
            sqlite3_close(m_db);
            m_db = nullptr;
            refuse(QStringLiteral("无法打开文件“%1”: %2").arg(path, why));
        }
        sqlite3_extended_result_codes(m_db, 1);
    }
    ~Handle() { sqlite3_close(m_db); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    sqlite3 *db() const { return m_db; }
    // Why the last call failed, in Chinese (the engine's words go to the log).
    QString error() const { return SqliteReason::of(m_db, m_path); }
    int code() const { return sqlite3_errcode(m_db); }

    // Every row of the first column; nothing when the statement fails (`failed` says so).
    QStringList column(const char *sql, bool *failed = nullptr) const
    {
        QStringList values;
        sqlite3_stmt *stmt = nullptr;
        int rc = sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr);
        if (rc == SQLITE_OK)
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
                values << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        if (failed)
            *failed = rc != SQLITE_DONE;
        return values;
    }

private:
    QString m_path;
    sqlite3 *m_db = nullptr;
};

// "table t", "view v", "trigger g" and "column t.c" for every object a schema has, lower case.
QSet<QString> schemaObjects(const Handle &db)
{
    QSet<QString> objects;
    for (const QString &entry : db.column("select type || ' ' || lower(name) from sqlite_schema "
                                          "where type in ('table','view','trigger') and name not like 'sqlite%'"))
        objects << entry;
    for (const QString &column : db.column("select lower(m.name) || '.' || lower(p.name) from sqlite_schema m, "
                                           "pragma_table_info(m.name) p where m.type='table' and m.name not like 'sqlite%'"))
        objects << QStringLiteral("column ") + column;
    return objects;
}

// What this program's own schema script makes.
QSet<QString> ourSchema()
{
    initRestoreResources();
    QFile script(QStringLiteral(":/data/schema.sql"));
    if (!script.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("缺少数据文件 schema.sql"));
    Handle memory(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (sqlite3_exec(memory.db(), script.readAll().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        refuse(QStringLiteral("数据结构脚本有误: ") + memory.error());
    return schemaObjects(memory);
}

// The checks of checkBackup on an open handle, inside the read transaction the copy is taken in.
void check(const Handle &backup, const QString &path)
{
    bool failed = false;
    const QStringList header = backup.column("PRAGMA application_id", &failed);
    if (failed) {
        const QString why = backup.error();
        const int code = backup.code() & 0xff;
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
            refuse(QStringLiteral("文件“%1”不是数据库或已损坏").arg(path));
        refuse(QStringLiteral("无法读取文件“%1”: %2").arg(path, why));
    }
    if (header.value(0).toInt() != kTorvaneApplicationId)
        refuse(QStringLiteral("文件“%1”不是本系统的数据库").arg(path));
    const QStringList problems = backup.column("PRAGMA integrity_check(5)", &failed);
    if (failed || problems != QStringList{QStringLiteral("ok")}) {
        // What the check found is for the support log; the operator needs another backup.
        if (failed)
            backup.error();
        else
            qWarning("%s: integrity check: %s", qUtf8Printable(path), qUtf8Printable(problems.join(QStringLiteral("; "))));
        refuse(QStringLiteral("备份文件“%1”已损坏，不能用来恢复").arg(path));
    }
    const int version = backup.column("PRAGMA user_version").value(0).toInt();
    if (version > kTorvaneSchemaVersion)
        refuse(QStringLiteral("备份文件“%1”来自较新版本的程序（数据结构第 %2 版，本程序只认识到第 %3 版）")
                   .arg(path)
                   .arg(version)
                   .arg(kTorvaneSchemaVersion));
    const QSet<QString> present = schemaObjects(backup);
    for (const QString &object : ourSchema())
        if (!present.contains(object) && !SchemaUpgrade::addedOnOpen(object))
            refuse(QStringLiteral("备份文件“%1”的数据结构不是本程序的：缺少 %2").arg(path, object));
}

// A kept copy from an earlier restore is the only copy of what was there then.
void moveAsideEarlierCopy(const QString &kept)
{
    if (!QFileInfo::exists(kept))
        return;
    const QString stamp = QFileInfo(kept).lastModified().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = kept + QLatin1Char('-') + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = kept + QLatin1Char('-') + stamp + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(kept, aside))
        refuse(QStringLiteral("无法保留上次恢复前的数据“%1”").arg(kept));
}

} // namespace

QString ArchiveRestore::keptPathFor(const QString &databasePath)
{
    // A server archive is kept where its backups go, as a file.
    if (Engine::isServerLocation(databasePath)) {
        QString kept = backupPathFor(databasePath);
        kept.chop(4); // ".bak"
        return kept + QStringLiteral(".before-restore");
    }
    return QDir::cleanPath(databasePath) + QStringLiteral(".before-restore");
}

void ArchiveRestore::checkBackup(const QString &backup)
{
    Handle source(backup, SQLITE_OPEN_READONLY);
    check(source, backup);
}

QString ArchiveRestore::restore(Connection &connection, const QString &backup)
{
    if (!connection.isOpen())
        refuse(QStringLiteral("数据库未打开"));
    const QString archive = connection.location();
    if (!QFileInfo(backup).isFile())
        refuse(QStringLiteral("找不到备份文件“%1”").arg(backup));
    if (connection.isServer()) {
        // The same checks; then the rows are copied into the server database
        // in one transaction, the archive as it was kept beside its backups.
        checkBackup(backup);
        const QString kept = keptPathFor(archive);
        moveAsideEarlierCopy(kept);
        backupDatabase(connection, kept);
        ArchiveCopy::replaceContent(connection, backup);
        return kept;
    }
    if (QFileInfo(backup).canonicalFilePath() == QFileInfo(archive).canonicalFilePath())
        refuse(QStringLiteral("不能用正在使用的数据库恢复它自己"));

    // What is checked is what is copied: one read transaction holds both.
    Handle source(backup, SQLITE_OPEN_READONLY);
    if (sqlite3_exec(source.db(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        refuse(QStringLiteral("无法读取备份文件“%1”: %2").arg(backup, source.error()));
    check(source, backup);

    Handle target(archive, SQLITE_OPEN_READWRITE);
    // A journal kept beside the file (WAL) cannot take pages of another size.
    const QString sourcePages = source.column("PRAGMA page_size").value(0);
    const QString targetPages = target.column("PRAGMA page_size").value(0);
    if (sourcePages != targetPages)
        refuse(QStringLiteral("备份文件“%1”的页大小（%2）与当前数据库（%3）不同，不能恢复").arg(backup, sourcePages, targetPages));

    const QString kept = keptPathFor(archive);
    moveAsideEarlierCopy(kept);
    backupDatabase(connection, kept);

    // The engine's own copy writes every page in one write transaction: a
    // failure or a crash half-way leaves the archive as it was.
    sqlite3_busy_timeout(target.db(), Connection::defaultBusyTimeout());
    sqlite3_backup *copy = sqlite3_backup_init(target.db(), "main", source.db(), "main");
    if (!copy)
        refuse(QStringLiteral("恢复失败: ") + target.error());
    const int rc = sqlite3_backup_step(copy, -1);
    sqlite3_backup_finish(copy);
    if (rc != SQLITE_DONE) {
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
            throw DbException::busy();
        refuse(QStringLiteral("恢复失败: ") + target.error());
    }
    return kept;
}
