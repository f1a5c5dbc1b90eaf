// The backup while others write: a second connection commits tickets in
// pairs without pause while backupDatabase copies the file on the program's
// connection. Every backup must open as our database, be sound, hold every
// pair committed before it started and only whole pairs; what is still
// uncommitted anywhere, even when already in the journal, stays out.

#include "store/backup.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

const QString kWriter = QStringLiteral("BK-W");

QVariant scalar(Connection &c, const QString &sql)
{
    Recordset rs;
    rs.open(sql, &c);
    return rs.recordCount() > 0 ? rs.value(0) : QVariant();
}

void insertTicket(Connection &c, const QString &kh, const QString &ticket, const QString &remark = QString())
{
    c.execute(QStringLiteral("insert into hyxc(kh,cprq,hangkong,neivai,piaohao,ZS,amount1,amount2,amount3,jifen,"
                             "jifenyue,bz) values(%1,'2024-06-01','东航','国内',%2,1,1000,900,850,50,50,%3)")
                  .arg(sqlQuote(kh), sqlQuote(ticket), sqlQuote(remark)));
}

// Commits pairs W<n>-a, W<n>-b, one transaction each, until told to stop.
class PairWriter
{
public:
    explicit PairWriter(const QString &path) : m_path(path) {}
    ~PairWriter() { stop(); }

    void start()
    {
        m_thread = std::thread([this] { run(); });
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // The last pair whose commit has returned.
    qint64 committed() const { return m_committed.load(); }
    QString error() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_error;
    }

private:
    void run()
    {
        try {
            Connection c;
            c.openLocation(m_path);
            for (qint64 n = 1; !m_stop; ++n) {
                TransactionGuard transaction(c);
                insertTicket(c, kWriter, QStringLiteral("W%1-a").arg(n));
                insertTicket(c, kWriter, QStringLiteral("W%1-b").arg(n));
                transaction.commit();
                m_committed.store(n);
            }
        } catch (const DbException &e) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_error = QStringLiteral("%1 %2").arg(e.number()).arg(e.description());
        }
    }

    QString m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_committed{0};
    mutable std::mutex m_mutex;
    QString m_error;
};

// Header bytes 18 and 19 say which journal the file expects: 1 for a plain
// rollback file that opens on its own, 2 for one that needs its WAL.
int journalVersion(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray header = f.read(20);
    return header.size() == 20 && header.at(18) == header.at(19) ? header.at(18) : -1;
}

} // namespace

class BackupLoadTest : public QObject
{
    Q_OBJECT

private slots:
    void backupWhileWriting();
    void pendingChangeOfTheProgramStaysOut();
    void spilledTransactionOfAnotherConnectionStaysOut();
};

