// Opening an archive, error reports, quoting of spliced values, number text and transactions.
#include "store/pgengine.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <limits>

#define ON_SERVER_ONLY()                                                                                               \
    if (!TestDatabase::onServer())                                                                                     \
    QSKIP("a server case: run with TORVANE_TEST_ENGINE=postgres")

class TestConnection : public QObject
{
    Q_OBJECT
    // One archive for the cases that leave it as they found it.
    TestDatabase &shared() { return m_shared ? *m_shared : *(m_shared = std::make_unique<TestDatabase>()); }
    std::unique_ptr<TestDatabase> m_shared;

private slots:
    void openConnectionText_data()
    {
        QTest::addColumn<QString>("text"); // %1: the folder with its trailing separator, %2: the file name
        QTest::newRow("as the windows build it") << "data source=%1/%2";
        QTest::newRow("provider, blanks, more parts") << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source= %1%2 ;Persist Security Info=False";
    }
    void openConnectionText()
    {
        QFETCH(QString, text);
        TestDatabase &db = shared();
        Connection c;
        c.open(text.arg(db.folder(), db.fileName()));
        const auto canonical = [](const QString &l) { return TestDatabase::onServer() ? l : QFileInfo(l).canonicalFilePath(); };
        QCOMPARE(canonical(c.location()), canonical(db.path()));
        QCOMPARE(c.scalar(QStringLiteral("select count(*) from czyzd")).toInt(), 2);
    }

    void refusedServerDatabase_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"missing database", "no server there", "empty database", "another program's tables"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void refusedServerDatabase()
    {
        QFETCH(QString, kind);
        ON_SERVER_ONLY();
        ServerDatabase other;
        QString uri = other.uri();
        if (kind == QLatin1String("missing database"))
            uri.replace(QLatin1String("/t_"), QLatin1String("/nosuch_"));
        else if (kind == QLatin1String("no server there"))
            uri.replace(QRegularExpression(QStringLiteral("port=\\d+")), QStringLiteral("port=1"));
        else if (kind == QLatin1String("another program's tables")) {
            Connection foreign;
            foreign.adopt(std::make_unique<PgEngine>(uri, PgEngine::Purpose::Create));
            foreign.executeScript(QStringLiteral("CREATE TABLE hyda (kh text)"));
        }
        Connection c;
        try {
            c.openLocation(uri);
            QFAIL("the database was opened");
        } catch (const DbException &e) {
            QCOMPARE(e.number(), DbErrorCode::GeneralFailure);
            QVERIFY2(e.description().contains(PgEngine::withoutPassword(uri)), qPrintable(e.description()));
        }
        QVERIFY(!c.isOpen());
    }

    void passwordAskedOnce()
    {
        ON_SERVER_ONLY();
        // The test server asks torvane_pw for its password ("secret"); nothing else gives it.
        TestDatabase db;
        const QString uri = QString(db.path()).replace(QLatin1String("//torvane@"), QLatin1String("//torvane_pw@"));
        QStringList asked;
        QString answer = QStringLiteral("wrong");
        Connection::setPasswordProvider([&](const QString &location) {
            asked << location;
            return std::exchange(answer, QStringLiteral("secret"));
        });
        const std::shared_ptr<void> reset(nullptr, [](void *) { Connection::setPasswordProvider({}); });
        Connection first, second, third;
        first.openLocation(uri);
        QCOMPARE(asked, QStringList({uri, uri}));
        // A second connection of the same seat (a query window's) is not asked again.
        second.openLocation(uri);
        QCOMPARE(asked.size(), 2);
        // Given in the location, a password is used but never shown or kept in it.
        third.openLocation(QString(uri).replace(QLatin1String("torvane_pw@"), QLatin1String("torvane_pw:secret@")));
        QCOMPARE(third.location(), uri);
    }

    void droppedServerConnection_data()
    {
        QTest::addColumn<bool>("inCommand");
        QTest::newRow("between commands") << false;
        QTest::newRow("in the middle of a command") << true;
    }
    void droppedServerConnection()
    {
        QFETCH(bool, inCommand);
        ON_SERVER_ONLY();
        TestDatabase db;
        Connection &c = db.connection();
        const QString insert = QStringLiteral("insert into jifenallow (kh, jifen) values ('D1', %1)");
        std::unique_ptr<TransactionGuard> command;
        if (inCommand) {
            command = std::make_unique<TransactionGuard>(c);
            c.execute(insert.arg(1));
        }
        // The server ends this seat's session (restarted, or an administrator's doing).
        Connection admin;
        admin.openLocation(db.path());
        const QString others = QStringLiteral("select count(%1) from pg_stat_activity where datname=current_database() and pid<>pg_backend_pid()");
        QCOMPARE(admin.scalar(others.arg(QStringLiteral("pg_terminate_backend(pid)"))).toInt(), 1);
        QTRY_COMPARE(admin.scalar(others.arg(QStringLiteral("*"))).toInt(), 0);
        try {
            c.execute(insert.arg(2));
            if (inCommand)
                command->commit();
            QVERIFY2(!inCommand, "a command whose session was lost reported success");
        } catch (const DbException &e) {
            QVERIFY2(e.description().contains(QStringLiteral("连接已中断")), qPrintable(e.description()));
        }
        command.reset();
        // Nothing of the lost command stays; the next command connects again and works.
        c.execute(insert.arg(3));
        QCOMPARE(db.scalar(QStringLiteral("select sum(jifen) from jifenallow where kh='D1'")).toDouble(), inCommand ? 3.0 : 5.0);
    }

