#include "store/wholefile.h"

#include "store/dberror.h"

#include <QFile>
#include <cstdio>

namespace {

void removeWithJournal(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

void writeWholeFile(const QString &target, const std::function<void(const QString &)> &write)
{
    const QString temporary = target + QStringLiteral(".part");
    removeWithJournal(temporary);
    try {
        write(temporary);
    } catch (...) {
        removeWithJournal(temporary);
        throw;
    }
    // A journal left beside the part is already folded into it once its connection closed.
    QFile::remove(temporary + QStringLiteral("-wal"));
    QFile::remove(temporary + QStringLiteral("-shm"));
    // rename() replaces the old file in one step: there is always a whole one.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0) {
        removeWithJournal(temporary);
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("无法写入文件“%1”").arg(target));
    }
}
