#include "store/sqlitereason.h"

#include "store/dberror.h"
#include "store/sqltrace.h"

#include <sqlite3.h>

QString SqliteReason::text(int code)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        return QStringLiteral("文件不是数据库或已损坏");
    case SQLITE_CORRUPT:
        return QStringLiteral("数据库文件已损坏");
    case SQLITE_CANTOPEN:
        return QStringLiteral("文件打不开（不存在、是文件夹或无权访问）");
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH:
        return QStringLiteral("没有读写该文件的权限");
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满");
    case SQLITE_IOERR:
        return QStringLiteral("读写磁盘出错");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbMessages::busy();
    case SQLITE_TOOBIG:
        return QStringLiteral("数据过大");
    default:
        return QStringLiteral("数据库引擎出错（代码 %1）").arg(code);
    }
}

QString SqliteReason::of(sqlite3 *db, const QString &file)
{
    if (!db)
        return text(SQLITE_NOMEM);
    const int code = sqlite3_extended_errcode(db);
    qCWarning(lcSql).noquote() << file << code << sqlite3_errmsg(db);
    return text(code);
}
