#include "shell/modulback.h"

#include "store/backup.h"
#include "store/connection.h"
#include "ui/busycursor.h"
#include "ui/messagebox.h"

QString Modulback::backupPathFor(const QString &location)
{
    return ::backupPathFor(location);
}

void Modulback::data_backup(Connection &connection)
{
    try {
        BusyCursor busy;
        backupDatabase(connection, ::backupPathFor(connection.location()));
    } catch (const DbException &e) {
        Msg::stop(QStringLiteral("数据备份失败: ") + e.description());
        return;
    }
    Msg::show(QStringLiteral("数据备份完成!"), Msg::Icon::Question);
}
