// Moving a whole archive between a file and the server (--copy-database), and
// the backup of a server archive: everything comes across, in its order, or
// nothing does.
#include "store/archivecopy.h"
#include "store/archiverestore.h"
#include "store/backup.h"
#include "store/engine.h"
#include "store/recordset.h"
#include "store/schemafacts.h"
#include "support/testdatabase.h"

#include <QFile>
#include <QTest>

namespace {

// Every row of every table as text, in the order it was written.
QStringList dumpOf(Connection &c)
{
    QStringList dump;
    for (const QString &table : SchemaFacts::delivered().tables()) {
        const bool kept = table.startsWith(QLatin1String("SUM"));
        Recordset rs;
        rs.open(QStringLiteral("select * from %1 order by %2").arg(table, kept ? QStringLiteral("1,2,3") : QStringLiteral("rowid")), &c);
        for (int row = 0; row < rs.recordCount(); ++row) {
            QStringList cells;
            for (int col = 0; col < rs.fieldCount(); ++col)
                cells << rs.valueAt(row, col).toString();
            dump << table + QLatin1Char('|') + cells.join(QLatin1Char('|'));
        }
    }
    return dump;
}

QStringList dumpOf(const QString &location)
{
    Connection c;
    c.openLocation(location);
    return dumpOf(c);
}

} // namespace

class TestArchiveCopy : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fileToServerAndBack();
    void failedCopyLeavesNothing_data();
    void failedCopyLeavesNothing();
    void serverBackupIsAnArchiveFile();
    void restoreOntoAServer();

private:
    QTemporaryDir m_dir;
    QString m_demo;
};

void TestArchiveCopy::initTestCase()
{
    m_demo = m_dir.path() + QStringLiteral("/demo.db");
    DatabaseCreator::createDemo(m_demo, DemoSize{30, 600});
}

void TestArchiveCopy::fileToServerAndBack()
{
    ServerDatabase server;
    const QString back = m_dir.path() + QStringLiteral("/back.db");
    const QStringList report = ArchiveCopy::copy(m_demo, server.uri());
    QVERIFY(report.contains(QStringLiteral("hyxc\t600")));
    QVERIFY(report.contains(QStringLiteral("hyda\t30")));
    ArchiveCopy::copy(server.uri(), back);

    const QStringList original = dumpOf(m_demo);
    QVERIFY(original.size() > 600);
    QCOMPARE(dumpOf(server.uri()), original);
    QCOMPARE(dumpOf(back), original);

    // Numbers once handed out are never handed out again on either side.
    for (const QString &location : {server.uri(), back}) {
        Connection c;
        c.openLocation(location);
        Connection source;
        source.openLocation(m_demo);
        QCOMPARE(c.engine().counterValue(QStringLiteral("hyxc")), source.engine().counterValue(QStringLiteral("hyxc")));
        c.execute(QStringLiteral("insert into hyda (kh, xm) values ('NEW1', '新')"));
        QCOMPARE(c.scalar(QStringLiteral("select id from hyda where kh='NEW1'")).toLongLong(), 31);
    }
}

void TestArchiveCopy::failedCopyLeavesNothing_data()
{
    QTest::addColumn<bool>("toServer");
    QTest::newRow("file to server") << true;
    QTest::newRow("server to file") << false;
}

void TestArchiveCopy::failedCopyLeavesNothing()
{
    QFETCH(bool, toServer);
    ServerDatabase server;
    QString from = m_dir.path() + QStringLiteral("/nul.db");
    QString to = server.uri();
    if (toServer) {
        // A file may keep a NUL in a text, the server cannot: the copy stops at that row.
        QFile::remove(from);
        DatabaseCreator::createDemo(from, DemoSize{10, 100});
        Connection c;
        c.openLocation(from);
        c.execute(QStringLiteral("update hyxc set bz='a'||char(0)||'b' where id=77"));
    } else {
        // The server archive goes to a folder that is not there.
        DatabaseCreator::createDemo(to, DemoSize{10, 100});
        from = to;
        to = m_dir.path() + QStringLiteral("/nosuchfolder/copy.db");
    }
    try {
        ArchiveCopy::copy(from, to);
        QFAIL("the copy succeeded");
    } catch (const DbException &e) {
        QVERIFY2(!toServer || (e.description().contains(QStringLiteral("hyxc")) && e.description().contains(QStringLiteral("NUL"))),
                 qPrintable(e.description()));
    }
    if (toServer) {
        // Still an empty database: it can take the copy once the row is mended.
        Connection c;
        c.openLocation(from);
        c.execute(QStringLiteral("update hyxc set bz='ab' where id=77"));
        ArchiveCopy::copy(from, to);
        QCOMPARE(dumpOf(to), dumpOf(from));
    } else {
        QVERIFY(!QFile::exists(to));
        QVERIFY(!QFile::exists(to + QStringLiteral(".part")));
    }
}

void TestArchiveCopy::serverBackupIsAnArchiveFile()
{
    // A database file of ours, whole, holding what the server holds; it opens as any archive does.
    ServerDatabase server;
    DatabaseCreator::createDemo(server.uri(), DemoSize{20, 300});
    const QString backup = m_dir.path() + QStringLiteral("/kvora.bak");
    Connection c;
    c.openLocation(server.uri());
    backupDatabase(c, backup);
    QCOMPARE(dumpOf(backup), dumpOf(c));
    QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));
}

void TestArchiveCopy::restoreOntoAServer()
{
    // A backup goes back into the server database in one transaction; what was
    // there is kept as a file first. A bad backup changes nothing.
    ServerDatabase server;
    DatabaseCreator::createDemo(server.uri(), DemoSize{10, 50});
    Connection c;
    c.openLocation(server.uri());
    QVERIFY_THROWS_EXCEPTION(DbException, ArchiveRestore::restore(c, m_dir.path() + QStringLiteral("/nothing.bak")));
    const QStringList before = dumpOf(c);
    const QString kept = ArchiveRestore::restore(c, m_demo);
    QCOMPARE(dumpOf(c), dumpOf(m_demo));
    QCOMPARE(dumpOf(kept), before);
    QFile::remove(kept);
}

QTEST_GUILESS_MAIN(TestArchiveCopy)
#include "tst_archivecopy.moc"
