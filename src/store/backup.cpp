#include "store/backup.h"

#include "store/connection.h"
#include "store/engine.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

void backupDatabase(Connection &connection, const QString &target)
{
    if (!connection.isOpen())
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("数据库未打开"));
    connection.engine().copyToFile(target);
}

QString backupPathFor(const QString &location)
{
    if (Engine::isServerLocation(location)) {
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
