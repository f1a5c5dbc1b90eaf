// Opening an archive, error reports, quoting of spliced values, number text and transactions.
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"

#include <QFileInfo>
#include <QTest>

#include <cmath>
#include <limits>

class TestConnection : public QObject
{
    Q_OBJECT
    // One archive for the cases that leave it as they found it.
    TestDatabase &shared() { return m_shared ? *m_shared : *(m_shared = std::make_unique<TestDatabase>()); }
    std::unique_ptr<TestDatabase> m_shared;

private slots:
    void openConnectionText()
    {
        TestDatabase &db = shared();
        Connection c;
        c.open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= %1%2 ;Persist Security Info=False").arg(db.folder(), db.fileName()));
        const auto canonical = [](const QString &l) { return TestDatabase::onServer() ? l : QFileInfo(l).canonicalFilePath(); };
        QCOMPARE(canonical(c.location()), canonical(db.path()));
        QCOMPARE(c.scalar(QStringLiteral("select count(*) from czyzd")).toInt(), 2);
    }

    void refusedStatement_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("named"); // what the description names; empty: refused; "-": accepted
        QTest::newRow("column of an insert") << "insert into czy (name, nrx) values ('a', 'b')" << "nrx";
        // One statement per call: a second one smuggled in is refused, the first with it.
        QTest::newRow("smuggled in a value") << "delete from czy where name='x';delete from czyzd; --'" << "";
        QTest::newRow("semicolon inside a literal") << "delete from czy where name='a;b';" << "-";
        QTest::newRow("trailing semicolons") << "delete from czyzd where czy_name='nobody' ;  ; " << "-";
    }
    void refusedStatement()
    {
        QFETCH(QString, sql);
        QFETCH(QString, named);
        TestDatabase &db = shared();
        const int rights = db.count(QStringLiteral("czy")), operators = db.count(QStringLiteral("czyzd"));
        try {
            QCOMPARE(int(db.connection().execute(sql)), 0);
            QCOMPARE(named, QStringLiteral("-"));
        } catch (const DbException &e) {
            QCOMPARE(e.number(), DbErrorCode::GeneralFailure);
            QVERIFY2(named != QLatin1String("-") && e.description().contains(named, Qt::CaseInsensitive), qPrintable(e.description()));
        }
        QCOMPARE(db.count(QStringLiteral("czy")), rights);
        QCOMPARE(db.count(QStringLiteral("czyzd")), operators);
    }

    void quotedValueRoundTrips_data()
    {
        QTest::addColumn<QString>("value");
        for (const char *value : {"x'; delete from czy; --", "\\'"})
            QTest::newRow(value) << QString::fromUtf8(value);
    }
    void quotedValueRoundTrips()
    {
        QFETCH(QString, value);
        TestDatabase &db = shared();
        db.connection().execute(QStringLiteral("delete from hyda where kh='Q1'"));
        const int rights = db.count(QStringLiteral("czy"));
        db.connection().execute(QStringLiteral("insert into hyda (kh, xm) values ('Q1', ") + sqlQuote(value) + ')');
        QCOMPARE(db.scalar(QStringLiteral("select xm from hyda where kh='Q1'")).toString(), value);
        QCOMPARE(db.count(QStringLiteral("czy")), rights);
        // Recordset searches read the same quoting.
        Recordset rs;
        rs.open(QStringLiteral("select * from hyda"), &db.connection());
        QVERIFY(rs.find(QStringLiteral("xm=") + sqlQuote(value)));
        QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("Q1"));
    }

    void numberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text"); // the shortest text that reads back as exactly the number
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("more digits than a default text keeps") << -1234567.891 << "-1234567.891";
        QTest::newRow("largest whole written whole") << 999999999999999.0 << "999999999999999";
        QTest::newRow("one past it") << 1e15 << "1e+15";
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "0";
    }
    void numberText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        // A decimal comma in the user's locale must not reach the SQL.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString written = sqlNumber(value);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(written, text);
        QCOMPARE(shared().scalar(QStringLiteral("select 1 - ") + written).toDouble(), 1 - (std::isfinite(value) ? value : 0));
        const qint64 big = std::numeric_limits<qint64>::max();
        QCOMPARE(shared().scalar(QStringLiteral("select ") + sqlNumber(big)).toLongLong(), big);
    }

    void transactions_data()
    {
        QTest::addColumn<bool>("fails");   // the command fails at its last statement
        QTest::addColumn<bool>("commits"); // the outer command commits
        QTest::addColumn<bool>("innerFirst"); // the inner command runs before any statement of the outer
        QTest::addColumn<bool>("later");      // the outer command's writes are sent with its commit
        QTest::newRow("failure rolls back") << true << true << false << false;
        QTest::newRow("outer commits") << false << true << false << false;
        QTest::newRow("outer gives up") << false << false << false << false;
        QTest::newRow("inner command first") << false << true << true << false;
        QTest::newRow("written later, committed") << false << true << true << true;
        QTest::newRow("written later, given up") << false << false << true << true;
        QTest::newRow("written later, failing at the commit") << true << true << true << true;
    }
    // A command inside another (here a recordset's write) joins it.
    void transactions()
    {
        QFETCH(bool, fails);
        QFETCH(bool, commits);
        QFETCH(bool, innerFirst);
        QFETCH(bool, later);
        TestDatabase db;
        Connection &c = db.connection();
        const QString edited = QStringLiteral("select sm from dict where rowid=1");
        const QVariant before = db.scalar(edited);
        // A count nobody reads lets a server send the write with what comes next.
        const auto write = [&c, later](const QString &sql) { later ? void(c.execute(sql)) : void(int(c.execute(sql))); };
        try {
            TransactionGuard outer(c);
            const auto outerWrite = [&write] {
                write(QStringLiteral("insert into hyxczhuanrang (kh, zhuanrangkh) values ('A01', 'A02')"));
            };
            if (!innerFirst)
                outerWrite();
            {
                TransactionGuard inner(c);
                Recordset rs;
                rs.open(QStringLiteral("select * from dict where rowid=1"), &c, LockType::Optimistic);
                rs.setValue(QStringLiteral("sm"), QStringLiteral("changed"));
                rs.update();
                inner.commit();
            }
            // An inner commit must not have ended the outer command.
            QVERIFY(c.inTransaction());
            if (innerFirst)
                outerWrite();
            if (fails)
                write(QStringLiteral("insert into czyzd (czy_name) values ('王芳')")); // a duplicate name
            if (commits)
                outer.commit();
        } catch (const DbException &e) {
            QVERIFY(fails);
            QCOMPARE(e.number(), DbErrorCode::GeneralFailure);
        }
        QVERIFY(!c.inTransaction());
        const bool kept = commits && !fails;
        QCOMPARE(db.count(QStringLiteral("hyxczhuanrang")), kept ? 1 : 0);
        QCOMPARE(db.scalar(edited), kept ? QVariant(QStringLiteral("changed")) : before);
    }

    // Writes held back keep the values bound when they were handed over, are
    // seen by the command's own reads, and by everyone once it commits; outside
    // a command such a write is done at once. A count asked for is the count.
    void writesSentLater()
    {
        TestDatabase db;
        Connection &c = db.connection();
        Connection other;
        other.openLocation(db.path());
        const QString total = QStringLiteral("select sum(jifen) from jifenallow where kh in ('L1','L2','L3')");
        const QString insert = QStringLiteral("insert into jifenallow (kh, jifen) values (?, ?)");
        c.execute(insert, {QStringLiteral("L3"), 4});
        QCOMPARE(other.scalar(total).toInt(), 4);
        const quint64 trips = c.roundTrips();
        {
            TransactionGuard command(c);
            c.execute(insert, {QStringLiteral("L1"), 1});
            c.execute(insert, {QStringLiteral("L2"), 2});
            QCOMPARE(c.scalar(total).toInt(), 7);
            c.execute(QStringLiteral("update jifenallow set jifen=jifen*10 where kh='L1'"));
            command.commit();
        }
        // Begin, lock and both inserts ride with the read; the update with the commit.
        if (TestDatabase::onServer())
            QCOMPARE(c.roundTrips() - trips, quint64(2));
        QCOMPARE(other.scalar(total).toInt(), 16);
        QCOMPARE(other.scalar(QStringLiteral("select jifen from jifenallow where kh='L2'")).toInt(), 2);
        {
            TransactionGuard command(c);
            c.execute(QStringLiteral("delete from jifenallow where kh='L3'"));
            QCOMPARE(int(c.execute(QStringLiteral("update jifenallow set jifen=jifen+1 where kh in ('L1','L2')"))), 2);
            command.commit();
        }
        QCOMPARE(other.scalar(total).toInt(), 14);
    }

    void readsTogether_data()
    {
        QTest::addColumn<QString>("between");   // what runs after the read that carries it
        QTest::addColumn<QString>("customer");  // whose totals are then asked for
        QTest::addColumn<bool>("inCommand");
        QTest::addColumn<int>("expected");
        QTest::newRow("asked next") << "" << "R1" << false << 12;
        QTest::newRow("asked for another customer") << "" << "R2" << false << 40;
        QTest::newRow("a write between") << "write" << "R1" << false << 112;
        QTest::newRow("a read between") << "read" << "R1" << false << 12;
        QTest::newRow("in a command that wrote") << "" << "R1" << true << 112;
        QTest::newRow("a failing read went along") << "failing" << "R1" << false << 12;
    }
    // A read that followed another with the same values goes with it the next
    // time, in its round trip; its answer serves only the very next statement,
    // and only when that is the same read with the same values.
    void readsTogether()
    {
        QFETCH(QString, between);
        QFETCH(QString, customer);
        QFETCH(bool, inCommand);
        QFETCH(int, expected);
        TestDatabase db;
        Connection &c = db.connection();
        const QString insert = QStringLiteral("insert into hyxc (kh, jifen, jifenyue) values (?, ?, 0)");
        for (const auto &[kh, points] : {std::pair{"R1", 5}, {"R1", 7}, {"R2", 40}})
            c.execute(insert, {QString::fromLatin1(kh), points});
        const QString count = QStringLiteral("select count(*) from hyxc where kh=?");
        const QString sum = between == QLatin1String("failing") ? QStringLiteral("select abs(-9223372036854775807-1+0*length(kh)) from hyxc where kh=?")
                                                               : QStringLiteral("select sum(jifen) from hyxc where kh=?");
        const QVariantList r2{QStringLiteral("R2")};
        c.scalar(count, r2);
        if (between != QLatin1String("failing"))
            QCOMPARE(c.scalar(sum, r2).toInt(), 40);
        else
            QVERIFY_THROWS_EXCEPTION(DbException, c.scalar(sum, r2));
        std::unique_ptr<TransactionGuard> command;
        if (inCommand) {
            command = std::make_unique<TransactionGuard>(c);
            c.execute(insert, {QStringLiteral("R1"), 100});
        }
        QCOMPARE(c.scalar(count, {QStringLiteral("R1")}).toInt(), inCommand ? 3 : 2);
        const quint64 trips = c.roundTrips();
        if (between == QLatin1String("write"))
            c.execute(insert, {QStringLiteral("R1"), 100});
        else if (between != QLatin1String(""))
            QCOMPARE(c.scalar(QStringLiteral("select count(*) from hyxc")).toInt(), inCommand ? 4 : 3);
        const QString total = QStringLiteral("select sum(jifen) from hyxc where kh=?");
        QCOMPARE(c.scalar(total, {customer}).toInt(), expected);
        if (TestDatabase::onServer() && QTest::currentDataTag() == QLatin1String("asked next"))
            QCOMPARE(c.roundTrips(), trips);
        if (command)
            command->commit();
        QCOMPARE(c.scalar(total, {customer}).toInt(), expected);
    }

    void travelsTogether_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("count"); // R1's rows the reads then find; -1: the read fails
        QTest::addColumn<int>("sum");
        QTest::addColumn<int>("trips"); // on a server
        QTest::newRow("a write sent soon, with the next read") << "soon" << 3 << 112 << 2;
        QTest::newRow("a failing write sent soon fails that read") << "soon failing" << -1 << 0 << 1;
        QTest::newRow("a read said ahead") << "ahead" << 2 << 12 << 1;
        QTest::newRow("reads again after a write") << "again" << 3 << 112 << 1;
        QTest::newRow("reads again after a commit") << "again command" << 3 << 112 << 1;
        QTest::newRow("a write after the reads again") << "again twice" << 4 << 1112 << 3;
    }
    // A write nobody waits for goes with the next read, and reads known before
    // go after the statement they follow, each in a transaction of its own: they
    // see what was written before them, and never what was written after.
    void travelsTogether()
    {
        QFETCH(QString, how);
        QFETCH(int, count);
        QFETCH(int, sum);
        QFETCH(int, trips);
        TestDatabase db;
        Connection &c = db.connection();
        const QString insert = QStringLiteral("insert into hyxc (kh, jifen, jifenyue) values (?, ?, 0)");
        const QVariantList r1{QStringLiteral("R1")};
        for (int points : {5, 7})
            c.execute(insert, {r1.first(), points});
        const QString counted = QStringLiteral("select count(*) from hyxc where kh=?");
        const QString summed = QStringLiteral("select sum(jifen) from hyxc where kh=?");
        if (how.startsWith(QLatin1String("again")))
            QCOMPARE(c.scalar(counted, r1).toInt() + c.scalar(summed, r1).toInt(), 14);
        const quint64 before = c.roundTrips();
        try {
            if (how.startsWith(QLatin1String("soon")))
                c.executeSoon(how == QLatin1String("soon") ? insert : QStringLiteral("insert into hyxc (kh, nosuch) values (?, ?)"),
                              {r1.first(), 100});
            else if (how == QLatin1String("ahead"))
                c.readAhead(summed, r1);
            else
                c.readAgainAfterWrite(r1);
            if (how == QLatin1String("again command")) {
                TransactionGuard command(c);
                c.execute(insert, {r1.first(), 100});
                command.commit();
            } else if (how.startsWith(QLatin1String("again"))) {
                c.execute(insert, {r1.first(), 100});
            }
            if (how == QLatin1String("again twice"))
                c.execute(insert, {r1.first(), 1000});
            QCOMPARE(c.scalar(counted, r1).toInt(), count);
            QCOMPARE(c.scalar(summed, r1).toInt(), sum);
        } catch (const DbException &) {
            QCOMPARE(count, -1);
            QCOMPARE(c.scalar(counted, r1).toInt(), 2);
            return;
        }
        if (TestDatabase::onServer())
            QCOMPARE(c.roundTrips() - before, quint64(trips));
    }

    void aheadWithReadInParts_data()
    {
        QTest::addColumn<bool>("failing");
        QTest::newRow("answered") << false;
        QTest::newRow("failing") << true;
    }
    // Reads said ahead travel with a read in parts that opens first (on the
    // seat's second session), in its round trip; one that fails there spoils
    // neither the read in parts nor itself asked again.
    void aheadWithReadInParts()
    {
        QFETCH(bool, failing);
        TestDatabase db;
        Connection &c = db.connection();
        for (int points : {5, 7})
            c.execute(QStringLiteral("insert into hyxc (kh, jifen, jifenyue) values ('R1', ?, 0)"), {points});
        const QString summed = failing ? QStringLiteral("select abs(-9223372036854775807-1+0*length(kh)) from hyxc where kh=?")
                                       : QStringLiteral("select sum(jifen) from hyxc where kh=?");
        const QVariantList r1{QStringLiteral("R1")};
        const quint64 before = c.roundTrips();
        c.readAhead(summed, r1);
        Recordset rows;
        rows.setFirstRows(1);
        rows.open(QStringLiteral("select jifen from hyxc order by jifen"), &c);
        QCOMPARE(rows.value(0).toInt(), 5);
        if (failing)
            QVERIFY_THROWS_EXCEPTION(DbException, c.scalar(summed, r1));
        else
            QCOMPARE(c.scalar(summed, r1).toInt(), 12);
        if (TestDatabase::onServer())
            QCOMPARE(c.roundTrips() - before, quint64(failing ? 2 : 1));
        QCOMPARE(rows.recordCount(), 2);
    }

    void droppedServerConnection_data()
    {
        QTest::addColumn<bool>("inCommand");
        QTest::addColumn<bool>("pipelined"); // the lost statement goes with a write sent later
        QTest::newRow("between commands") << false << false;
        QTest::newRow("in the middle of a command") << true << false;
        QTest::newRow("in the middle of a command, pipelined") << true << true;
    }
    // The server ends this seat's session (restarted, or an administrator's doing).
    void droppedServerConnection()
    {
        QFETCH(bool, inCommand);
        QFETCH(bool, pipelined);
        if (!TestDatabase::onServer())
            QSKIP("a file has no session to lose; the server run walks this");
        TestDatabase db;
        Connection &c = db.connection();
        const QString insert = QStringLiteral("insert into jifenallow (kh, jifen) values ('D1', %1)");
        std::unique_ptr<TransactionGuard> command;
        if (inCommand) {
            command = std::make_unique<TransactionGuard>(c);
            c.execute(insert.arg(1));
        }
        Connection admin;
        admin.openLocation(db.path());
        const QString others = QStringLiteral("select count(%1) from pg_stat_activity where datname=current_database() and pid<>pg_backend_pid()");
        QCOMPARE(admin.scalar(others.arg(QStringLiteral("pg_terminate_backend(pid)"))).toInt(), 1);
        QTRY_COMPARE(admin.scalar(others.arg(QStringLiteral("*"))).toInt(), 0);
        try {
            if (pipelined)
                c.execute(insert.arg(20)); // held back for what comes next
            c.execute(insert.arg(2));
            if (inCommand)
                command->commit();
            QVERIFY2(!inCommand, "a command whose session was lost reported success");
        } catch (const DbException &e) {
            // Said as a lost connection, in the program's words only (no libpq state).
            QCOMPARE(e.kind(), DbErrorKind::ConnectionLost);
            QCOMPARE(e.description(), DbMessages::connectionLost());
        }
        command.reset();
        // Nothing of the lost command stays; the next command connects again and works.
        c.execute(insert.arg(3));
        QCOMPARE(db.scalar(QStringLiteral("select sum(jifen) from jifenallow where kh='D1'")).toDouble(), inCommand ? 3.0 : 5.0);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
