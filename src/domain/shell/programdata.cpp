#include "domain/shell/programdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString programDataFile(const QString &name)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(programFolder + QStringLiteral("/" TORVANE_DATA_FROM_BIN "/") + name);
    if (QFileInfo::exists(installed))
        return installed;
    return programFolder + QLatin1Char('/') + name;
}

QString programPicturePath()
{
    return programDataFile(QStringLiteral("backroca.svg"));
}
