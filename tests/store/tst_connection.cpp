// Opening databases, error reports, quoting of spliced values and transactions.
#include "store/pgengine.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <limits>

class TestConnection : public QObject
{
    Q_OBJECT
private slots:
    void openConnectionText_data();
    void openConnectionText();
    void refusedFile_data();
    void refusedFile();
    void refusedServerDatabase_data();
    void refusedServerDatabase();
    void passwordAskedOnce();
    void droppedServerConnection_data();
    void droppedServerConnection();
    void missingNameIsReported_data();
    void missingNameIsReported();
    void oneStatementPerCall_data();
    void oneStatementPerCall();
    void quotedValueRoundTrips_data();
    void quotedValueRoundTrips();
    void numberRoundTrips_data();
    void numberRoundTrips();
    void failureRollsBack();
    void nestedGuardJoins_data();
    void nestedGuardJoins();

private:
    // One archive for the cases that leave it as they found it.
    TestDatabase &shared()
    {
        if (!m_shared)
            m_shared = std::make_unique<TestDatabase>();
        return *m_shared;
    }
    std::unique_ptr<TestDatabase> m_shared;
};

void TestConnection::openConnectionText_data()
{
    QTest::addColumn<QString>("text"); // %1: the folder with its trailing separator, %2: the file name

    QTest::newRow("as the windows build it") << "data source=%1/%2";
    QTest::newRow("provider and more parts")
        << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1%2;Persist Security Info=False";
    QTest::newRow("blanks and a closing semicolon") << "data source= %1%2 ;";
}

void TestConnection::openConnectionText()
{
    QFETCH(QString, text);
    TestDatabase &db = shared();
    QVERIFY(db.folder().endsWith(QLatin1Char('/')));
    Connection c;
    c.open(text.arg(db.folder(), db.fileName()));
    QVERIFY(c.isOpen());
    if (TestDatabase::onServer())
        QCOMPARE(c.location(), db.path());
    else
        QCOMPARE(QFileInfo(c.location()).canonicalFilePath(), QFileInfo(db.path()).canonicalFilePath());
    Recordset rs;
    rs.open(QStringLiteral("select count(*) from czyzd"), &c);
    QCOMPARE(rs.value(0).toInt(), 2);
}

void TestConnection::refusedFile_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"missing", "random bytes", "empty", "other application", "folder"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestConnection::refusedFile()
{
    QFETCH(QString, kind);
    TestDatabase &db = shared();
    const QString path = db.tempDir() + QStringLiteral("/other.db");
    if (kind == QLatin1String("random bytes") || kind == QLatin1String("empty")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QRandomGenerator random(7);
        for (int i = 0; kind == QLatin1String("random bytes") && i < 8192; ++i)
            file.putChar(char(random.bounded(256)));
    } else if (kind == QLatin1String("other application")) {
        // A proper SQLite file, but not one of ours.
        DatabaseCreator::create(path);
        Connection other;
        other.openLocation(path);
        other.executeScript(QStringLiteral("PRAGMA application_id=7; PRAGMA journal_mode=DELETE;"));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(path));
    }
    QFile file(path);
    const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();

    Connection c;
    try {
        c.open(Connection::connectionText(db.tempDir(), QStringLiteral("other.db")));
        QFAIL("the file was opened");
    } catch (const DbException &e) {
        QCOMPARE(e.number(), DbErrorCode::GeneralFailure);
        QVERIFY2(e.description().contains(QStringLiteral("other.db")), qPrintable(e.description()));
    }
    QVERIFY(!c.isOpen());
    // Looking at a file that is not ours must not change it.
    if (file.open(QIODevice::ReadOnly))
        QCOMPARE(file.readAll(), before);
    QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")));
    QFile::remove(path);
    QDir(path).removeRecursively();
}

