#include "shell/modulback.h"

#include "store/backup.h"
#include "store/connection.h"
#include "ui/busycursor.h"
#include "ui/messagebox.h"

#include <QFileInfo>

QString Modulback::backupPathFor(const QString &databasePath)
{
    const QFileInfo info(databasePath);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".bak");
}

void Modulback::data_backup(Connection &connection)
{
    try {
        BusyCursor busy;
        backupDatabase(connection, backupPathFor(connection.location()));
    } catch (const DbException &e) {
        Msg::stop(QStringLiteral("数据备份失败: ") + e.description());
        return;
    }
    Msg::show(QStringLiteral("数据备份完成!"), Msg::Icon::Question);
}
