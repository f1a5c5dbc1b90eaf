#include "shell/modulback.h"

#include "store/backup.h"
#include "store/connection.h"
#include "ui/busycursor.h"
#include "ui/messagebox.h"

#include <QDir>

QString Modulback::backupPathFor(const QString &location)
{
    return ::backupPathFor(location);
}

void Modulback::data_backup(Connection &connection)
{
    const QString target = ::backupPathFor(connection.location());
    try {
        BusyCursor busy;
        backupDatabase(connection, target);
    } catch (const DbException &e) {
        Msg::stop(QStringLiteral("数据备份失败: ") + e.description());
        return;
    }
    // Where the file went, so the operator can copy it off the PC.
    Msg::information(QStringLiteral("数据备份完成!\n备份文件: %1").arg(QDir::toNativeSeparators(target)));
}
