#include "support/testdatabase.h"

#include "store/recordset.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

TestDatabase::TestDatabase(Content content, const DemoSize &size)
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path() + QStringLiteral("/settings"));
    m_path = m_dir.path() + QStringLiteral("/kvora.db");
    if (content == Content::Demo)
        DatabaseCreator::createDemo(m_path, size);
    else
        DatabaseCreator::create(m_path);
    m_connection.open(Connection::connectionText(folder(), fileName()));
}

QString TestDatabase::folder() const
{
    return m_dir.path() + QLatin1Char('/');
}

QString TestDatabase::fileName() const
{
    return QFileInfo(m_path).fileName();
}

QVariant TestDatabase::scalar(const QString &sql)
{
    Recordset rs;
    rs.open(sql, &m_connection);
    if (rs.recordCount() == 0)
        return {};
    return rs.value(0);
}

int TestDatabase::count(const QString &tableAndCondition)
{
    return scalar(QStringLiteral("select count(*) from ") + tableAndCondition).toInt();
}
