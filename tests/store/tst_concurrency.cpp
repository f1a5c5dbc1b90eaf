// Several seats on one archive, on the engine under test: a write never
// silently undoes another, a command waits a bounded time for another seat's
// lock and then changes nothing, and seats clearing in separate processes
// never clear more points than a customer holds.
#include "domain/archive/pointscommands.h"
#include "domain/operators/mod_czywrite.h"
#include "store/transactionguard.h"
#include "store/recordset.h"
#include "support/testdatabase.h"

#include <QDateTime>
#include <QProcess>
#include <QTest>

namespace {

void addCustomerWithPoints(Connection &c, int tickets, double points)
{
    c.execute(QStringLiteral("insert into hyda (kh, xm, dw) values ('C1', '客户', 'abc')"));
    for (int i = 0; i < tickets; ++i)
        c.execute(QStringLiteral("insert into hyxc (kh, cprq, ZS, amount1, jifen, jifenyue) values ('C1', '2024-01-02', 1, 1000, ?, ?)"), {points, points});
}

bool clearFive(Connection &c)
{
    return PointsCommands::clearPoints(c, QStringLiteral("C1"), QStringLiteral("5"), QString(), QStringLiteral("王芳")).outcome
           == PointsCommands::ClearOutcome::Cleared;
}

// `<test> worker LOCATION TIMES` clears 5 points of C1 TIMES times, one line per command.
int worker(const QStringList &args)
{
    Connection c;
    c.openLocation(args.at(2));
    QTextStream out(stdout);
    for (int i = 0; i < args.at(3).toInt(); ++i) {
        try {
            out << (clearFive(c) ? "cleared\n" : "refused\n");
        } catch (const DbException &e) {
            out << (e.kind() == DbErrorKind::Busy ? "busy\n" : "failed " + e.description() + '\n');
        }
        out.flush();
    }
    return 0;
}

} // namespace

class TestConcurrency : public QObject
{
    Q_OBJECT
private slots:
    void staleWriteRefused_data()
    {
        QTest::addColumn<QString>("theirs"); // what the other seat wrote first; empty: it deleted the row
        QTest::addColumn<bool>("deleting");  // what this seat then tries: delete, else edit
        QTest::newRow("edit after edit") << "他" << false;
        QTest::newRow("edit after delete") << "" << false;
        QTest::newRow("delete after edit") << "他" << true;
        QTest::newRow("letter case counts as a change") << "ABC" << false;
    }
    void staleWriteRefused()
    {
        QFETCH(QString, theirs);
        QFETCH(bool, deleting);
        TestDatabase db;
        addCustomerWithPoints(db.connection(), 0, 0);
        Recordset mine;
        mine.open(QStringLiteral("select * from hyda where kh='C1'"), &db.connection(), LockType::Optimistic);
        Connection other;
        other.openLocation(db.seatPath(QStringLiteral("王芳")));
        if (theirs.isEmpty())
            other.execute(QStringLiteral("delete from hyda where kh='C1'"));
        else
            other.execute(QStringLiteral("update hyda set dw=? where kh='C1'"), {theirs});
        try {
            if (deleting) {
                mine.deleteCurrent();
            } else {
                mine.setValue(QStringLiteral("dw"), QStringLiteral("我"));
                mine.update();
            }
            QFAIL("a stale row was written");
        } catch (const DbException &e) {
            QCOMPARE(e.kind(), DbErrorKind::Conflict);
            QCOMPARE(e.description(), QStringLiteral("记录已被其他操作员修改，已重新读取。"));
        }
        // Nothing of mine was written, and my window now shows what the archive holds.
        QCOMPARE(db.scalar(QStringLiteral("select dw from hyda where kh='C1'")).toString(), theirs);
        QCOMPARE(mine.recordCount(), theirs.isEmpty() ? 0 : 1);
        if (!theirs.isEmpty())
            QCOMPARE(mine.text(QStringLiteral("dw")), theirs);
    }