void BackupLoadTest::backupWhileWriting()
{
    TestDatabase db(TestDatabase::Content::Demo, DemoSize{200, 4000});
    const int customers = scalar(db.connection(), QStringLiteral("select count(*) from hyda")).toInt();
    const int others = scalar(db.connection(), QStringLiteral("select count(*) from hyxc")).toInt();
    QVERIFY(customers > 0 && others > 0);
    const QString target = db.tempDir() + QStringLiteral("/kvora.bak");

    PairWriter writer(db.path());
    writer.start();
    // The first pair is in before the first backup, so every backup has something to prove.
    while (writer.committed() == 0 && writer.error().isEmpty())
        std::this_thread::yield();

    const QRegularExpression pairName(QStringLiteral("^W(\\d+)-([ab])$"));
    int overlapping = 0;
    qint64 largest = 0;
    for (int round = 0; round < 12; ++round) {
        const qint64 before = writer.committed();
        try {
            backupDatabase(db.connection(), target);
        } catch (const DbException &e) {
            writer.stop();
            QFAIL(qPrintable(QStringLiteral("backup %1 failed under load: %2 %3").arg(round).arg(e.number()).arg(e.description())));
        }
        const qint64 after = writer.committed();
        if (after > before)
            ++overlapping;

        QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
        QVERIFY(!QFile::exists(target + QStringLiteral("-wal")));
        QCOMPARE(journalVersion(target), 1);

        Connection copy;
        try {
            copy.openLocation(target);
        } catch (const DbException &e) {
            QFAIL(qPrintable(QStringLiteral("backup %1 does not open: %2").arg(round).arg(e.description())));
        }
        QCOMPARE(scalar(copy, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        QCOMPARE(scalar(copy, QStringLiteral("select count(*) from hyda")).toInt(), customers);
        QCOMPARE(scalar(copy, QStringLiteral("select count(*) from hyxc where kh<>") + sqlQuote(kWriter)).toInt(), others);

        QMap<qint64, QString> halves;
        Recordset rs;
        rs.open(QStringLiteral("select piaohao from hyxc where kh=") + sqlQuote(kWriter), &copy);
        for (int i = 0; i < rs.recordCount(); ++i) {
            const auto m = pairName.match(rs.valueAt(i, 0).toString());
            QVERIFY2(m.hasMatch(), qPrintable(rs.valueAt(i, 0).toString()));
            halves[m.captured(1).toLongLong()] += m.captured(2);
        }
        const qint64 newest = halves.isEmpty() ? 0 : halves.lastKey();
        // Everything committed before the backup began; nothing beyond what the
        // writer had committed by its end (the pair whose commit was just returning at most).
        QVERIFY2(newest >= before, qPrintable(QStringLiteral("backup %1 ends at pair %2, %3 were committed before it")
                                                  .arg(round).arg(newest).arg(before)));
        QVERIFY2(newest <= after + 1, qPrintable(QStringLiteral("backup %1 holds pair %2, only %3 were committed")
                                                     .arg(round).arg(newest).arg(after)));
        QCOMPARE(qint64(halves.size()), newest);
        for (auto it = halves.cbegin(); it != halves.cend(); ++it) {
            QString both = it.value();
            std::sort(both.begin(), both.end());
            QVERIFY2(both == QLatin1String("ab"),
                     qPrintable(QStringLiteral("backup %1: pair %2 has %3").arg(round).arg(it.key()).arg(it.value())));
        }
        // The statistics travel in the same transactions as their tickets.
        QCOMPARE(scalar(copy, QStringLiteral("select total(tickets) from SUMhangkong")).toLongLong(),
                 scalar(copy, QStringLiteral("select count(*) from hyxc where zt is null or zt='正常'")).toLongLong());
        largest = std::max(largest, newest);
    }
    writer.stop();
    QVERIFY2(writer.error().isEmpty(), qPrintable(QStringLiteral("the writer failed: ") + writer.error()));
    qInfo("12 backups, %d with pairs committed while they ran; %lld pairs written, up to %lld in a backup", overlapping,
          writer.committed(), largest);
    // The writer was never held up for good: it went on past the last backup.
    QVERIFY(writer.committed() >= largest);
}

// A change the program has not committed is not in its backup; once
// committed, it is.
void BackupLoadTest::pendingChangeOfTheProgramStaysOut()
{
    TestDatabase db(TestDatabase::Content::Demo, DemoSize{20, 200});
    const QString target = db.tempDir() + QStringLiteral("/kvora.bak");
    {
        TransactionGuard transaction(db.connection());
        insertTicket(db.connection(), QStringLiteral("BK-P"), QStringLiteral("PENDING"));
        backupDatabase(db.connection(), target);
        QVERIFY(db.connection().inTransaction());
        Connection copy;
        copy.openLocation(target);
        QCOMPARE(scalar(copy, QStringLiteral("select count(*) from hyxc where piaohao='PENDING'")).toInt(), 0);
        QCOMPARE(scalar(copy, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        copy.close();
        transaction.commit();
    }
    backupDatabase(db.connection(), target);
    Connection copy;
    copy.openLocation(target);
    QCOMPARE(scalar(copy, QStringLiteral("select count(*) from hyxc where piaohao='PENDING'")).toInt(), 1);
}

// Another connection's transaction so large that its pages already went to
// the journal before the commit: the backup holds none of it, and the
// database is whole after it rolls back.
void BackupLoadTest::spilledTransactionOfAnotherConnectionStaysOut()
{
    if (TestDatabase::onServer())
        QSKIP("looks at SQLite's own journal file");
    TestDatabase db(TestDatabase::Content::Demo, DemoSize{20, 200});
    const QString target = db.tempDir() + QStringLiteral("/kvora.bak");
    const QString wal = db.path() + QStringLiteral("-wal");
    const int tickets = scalar(db.connection(), QStringLiteral("select count(*) from hyxc")).toInt();
    Connection other;
    other.openLocation(db.path());
    other.execute(QStringLiteral("PRAGMA cache_size=8"));
    const qint64 walBefore = QFileInfo(wal).size();
    {
        TransactionGuard transaction(other);
        const QString remark(400, QLatin1Char('r'));
        for (int i = 0; i < 3000; ++i)
            insertTicket(other, QStringLiteral("BK-S"), QStringLiteral("S-%1").arg(i), remark);
        // The pages are in the journal, uncommitted.
        QVERIFY2(QFileInfo(wal).size() > walBefore + 1000000,
                 qPrintable(QStringLiteral("journal %1 bytes").arg(QFileInfo(wal).size())));
        backupDatabase(db.connection(), target);
        Connection copy;
        copy.openLocation(target);
        QCOMPARE(scalar(copy, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        QCOMPARE(scalar(copy, QStringLiteral("select count(*) from hyxc where kh='BK-S'")).toInt(), 0);
        QCOMPARE(scalar(copy, QStringLiteral("select count(*) from hyxc")).toInt(), tickets);
        // Not committed: the guard rolls it back.
    }
    QCOMPARE(scalar(db.connection(), QStringLiteral("select count(*) from hyxc")).toInt(), tickets);
    QCOMPARE(scalar(db.connection(), QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
}

QTEST_GUILESS_MAIN(BackupLoadTest)
#include "tst_backupload.moc"
