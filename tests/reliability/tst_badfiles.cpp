// Database files the program may be handed or left with: not a database,
// another program's, cut short, one deleted, moved or replaced while open.
// Each ends in a DbException whose description the operator can act on, never
// in a crash, and never damages what was committed.
#include "store/backup.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <optional>
#include <sqlite3.h>

namespace {

// The failure a call ends in, printed as the operator would read it. Anything
// thrown but a DbException escapes to the test and fails it.
template <class F> std::optional<DbError> failureOf(F &&call)
{
    try {
        call();
    } catch (const DbException &e) {
        qInfo("%d %s", int(e.number()), qPrintable(e.description()));
        return e.error();
    }
    return std::nullopt;
}

// A message the operator can act on: the engine's failure number and a
// description naming what is wrong, in Chinese (nothing but the quoted file names in Latin letters).
bool clear(const std::optional<DbError> &error, const QString &naming = QString())
{
    return error && error->number == DbErrorCode::GeneralFailure && !error->description.trimmed().isEmpty()
           && error->description.contains(naming, Qt::CaseInsensitive)
           && !QString(error->description).remove(QRegularExpression("“[^”]*”")).contains(QRegularExpression("[A-Za-z]"));
}
const QString kGone = QStringLiteral("删除或移走");

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class BadFilesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_demo = m_dir.filePath(QStringLiteral("demo.db"));
        DatabaseCreator::createDemo(m_demo, DemoSize{40, 400});
    }

    void refusedAtOpen_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // "dir": a folder; "sql:...": another program's SQLite file so made
        QTest::addColumn<bool>("foreign");     // a database, but not ours
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        QRandomGenerator(4711).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("folder") << QByteArray("dir") << false;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("random after a SQLite header") << QByteArray("SQLite format 3\0", 16) + noise << false;
        QTest::newRow("other program, WAL") << QByteArray("sql:PRAGMA application_id=0; PRAGMA journal_mode=WAL") << true;
        QTest::newRow("other application id") << QByteArray("sql:PRAGMA application_id=1297109578") << true;
    }

    void refusedAtOpen()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, foreign);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        if (bytes == "dir") {
            QVERIFY(QDir().mkdir(path));
        } else if (bytes.startsWith("sql:")) {
            sqlite3 *db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, (bytes.mid(4) + "; CREATE TABLE hyda(kh TEXT, xm TEXT); INSERT INTO hyda VALUES('A1','x');").constData(),
                                  nullptr, nullptr, nullptr), SQLITE_OK);
            QCOMPARE(sqlite3_close(db), SQLITE_OK);
        } else if (!bytes.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
        const QByteArray before = bytesOf(path);
        Connection c;
        const auto opened = failureOf([&] { c.openLocation(path); });
        QVERIFY(clear(opened, path));
        QVERIFY(!foreign || opened->description.contains(QStringLiteral("不是本系统的数据库")));
        QVERIFY(!c.isOpen());
        QCOMPARE(bytesOf(path), before);
        QCOMPARE(QFile::exists(path), !bytes.isNull());
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    }

    void deletedWhileOpen_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"deleted", "moved", "replaced"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }

    void deletedWhileOpen()
    {
        QFETCH(QString, how);
        const QString name = how + QStringLiteral(".db"), path = freshCopy(name), movedTo = path + QStringLiteral(".moved");
        Connection c;
        c.openLocation(path);
        const QVariant tickets = c.scalar(QStringLiteral("select count(*) from hyxc"));
        if (how == QLatin1String("moved"))
            QVERIFY(QFile::rename(path, movedTo));
        else
            QVERIFY(QFile::remove(path) && (how == QLatin1String("deleted") || QFile::copy(m_demo, path)));

        const auto wrote = failureOf([&] {
            TransactionGuard transaction(c);
            c.execute(QStringLiteral("insert into hyxc(kh, piaohao) values('DEL1', 'DEL-1')"));
            transaction.commit();
        });
        QVERIFY(clear(wrote, kGone) && wrote->description.contains(name));
        QVERIFY(clear(failureOf([&] { c.execute(QStringLiteral("delete from hyxc")); }), kGone));
        QVERIFY(!c.inTransaction());
        const QString target = path + QStringLiteral(".bak");
        const auto backedUp = failureOf([&] { backupDatabase(c, target); });
        QVERIFY(how == QLatin1String("replaced") ? !backedUp : clear(backedUp) && !QFile::exists(target));
        c.close();
        // Whatever now holds the data has none of the refused writes, and is sound.
        if (how != QLatin1String("deleted")) {
            Connection after;
            after.openLocation(how == QLatin1String("moved") ? movedTo : path);
            QCOMPARE(after.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
            QCOMPARE(after.scalar(QStringLiteral("select count(*) from hyxc")), tickets);
        }
    }

    void damagedWhileOpen()
    {
        const QString path = freshCopy(QStringLiteral("damaged.db"));
        Connection c;
        c.openLocation(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(8192));
        file.write(QByteArray(file.size() - 8192, '\x55'));
        file.close();
        QVERIFY(clear(failureOf([&] { c.scalar(QStringLiteral("select sum(length(kh)) from hyxc")); }), QStringLiteral("已损坏")));
    }

private:
    QString freshCopy(const QString &name);
    QTemporaryDir m_dir;
    QString m_demo;
};

QString BadFilesTest::freshCopy(const QString &name)
{
    const QString path = m_dir.filePath(name);
    if (!QFile::copy(m_demo, path))
        qFatal("cannot copy the demo archive to %s", qPrintable(path));
    return path;
}

// Nothing is read or written in a file that is not our database, nothing is made beside it.
// The file is deleted, moved away or replaced under the program. Every save
// fails saying so rather than go into a file nobody will open again; a backup
// of a file that is gone says so instead of copying nothing.
// Pages damaged under the program (a failing disk): reading them says so.
QTEST_MAIN(BadFilesTest)
#include "tst_badfiles.moc"
