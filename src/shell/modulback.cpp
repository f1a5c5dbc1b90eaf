#include "shell/modulback.h"

#include "store/backup.h"
#include "store/connection.h"
#include "ui/busycursor.h"
#include "ui/messagebox.h"

#include <QDir>
#include <QRegularExpression>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

QString Modulback::backupPathFor(const QString &location)
{
    if (Connection::isServerLocation(location)) {
        // postgresql://user@host/kvora?... -> <data folder>/kvora.bak
        const qsizetype query = location.indexOf(QLatin1Char('?'));
        const QString path = location.left(query < 0 ? location.size() : query);
        const qsizetype authority = path.indexOf(QLatin1String("://")) + 3;
        const qsizetype slash = path.indexOf(QLatin1Char('/'), authority);
        QString name = slash < 0 ? QString() : QUrl::fromPercentEncoding(path.mid(slash + 1).toUtf8());
        name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(folder);
        return folder + QLatin1Char('/') + (name.isEmpty() ? QStringLiteral("kvora") : name) + QStringLiteral(".bak");
    }
    const QFileInfo info(location);
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