void TestConnection::refusedServerDatabase_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"missing database", "no server there", "empty database", "another program's tables"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestConnection::refusedServerDatabase()
{
    QFETCH(QString, kind);
    if (!TestDatabase::onServer())
        QSKIP("server locations: run with TORVANE_TEST_ENGINE=postgres");
    ServerDatabase other;
    QString uri = other.uri();
    if (kind == QLatin1String("missing database"))
        uri.replace(QLatin1String("/t_"), QLatin1String("/nosuch_"));
    else if (kind == QLatin1String("no server there"))
        uri.replace(QRegularExpression(QStringLiteral("port=\\d+")), QStringLiteral("port=1"));
    if (kind == QLatin1String("another program's tables")) {
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

void TestConnection::passwordAskedOnce()
{
    if (!TestDatabase::onServer())
        QSKIP("server passwords: run with TORVANE_TEST_ENGINE=postgres");
    // The test server asks torvane_pw for its password ("secret"); nothing else gives it.
    TestDatabase db;
    QString uri = db.path();
    uri.replace(QLatin1String("//torvane@"), QLatin1String("//torvane_pw@"));
    QStringList asked;
    QString answer = QStringLiteral("wrong");
    Connection::setPasswordProvider([&](const QString &location) {
        asked << location;
        return std::exchange(answer, QStringLiteral("secret"));
    });
    Connection first;
    first.openLocation(uri);
    QCOMPARE(asked, QStringList({uri, uri}));
    QCOMPARE(first.scalar(QStringLiteral("select count(*) from czyzd")).toInt(), 2);
    // A second connection of the same seat (a query window's) is not asked again.
    Connection second;
    second.openLocation(uri);
    QCOMPARE(asked.size(), 2);
    // Given in the location, a password is used but never shown or kept in it.
    Connection third;
    third.openLocation(QString(uri).replace(QLatin1String("torvane_pw@"), QLatin1String("torvane_pw:secret@")));
    QCOMPARE(third.location(), uri);
    Connection::setPasswordProvider({});
}

void TestConnection::droppedServerConnection_data()
{
    QTest::addColumn<bool>("inCommand");
    QTest::newRow("between commands") << false;
    QTest::newRow("in the middle of a command") << true;
}

void TestConnection::droppedServerConnection()
{
    QFETCH(bool, inCommand);
    if (!TestDatabase::onServer())
        QSKIP("server connections: run with TORVANE_TEST_ENGINE=postgres");
    TestDatabase db;
    Connection &c = db.connection();
    std::unique_ptr<TransactionGuard> command;
    if (inCommand) {
        command = std::make_unique<TransactionGuard>(c);
        c.execute(QStringLiteral("insert into jifenallow (kh, jifen) values ('D1', 1)"));
    }
    // The server ends this seat's session (restarted, or an administrator's doing).
    Connection admin;
    admin.openLocation(db.path());
    QCOMPARE(admin.scalar(QStringLiteral("select count(pg_terminate_backend(pid)) from pg_stat_activity "
                                         "where datname=current_database() and pid<>pg_backend_pid()"))
                 .toInt(),
             1);
    QTest::qWait(200);
    try {
        c.execute(QStringLiteral("insert into jifenallow (kh, jifen) values ('D1', 2)"));
        if (inCommand)
            command->commit();
        QVERIFY2(!inCommand, "a command whose session was lost reported success");
    } catch (const DbException &e) {
        QVERIFY2(e.description().contains(QStringLiteral("连接已中断")), qPrintable(e.description()));
    }
    command.reset();
    // Nothing of the lost command stays; the next command connects again and works.
    c.execute(QStringLiteral("insert into jifenallow (kh, jifen) values ('D1', 3)"));
    QCOMPARE(db.scalar(QStringLiteral("select sum(jifen) from jifenallow where kh='D1'")).toDouble(), inCommand ? 3.0 : 5.0);
}

void TestConnection::missingNameIsReported_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("name");

    QTest::newRow("table") << "select * from hydax" << "hydax";
    QTest::newRow("column") << "select nosuchcolumn from hyda" << "nosuchcolumn";
    QTest::newRow("column in a condition") << "delete * from hyxc where khx='1'" << "khx";
    QTest::newRow("column of an insert") << "insert into czy (name, nrx) values ('a', 'b')" << "nrx";
    QTest::newRow("view") << "select * from SUMhangkongx WHERE cprq>=#2003-1-1#" << "SUMhangkongx";
}

void TestConnection::missingNameIsReported()
{
    QFETCH(QString, sql);
    QFETCH(QString, name);
    TestDatabase &db = shared();
    try {
        db.connection().execute(sql);
        QFAIL("the statement ran");
    } catch (const DbException &e) {
        QCOMPARE(e.number(), DbErrorCode::GeneralFailure);
        QVERIFY2(e.description().contains(name, Qt::CaseInsensitive), qPrintable(e.description()));
    }
}

void TestConnection::oneStatementPerCall_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("two deletes") << "delete from czy; delete from czyzd" << false;
    QTest::newRow("no blank between") << "delete from czy;delete from czyzd" << false;
    QTest::newRow("smuggled in a value") << "delete from czy where name='x'; delete from czyzd; --'" << false;
    QTest::newRow("select after delete") << "delete * from czy;select 1" << false;
    QTest::newRow("semicolon inside a literal") << "delete from czy where name='a;b';" << true;
    QTest::newRow("trailing semicolons") << "delete from czyzd where czy_name='nobody' ;  ; " << true;
}

void TestConnection::oneStatementPerCall()
{
    QFETCH(QString, sql);
    QFETCH(bool, accepted);
    TestDatabase &db = shared();
    const int rights = db.count(QStringLiteral("czy"));
    const int operators = db.count(QStringLiteral("czyzd"));
    QVERIFY(rights > 0 && operators > 0);
    long error = 0;
    try {
        QCOMPARE(db.connection().execute(sql), 0);
    } catch (const DbException &e) {
        error = e.number();
    }
    QCOMPARE(error, accepted ? 0 : DbErrorCode::GeneralFailure);
    QCOMPARE(db.count(QStringLiteral("czy")), rights);
    QCOMPARE(db.count(QStringLiteral("czyzd")), operators);
}

