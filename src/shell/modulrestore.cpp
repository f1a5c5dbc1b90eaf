#include "shell/modulrestore.h"

#include "store/archiverestore.h"
#include "store/connection.h"
#include "ui/busycursor.h"
#include "ui/messagebox.h"

bool Modulrestore::data_restore(Connection &connection, const QString &backup)
{
    QString kept;
    try {
        BusyCursor busy;
        kept = ArchiveRestore::restore(connection, backup);
    } catch (const DbException &e) {
        Msg::stop(QStringLiteral("数据恢复失败: ") + e.description() + QStringLiteral("\n当前数据没有改动。"));
        return false;
    }
    Msg::information(QStringLiteral("数据恢复完成! 恢复前的数据已保存为“%1”。请重新登录。").arg(kept));
    return true;
}
