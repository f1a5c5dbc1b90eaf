// The backup holds what was committed when it began and nothing uncommitted:
// not while another seat commits ticket pairs without pause, not the
// program's own pending change, not another seat's transaction already
// spilled into the journal. Every backup opens as our database, sound.
#include "store/backup.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"

#include <QFileInfo>
#include <QTest>

#include <atomic>
#include <thread>

namespace {

void insertTicket(Connection &c, const QString &kh, const QString &ticket, const QString &remark = QString())
{
    c.execute(QStringLiteral("insert into hyxc(kh,piaohao,bz) values(?,?,?)"), {kh, ticket, remark});
}

// The backup as another seat would open it: sound, and the count of rows a query gives.
int inBackup(const QString &path, const QString &sql)
{
    Connection copy;
    copy.openLocation(path);
    if (copy.scalar(QStringLiteral("PRAGMA integrity_check")).toString() != QLatin1String("ok"))
        return -1;
    return copy.scalar(sql).toInt();
}

} // namespace

class BackupLoadTest : public QObject
{
    Q_OBJECT
private slots:
    void backupWhileWriting()
    {
        TestDatabase db(TestDatabase::Content::Demo, DemoSize{200, 4000});
        const int others = db.count(QStringLiteral("hyxc"));
        const QString target = db.tempDir() + QStringLiteral("/kvora.bak"), seat = db.seatPath(QStringLiteral("王芳"));
        // Another seat commits pairs W<n>-a, W<n>-b, one transaction each, until told to stop.
        std::atomic<qint64> committed{0};
        std::atomic<bool> stop{false};
        QString failed;
        std::thread writer([&] {
            try {
                Connection c;
                c.openLocation(seat);
                for (qint64 n = 1; !stop; committed = n++) {
                    TransactionGuard transaction(c);
                    insertTicket(c, QStringLiteral("BK-W"), QStringLiteral("W%1-a").arg(n));
                    insertTicket(c, QStringLiteral("BK-W"), QStringLiteral("W%1-b").arg(n));
                    transaction.commit();
                }
            } catch (const DbException &e) {
                failed = e.description();
                committed = -1;
            }
        });
        std::shared_ptr<void> join(nullptr, [&](void *) {
            stop = true;
            writer.join();
        });
        while (committed == 0)
            std::this_thread::yield(); // so every backup has a pair to prove
        for (int round = 0; round < 8; ++round) {
            const qint64 before = committed;
            backupDatabase(db.connection(), target);
            const qint64 after = committed;
            QVERIFY(!QFile::exists(target + QStringLiteral(".part")) && !QFile::exists(target + QStringLiteral("-wal")));
            QCOMPARE(inBackup(target, QStringLiteral("select count(*) from hyxc where kh<>'BK-W'")), others);
            // Whole pairs only: every one committed before it began, none past the one whose commit was returning.
            const int rows = inBackup(target, QStringLiteral("select count(*) from hyxc where kh='BK-W'"));
            const int pairs = inBackup(target, QStringLiteral("select max(cast(substr(piaohao, 2, length(piaohao) - 3) as integer)) from hyxc where kh='BK-W'"));
            QVERIFY2(rows == 2 * pairs && pairs >= before && pairs <= after + 1,
                     qPrintable(QStringLiteral("%1 rows, %2 pairs, %3 to %4 committed").arg(rows).arg(pairs).arg(before).arg(after)));
        }
        join.reset();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }

    void uncommittedStaysOut_data()
    {
        QTest::addColumn<bool>("ownSeat");
        QTest::newRow("the program's own pending change") << true;
        QTest::newRow("another seat's transaction spilled into the journal") << false;
    }

    void uncommittedStaysOut()
    {
        QFETCH(bool, ownSeat);
        if (!ownSeat && TestDatabase::onServer())
            QSKIP("the spill into SQLite's journal file has no like on a server");
        TestDatabase db(TestDatabase::Content::Demo, DemoSize{20, 200});
        const QString target = db.tempDir() + QStringLiteral("/kvora.bak"), wal = db.path() + QStringLiteral("-wal");
        const int tickets = db.count(QStringLiteral("hyxc"));
        Connection other;
        other.openLocation(db.seatPath(QStringLiteral("王芳")));
        if (!ownSeat)
            other.execute(QStringLiteral("PRAGMA cache_size=8"));
        Connection &writer = ownSeat ? db.connection() : other;
        const qint64 walBefore = QFileInfo(wal).size();
        {
            TransactionGuard transaction(writer);
            for (int i = 0; i < (ownSeat ? 1 : 3000); ++i)
                insertTicket(writer, QStringLiteral("BK-S"), QStringLiteral("S-%1").arg(i), QString(400, QLatin1Char('r')));
            QVERIFY(ownSeat || QFileInfo(wal).size() > walBefore + 1000000);
            backupDatabase(db.connection(), target);
            QVERIFY(writer.inTransaction());
            QCOMPARE(inBackup(target, QStringLiteral("select count(*) from hyxc")), tickets);
            if (ownSeat)
                transaction.commit(); // once committed, it is in the next backup
        }
        backupDatabase(db.connection(), target);
        QCOMPARE(inBackup(target, QStringLiteral("select count(*) from hyxc")), tickets + ownSeat);
        QCOMPARE(db.count(QStringLiteral("hyxc")), tickets + ownSeat);
    }
};

QTEST_GUILESS_MAIN(BackupLoadTest)
#include "tst_backupload.moc"
