#include "store/datafiles.h"

#include "store/dberror.h"

#include <QFile>

// The data files are compiled into this static library; make sure they are linked in.
static void initDataResources()
{
    Q_INIT_RESOURCE(data);
}

QString dataFileText(const QString &name)
{
    initDataResources();
    QFile file(QStringLiteral(":/data/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("缺少数据文件 %1").arg(name));
    return QString::fromUtf8(file.readAll());
}