    void refusedStatement_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("named"); // what the description names; empty: refused; "-": accepted
        QTest::newRow("table") << "select * from hydax" << "hydax";
        QTest::newRow("column of an insert") << "insert into czy (name, nrx) values ('a', 'b')" << "nrx";
        // One statement per call: a second one smuggled in is refused, the first with it.
        QTest::newRow("no blank between") << "delete from czy;delete from czyzd" << "";
        QTest::newRow("smuggled in a value") << "delete from czy where name='x'; delete from czyzd; --'" << "";
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
            QCOMPARE(db.connection().execute(sql), 0);
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
        for (const char *value : {"O'Brien", "x'; delete from czy; --", "#2003-1-1#", "[a] \"b\"", "?", "\\'"})
            QTest::newRow(value) << QString::fromUtf8(value);
    }
    void quotedValueRoundTrips()
    {
        QFETCH(QString, value);
        TestDatabase &db = shared();
        db.connection().execute(QStringLiteral("delete from hyda where kh='Q1'"));
        const int rights = db.count(QStringLiteral("czy"));
        db.connection().execute(QStringLiteral("insert into hyda (kh, xm) values ('Q1', ") + sqlQuote(value) + ')');
        QCOMPARE(db.count(QStringLiteral("hyda where xm=") + sqlQuote(value)), 1);
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
        QTest::newRow("negative whole") << -300.0 << "-300";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("more digits than a default text keeps") << 1234567.891 << "1234567.891";
        QTest::newRow("negative fraction") << -0.07 << "-0.07";
        QTest::newRow("largest whole written whole") << 999999999999999.0 << "999999999999999";
        QTest::newRow("one past it") << 1e15 << "1e+15";
        QTest::newRow("huge") << 1.7976931348623157e308 << "1.7976931348623157e+308";
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
        QTest::addColumn<bool>("nested");  // a command inside another joins it
        QTest::addColumn<bool>("commits"); // the outer command commits
        QTest::newRow("failure rolls back") << true << false << true;
        QTest::newRow("nested, outer commits") << false << true << true;
        QTest::newRow("nested, outer gives up") << false << true << false;
    }
    void transactions()
    {
        QFETCH(bool, fails);
        QFETCH(bool, nested);
        QFETCH(bool, commits);
        TestDatabase db;
        Connection &c = db.connection();
        const QString password = QStringLiteral("select czy_pass from czyzd where czy_name='admin'");
        const QVariant before = db.scalar(password);
        try {
            TransactionGuard outer(c);
            c.execute(QStringLiteral("insert into hyxczhuanrang (kh, zhuanrangkh) values ('A01', 'A02')"));
            {
                std::unique_ptr<TransactionGuard> inner(nested ? new TransactionGuard(c) : nullptr);
                Recordset rs;
                rs.open(QStringLiteral("select * from czyzd where czy_name='admin'"), &c, LockType::Optimistic);
                rs.setValue(QStringLiteral("czy_pass"), QStringLiteral("changed"));
                rs.update();
                if (inner)
                    inner->commit();
            }
            // An inner commit must not have ended the outer command.
            QVERIFY(c.inTransaction());
            if (fails)
                c.execute(QStringLiteral("insert into czyzd (czy_name) values ('王芳')")); // a duplicate name
            if (commits)
                outer.commit();
        } catch (const DbException &e) {
            QVERIFY(fails);
            QCOMPARE(e.number(), DbErrorCode::GeneralFailure);
        }
        QVERIFY(!c.inTransaction());
        const bool kept = commits && !fails;
        QCOMPARE(db.count(QStringLiteral("hyxczhuanrang")), kept ? 1 : 0);
        QCOMPARE(db.scalar(password), kept ? QVariant(QStringLiteral("changed")) : before);
        // The next command starts afresh and keeps what it commits.
        TransactionGuard next(c);
        c.execute(QStringLiteral("update czyzd set czy_pass='new' where czy_name='admin'"));
        next.commit();
        QCOMPARE(db.count(QStringLiteral("czyzd where czy_pass='new'")), 1);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