    void busyWaitsThenGivesUp_data()
    {
        QTest::addColumn<QString>("attempt");
        QTest::addColumn<bool>("released"); // the other seat lets go while this one waits
        for (const char *attempt : {"command", "statement"}) {
            QTest::addRow("%s, lock released while waiting", attempt) << QString::fromLatin1(attempt) << true;
            QTest::addRow("%s, lock held past the wait", attempt) << QString::fromLatin1(attempt) << false;
        }
    }
    // Released within its bound, the command goes through; held past it, the
    // command gives up with the busy message and changes nothing.
    void busyWaitsThenGivesUp()
    {
        QFETCH(QString, attempt);
        QFETCH(bool, released);
        TestDatabase db;
        addCustomerWithPoints(db.connection(), 1, 10);
        Connection &holder = db.connection();
        QList<bool> observed;
        Connection::setDefaultBusyObserver([&](bool waiting) {
            observed << waiting;
            if (waiting && released)
                holder.commit();
        });
        Connection waiter;
        waiter.openLocation(db.seatPath(QStringLiteral("王芳")));
        Connection::setDefaultBusyObserver({});
        waiter.setBusyTimeout(600);
        holder.begin();
        // Its count read, the write is sent now, and the archive's lock held from here.
        QCOMPARE(int(holder.execute(QStringLiteral("insert into jifenallow (kh, jifen) values ('C1', 1)"))), 1);
        auto tryIt = [&] {
            if (attempt == QLatin1String("command"))
                QVERIFY(clearFive(waiter));
            else
                QCOMPARE(int(waiter.execute(QStringLiteral("update hyxc set jifenyue=5 where kh='C1'"))), 1);
        };
        try {
            tryIt();
            QVERIFY2(released, "the write went through another seat's lock");
        } catch (const DbException &e) {
            QVERIFY2(!released, qPrintable(e.description()));
            QCOMPARE(e.kind(), DbErrorKind::Busy);
            QCOMPARE(e.description(), QStringLiteral("数据库正被其他操作员使用，请稍后再试。"));
        }
        QCOMPARE(observed, QList<bool>({true, false}));
        QVERIFY(!waiter.inTransaction());
        if (!released) {
            holder.commit();
            // Nothing changed, and once the lock is gone the same action works.
            QCOMPARE(db.scalar(QStringLiteral("select jifenyue from hyxc where kh='C1'")).toDouble(), 10.0);
            tryIt();
        }
        QCOMPARE(db.count(QStringLiteral("jifenallow")), attempt == QLatin1String("command") ? 2 : 1);
        QCOMPARE(db.scalar(QStringLiteral("select jifenyue from hyxc where kh='C1'")).toDouble(), 5.0);
    }

    // Two processes clear 5 points again and again from one customer holding 100.
    void clearingRace()
    {
        TestDatabase db;
        addCustomerWithPoints(db.connection(), 10, 10);
        QProcess seats[2];
        QStringList lines;
        // Seats of their own processes: a server location carries the operator's password.
        const QString at = db.seatPath(QStringLiteral("王芳"), true);
        for (QProcess &p : seats)
            p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("worker"), at, QStringLiteral("14")});
        for (QProcess &p : seats) {
            QVERIFY(p.waitForFinished(50000));
            lines += QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }
        QCOMPARE(lines.count(QStringLiteral("cleared")), 20);
        QCOMPARE(lines.count(QStringLiteral("refused")), 8);
        QCOMPARE(db.count(QStringLiteral("hyxc where jifenyue<>0")), 0);
    }

    // The operator log takes the database's clock, not the seat's: entries of
    // seats whose clocks differ sort in the order they happened.
    void logTimesFromTheDatabase()
    {
        if (!TestDatabase::onServer())
            QSKIP("on a file the database's clock is the seat's");
        TestDatabase db;
        Connection c;
        c.openLocation(db.seatPath(QStringLiteral("王芳")));
        // The server's day as a seat fourteen hours ahead of ours would see it.
        c.executeScript(QStringLiteral("SET TIME ZONE 'Pacific/Kiritimati'"));
        Mod_czywrite::czyrz_open(c, QStringLiteral("王芳"), QStringLiteral("客户档案"));
        Mod_czywrite::czyrz_close(c, QStringLiteral("客户档案"));
        TransactionGuard command(c);
        Mod_czywrite::writeClosed(c, QStringLiteral("王芳"), QStringLiteral("退票"));
        command.commit();
        const QDateTime server = QDateTime::fromString(Mod_czywrite::now(c), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY(std::abs(server.secsTo(QDateTime::currentDateTime())) > 3600);
        for (const QVariant &written : {c.scalar(QStringLiteral("select last_time from czyrz where czyxm='客户档案'")),
                                        c.scalar(QStringLiteral("select last_time from czyrz where czyxm='退票'"))}) {
            const QDateTime at = QDateTime::fromString(written.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            QVERIFY2(std::abs(at.secsTo(server)) < 60, qPrintable(written.toString()));
        }
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() == 4 && app.arguments().at(1) == QLatin1String("worker"))
        return worker(app.arguments());
    TestConcurrency test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_concurrency.moc"
