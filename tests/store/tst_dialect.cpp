// The program's SQL dialect on both engines: the same statement, run through
// `torvane --sql` on the same demo archive as a file and on the server, must
// print the same bytes.
#include "support/testdatabase.h"

#include <QProcess>
#include <QTest>

class TestDialect : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sameOnBothEngines_data();
    void sameOnBothEngines();
    void nulRefusedOnServer();

private:
    struct Run
    {
        int exitCode;
        QByteArray out;
        QByteArray err;
    };
    Run sql(const QString &location, const QString &statement);

    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<ServerDatabase> m_server;
};

void TestDialect::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_file = m_dir.path() + QStringLiteral("/kvora.db");
    m_server = std::make_unique<ServerDatabase>();
    const DemoSize size{40, 400};
    DatabaseCreator::createDemo(m_file, size);
    DatabaseCreator::createDemo(m_server->uri(), size);
}

TestDialect::Run TestDialect::sql(const QString &location, const QString &statement)
{
    QProcess p;
    p.start(QStringLiteral(TORVANE_PROGRAM), {QStringLiteral("--sql"), location, statement});
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

void TestDialect::sameOnBothEngines_data()
{
    QTest::addColumn<QString>("statement");
    const QStringList cases = {
        // Names: declared spelling, aliases as written, expressions by their text.
        "select ZS, zs, Amount1 from hyxc where id=3",
        "select sum(ZS) as 张数,sum(amount3*ZS) as [净价],format(sum(jifen),'###00.00')  as 积分合计 from hyxc where kh='8800000002'",
        "select kh AS CardNo, upper(xm), length(xm) from hyda where id<4 order by CardNo desc",
        // Jet literals and functions, numbers.
        "select format(#2003-1-5 13:04:09#,'yyyy-mm-dd hh:mm:ss amPM'), format(#5/1/03#,'yyyy-MM-dd')",
        "select count(*) from hyxc where cprq>=#2024-1-1# and cprq<#1/1/2025#",
        "select 10/4, 10/4.0, 1/3.0, 7 % 3, 1e3, 2.50, -0.0, 'a' || null, 'x' || 5",
        // Text without regard to case, in =, like, ordering; passwords exact.
        "select czy_name from czyzd where czy_name='ADMIN' or czy_name like 'AD%'",
        "select kh, xm, email from hyda where email like 'MEMBER1%' order by email",
        "select 'abc' = 'ABC', 'abc' like 'ABC', 'a_c' like 'a\\_c'",
        "select count(*) from czyzd where czy_pass='ADMIN123'",
        // Nulls sort lowest, as SQLite sorts them; yes/no columns read as 0 and 1.
        "update hyxc set bz=null where id in (3,6)",
        "select id, bz from hyxc where id<8 order by bz desc, id desc",
        "select czy_name, sys_tag, sys_tag=true, czy_no>1 from czyzd order by czy_no",
        // Statistics sources and catalogue statements; compounds.
        "select * from SUMhangkong WHERE hangkong='国航' order by cprq, neivai",
        "select * from SRriqi  WHERE cprq>='2024-01-01' and cprq<='2024-03-31'",
        "select a.kh, count(b.id) from hyda a left join hyxc b on b.kh=a.kh where a.id<5 group by a.kh order by a.kh",
        "select kh from hyda where id<3 union select kh from hyxc where id<3 order by 1",
        // Writes report the rows they changed; failures alike.
        "update hyxc set bz='it''s' where id=2",
        "delete * from czyrz where last_time < #2030-1-1#",
        "select nosuchcolumn from hyda",
    };
    for (const QString &statement : cases)
        QTest::newRow(qPrintable(statement.left(60))) << statement;
}

void TestDialect::sameOnBothEngines()
{
    QFETCH(QString, statement);
    const Run file = sql(m_file, statement);
    const Run server = sql(m_server->uri(), statement);
    QCOMPARE(server.exitCode, file.exitCode);
    if (file.exitCode == 0)
        QCOMPARE(server.out, file.out);
    else
        QVERIFY2(server.err.startsWith("-2147467259 "), server.err.constData());
}

void TestDialect::nulRefusedOnServer()
{
    // Server text cannot hold a NUL: the statement is refused, saying why, and nothing is written.
    const QString statement = QStringLiteral("insert into jifenallow(kh,bz) values('N1','a'||char(0)||'b')");
    QCOMPARE(sql(m_file, statement).exitCode, 0);
    const Run server = sql(m_server->uri(), statement);
    QCOMPARE(server.exitCode, 1);
    QVERIFY2(server.err.contains("NUL"), server.err.constData());
    QCOMPARE(sql(m_server->uri(), QStringLiteral("select count(*) from jifenallow where kh='N1'")).out, QByteArray("count(*)\n0\n"));
}

QTEST_GUILESS_MAIN(TestDialect)
#include "tst_dialect.moc"
