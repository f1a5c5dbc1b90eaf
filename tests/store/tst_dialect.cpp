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
        "select * from hyxc where kh='8800000001' order by id",
        "select ZS, zs, Amount1 from hyxc where id=3",
        "select sum(ZS) as 张数,sum(amount1*ZS) as 公布价,sum(amount3*ZS) as [净价],format(sum(jifen),'###00.00')  as "
        "积分合计,format(sum(jifenyue),'##00.00') as 剩余积分 from hyxc where kh='8800000002'",
        "select count(*), max(cprq), min(amount2) Lowest, avg(ZS) from hyxc",
        "select kh AS CardNo, upper(xm), length(xm) from hyda where id<4 order by CardNo desc",
        "select hangkong, count(*) as N from hyxc group by hangkong order by N desc, hangkong limit 4",
        // Jet literals and functions.
        "select format(#2003-1-5 13:04:09#,'yyyy-mm-dd hh:mm:ss amPM'), format(#5/1/03#,'yyyy-MM-dd')",
        "select format(2.675,'##00.00'), format(-0.001,'###00.00'), format(0.125,'#####0.00%'), format(1234.5,'#####0.00')",
        "select format(init_time,'yyyy-mm-dd hh:mm:ss amPM'), format(null,'##00.00') from czyrz order by tag limit 3",
        "select date() = format(now(),'yyyy-mm-dd'), length(now()), date('2003-01-31', '+1 month', '-2 days', '+1 year')",
        "select count(*) from hyxc where cprq>=#2024-1-1# and cprq<#1/1/2025#",
        "delete * from czyrz where last_time < #2000-1-1#",
        "select 10/4, 10/4.0, 1/3.0, 7 % 3, 1e3, 2.50, -0.0, 'a' || null, 'x' || 5",
        "select trim('  x '), substr('abcdef', 2, 3), replace('a-b-c', '-', ''), ifnull(null, 'n'), coalesce(null, 2)",
        // Text without regard to case, in =, like, ordering, grouping.
        "select czy_name from czyzd where czy_name='ADMIN' or czy_name like 'AD%'",
        "select kh, xm, email from hyda where email like 'MEMBER1%' order by email",
        "select count(*) from hyda where xm like '_芳' or xm like '%\\%' or dz like '%号'",
        "select xb, count(*) from hyda group by xb order by xb",
        "select distinct hangkong from hyxc order by hangkong desc",
        "select 'abc' = 'ABC', 'abc' like 'ABC', 'a_c' like 'a\\_c'",
        // Passwords are exact.
        "select count(*) from czyzd where czy_pass='ADMIN123'",
        // Nulls sort lowest, as SQLite sorts them.
        "update hyxc set bz=null where id in (3,6)",
        "select id, bz from hyxc where id<8 order by bz, id",
        "select id, bz from hyxc where id<8 order by bz desc, id desc",
        "select class, sm from dict order by rowid",
        "select * from pr_codedict where table_code='SUMJIFEN' order by rowid",
        // Yes/no columns and comparisons read as 0 and 1.
        "select czy_name, sys_tag, sys_tag=true, czy_no>1 from czyzd order by czy_no",
        "select count(*) as n from czyzd where sys_tag=false",
        "select true, false, null, 1=1",
        "select count(*) from czyzd where sys_tag=1 or sys_tag<>0",
        "select xm from hyda where kh=8800000001 or kh=1.5",
        // Statistics sources, views and catalogue statements.
        "select * from SUMhangkong WHERE hangkong='国航' order by cprq, neivai",
        "select id,kh,xm,sj,hyjb,djrc,cs,jifen,jifenyue from SUMJIFEN   WHERE kh='8800000003'",
        "select * from SRriqi  WHERE cprq>='2024-01-01' and cprq<='2024-03-31'",
        "select * from SRhangkong  WHERE hangkong='东航' and cprq like '2024%'",
        "select * from SRdpy",
        "select * from pr_report order by xh",
        // Joins, subqueries, compounds.
        "select a.kh, a.xm, count(b.id) from hyda a left join hyxc b on b.kh=a.kh where a.id<5 group by a.kh, a.xm order by a.kh",
        "select count(*) from (select kh from hyxc group by kh having sum(jifen)>100)",
        "select kh from hyda where kh in (select kh from hyxc where amount2>3000) order by kh limit 5",
        "select kh from hyda where id<3 union select kh from hyxc where id<3 order by 1",
        "select case when ZS>1 then 'many' else 'one' end, ZS between 1 and 2 from hyxc where id<4 order by id",
        "select kh, xm from hyda where xm like '李%' and id between 1 and 40 order by id limit 3 offset 1",
        // Quoting as the quoting helper writes it.
        "select count(*) from hyda where xm='O''Brien' or bz='C:\\'",
        "update hyxc set bz='it''s' where id=2",
        "select bz, typeof(bz) from hyxc where id=2",
        // Writes report the rows they changed.
        "insert into jifenallow(kh,czy,jifen,bz) values('8800000001','王芳',12.5,'测试')",
        "select kh, czy, jifen, bz from jifenallow where bz='测试'",
        "update hyxc set jifenyue=jifenyue where kh='8800000001'",
        "delete * from jifenallow where bz='测试'",
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
