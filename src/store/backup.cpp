#include "store/backup.h"

#include "store/connection.h"
#include "store/engine.h"

void backupDatabase(Connection &connection, const QString &target)
{
    if (!connection.isOpen())
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("数据库未打开"));
    connection.engine().copyToFile(target);
}
