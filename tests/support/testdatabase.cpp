#include "support/testdatabase.h"

#include "store/recordset.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>

namespace {

// The creator hashes the operators' passwords, which is slow on purpose: each
// kind of database is created once per test program and copied for each test.
QString createdOnce(TestDatabase::Content content, const DemoSize &size)
{
    static QTemporaryDir dir;
    static QMap<QString, QString> made;
    const bool demo = content == TestDatabase::Content::Demo;
    const QString key = demo ? QStringLiteral("demo-%1-%2").arg(size.customers).arg(size.tickets) : QStringLiteral("empty");
    if (!made.contains(key)) {
        const QString path = dir.filePath(key + QStringLiteral(".db"));
        if (demo)
            DatabaseCreator::createDemo(path, size);
        else
            DatabaseCreator::create(path);
        made.insert(key, path);
    }
    return made.value(key);
}

} // namespace

TestDatabase::TestDatabase(Content content, const DemoSize &size)
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path() + QStringLiteral("/settings"));
    m_path = m_dir.path() + QStringLiteral("/kvora.db");
    if (!QFile::copy(createdOnce(content, size), m_path))
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("cannot copy the test database to ") + m_path);
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
