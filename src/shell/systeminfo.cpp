#include "shell/systeminfo.h"

#include "store/connection.h"
#include "ui/messagebox.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QSysInfo>

namespace {

// The main tables, as an agency knows them.
const QList<std::pair<const char *, const char *>> kTables = {
    {"hyda", "客户档案"},          {"hyxc", "机票行程"},     {"jifenallow", "积分清除记录"},
    {"hyxczhuanrang", "积分转让记录"}, {"czyzd", "操作员"}, {"czyrz", "操作员日志"}};

QString bytes(qint64 size)
{
    return QStringLiteral("%1 字节（%2）").arg(size).arg(QLocale(QLocale::Chinese).formattedDataSize(size));
}

} // namespace

QStringList SystemInfo::report(Connection &connection)
{
    QStringList lines;
    lines << QStringLiteral("程序: %1 %2").arg(Msg::programTitle(), QStringLiteral(TORVANE_VERSION))
          << QStringLiteral("Qt: %1（编译时 %2）").arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR))
          << QStringLiteral("操作系统: %1").arg(QSysInfo::prettyProductName());
    if (!connection.isOpen())
        return lines << QStringLiteral("数据库: 未打开");
    const QString location = connection.isServer() ? Connection::shownLocation(connection.location())
                                                   : QDir::cleanPath(connection.location());
    if (connection.isServer()) {
        lines << QStringLiteral("数据库引擎: PostgreSQL %1")
                     .arg(connection.scalar(QStringLiteral("select current_setting('server_version')")).toString())
              << QStringLiteral("数据位置: %1").arg(location)
              << QStringLiteral("数据库大小: %1")
                     .arg(bytes(connection.scalar(QStringLiteral("select pg_database_size(current_database())")).toLongLong()));
    } else {
        lines << QStringLiteral("数据库引擎: SQLite %1").arg(connection.scalar(QStringLiteral("select sqlite_version()")).toString())
              << QStringLiteral("数据位置: %1").arg(location)
              // The size from the file system; the file itself is the engine's alone.
              << QStringLiteral("文件大小: %1").arg(bytes(QFileInfo(location).size()))
              << QStringLiteral("日志文件(-wal)大小: %1").arg(bytes(QFileInfo(location + QStringLiteral("-wal")).size()));
    }
    for (const auto &[table, name] : kTables)
        lines << QStringLiteral("%1 (%2): %3 行")
                     .arg(QString::fromUtf8(name), QLatin1String(table))
                     .arg(connection.scalar(QStringLiteral("select count(*) from ") + QLatin1String(table)).toLongLong());
    return lines;
}

QString SystemInfo::settingsFile()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, Msg::programTitle()).fileName();
}

QString SystemInfo::supportText(const QString &settingsFile)
{
    return QStringLiteral("设置文件: %1\n"
                          "（数据库位置在 [main_path] 节的 path 和 data 两项；删除此文件，下次启动会重新选择数据库。）\n\n"
                          "支持日志: 程序的警告与出错原因写在标准错误输出。从终端启动时显示在终端；"
                          "从桌面菜单启动时记入系统日志（journalctl --user 或 ~/.xsession-errors）。\n\n"
                          "记录程序执行的每条 SQL 语句及其耗时（口令不会写入）：在终端中这样启动程序\n"
                          "QT_LOGGING_RULES=\"torvane.sql=true\" torvane 2> sql.log\n"
                          "然后重复出问题的操作，把 sql.log 和 帮助 › 关于 › 系统信息 的内容一起交给技术支持人员。")
        .arg(settingsFile);
}