void TestConnection::quotedValueRoundTrips_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("apostrophe") << "O'Brien";
    QTest::newRow("only quotes") << "''";
    QTest::newRow("closing quote and a statement") << "x'; delete from czy; --";
    QTest::newRow("date marks") << "#2003-1-1#";
    QTest::newRow("jet delete") << "delete * from hyda";
    QTest::newRow("brackets and double quote") << "[a] \"b\"";
    QTest::newRow("chinese with apostrophe") << "李'四";
    QTest::newRow("backslash at the end") << "C:\\";
}

void TestConnection::quotedValueRoundTrips()
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

void TestConnection::numberRoundTrips_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("sqlType");

    QTest::newRow("whole") << 5.0 << "integer";
    QTest::newRow("negative whole") << -300.0 << "integer";
    QTest::newRow("zero") << 0.0 << "integer";
    QTest::newRow("half") << 2.5 << "real";
    QTest::newRow("tenth") << 0.1 << "real";
    QTest::newRow("price") << 1234.56 << "real";
    QTest::newRow("negative fraction") << -0.07 << "real";
    QTest::newRow("tiny") << 1e-9 << "real";
    QTest::newRow("huge") << 1e20 << "real";
}

void TestConnection::numberRoundTrips()
{
    QFETCH(double, value);
    QFETCH(QString, sqlType);
    // A decimal comma in the user's locale must not reach the SQL.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TestDatabase &db = shared();
    const QString text = sqlNumber(value);
    QLocale::setDefault(QLocale::c());
    QVERIFY2(!text.contains(QLatin1Char(',')), qPrintable(text));
    QCOMPARE(db.scalar(QStringLiteral("select typeof(") + text + ')').toString(), sqlType);
    QCOMPARE(db.scalar(QStringLiteral("select ") + text).toDouble(), value);
    QCOMPARE(db.scalar(QStringLiteral("select 1 - ") + text).toDouble(), 1 - value);

    QCOMPARE(sqlNumber(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("0"));
    QCOMPARE(sqlNumber(std::numeric_limits<double>::infinity()), QStringLiteral("0"));
    const qint64 big = std::numeric_limits<qint64>::max();
    QCOMPARE(db.scalar(QStringLiteral("select ") + sqlNumber(big)).toLongLong(), big);
    QCOMPARE(db.scalar(QStringLiteral("select ") + sqlNumber(-42)).toLongLong(), -42);
}

void TestConnection::failureRollsBack()
{
    TestDatabase db;
    Connection &c = db.connection();
    const QString passwordSql = QStringLiteral("select czy_pass from czyzd where czy_name='admin'");
    const QVariant password = db.scalar(passwordSql);
    try {
        TransactionGuard guard(c);
        c.execute(QStringLiteral("insert into hyxczhuanrang (kh, zhuanrangkh) values ('A01', 'A02')"));
        Recordset rs;
        rs.open(QStringLiteral("select * from czyzd where czy_name='admin'"), &c, LockType::Optimistic);
        rs.setValue(QStringLiteral("czy_pass"), QStringLiteral("changed"));
        rs.update();
        c.execute(QStringLiteral("insert into czyzd (czy_name) values ('王芳')")); // a duplicate name
        guard.commit();
        QFAIL("the duplicate was inserted");
    } catch (const DbException &e) {
        QCOMPARE(e.number(), DbErrorCode::GeneralFailure);
    }
    QVERIFY(!c.inTransaction());
    QCOMPARE(db.count(QStringLiteral("hyxczhuanrang")), 0);
    QCOMPARE(db.scalar(passwordSql), password);

    // The next command starts afresh and keeps what it commits.
    {
        TransactionGuard guard(c);
        c.execute(QStringLiteral("insert into hyxczhuanrang (kh, zhuanrangkh) values ('A01', 'A02')"));
        c.execute(QStringLiteral("update czyzd set czy_pass='new' where czy_name='admin'"));
        guard.commit();
    }
    QVERIFY(!c.inTransaction());
    QCOMPARE(db.count(QStringLiteral("hyxczhuanrang")), 1);
    QCOMPARE(db.count(QStringLiteral("czyzd where czy_pass='new'")), 1);
}

void TestConnection::nestedGuardJoins_data()
{
    QTest::addColumn<bool>("outerCommits");
    QTest::newRow("outer commits") << true;
    QTest::newRow("outer gives up") << false;
}

void TestConnection::nestedGuardJoins()
{
    QFETCH(bool, outerCommits);
    TestDatabase db;
    Connection &c = db.connection();
    {
        TransactionGuard outer(c);
        c.execute(QStringLiteral("insert into jifenallow (kh, jifen) values ('A01', 10)"));
        {
            TransactionGuard inner(c);
            c.execute(QStringLiteral("insert into jifenallow (kh, jifen) values ('A01', 20)"));
            inner.commit();
        }
        // The inner commit must not have ended the outer command.
        QVERIFY(c.inTransaction());
        if (outerCommits)
            outer.commit();
    }
    QVERIFY(!c.inTransaction());
    QCOMPARE(db.count(QStringLiteral("jifenallow")), outerCommits ? 2 : 0);
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
