#include "store/backup.h"

#include "store/connection.h"

#include <QFile>
#include <cstdio>
#include <sqlite3.h>

namespace {

[[noreturn]] void fail(const QString &text)
{
    throw DbException(DbErrorCode::GeneralFailure, text);
}

} // namespace

void backupDatabase(Connection &connection, const QString &target)
{
    if (!connection.isOpen())
        fail(QStringLiteral("数据库未打开"));
    const QString temp = target + QStringLiteral(".part");
    QFile::remove(temp);

    // A connection of its own reads only committed rows, whatever the shared
    // connection has pending.
    sqlite3 *source = nullptr;
    sqlite3 *dest = nullptr;
    auto closeBoth = [&] {
        sqlite3_close(dest);
        sqlite3_close(source);
    };
    if (sqlite3_open_v2(QFile::encodeName(connection.filePath()).constData(), &source, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        const QString why = source ? QString::fromUtf8(sqlite3_errmsg(source)) : QString();
        closeBoth();
        fail(QStringLiteral("无法读取数据库: ") + why);
    }
    sqlite3_busy_timeout(source, 5000);
    if (sqlite3_open_v2(QFile::encodeName(temp).constData(), &dest, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString why = dest ? QString::fromUtf8(sqlite3_errmsg(dest)) : QString();
        closeBoth();
        QFile::remove(temp);
        fail(QStringLiteral("无法写入备份文件“%1”: %2").arg(temp, why));
    }
    sqlite3_backup *backup = sqlite3_backup_init(dest, "main", source, "main");
    if (!backup) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(dest));
        closeBoth();
        QFile::remove(temp);
        fail(QStringLiteral("备份失败: ") + why);
    }
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    QString why = QString::fromUtf8(sqlite3_errmsg(dest));
    // The copy is a plain file of its own, readable without its journal.
    if (rc == SQLITE_DONE)
        sqlite3_exec(dest, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    closeBoth();
    if (rc != SQLITE_DONE) {
        QFile::remove(temp);
        fail(QStringLiteral("备份失败: ") + why);
    }
    // rename() replaces the old backup in one step: there is always a whole one.
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(temp);
        fail(QStringLiteral("无法写入备份文件“%1”").arg(target));
    }
}
