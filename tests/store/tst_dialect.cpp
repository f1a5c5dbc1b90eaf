// The program's SQL dialect on both engines, and whole archives moved between
// them: the same statement, run through `torvane --sql` on a demo archive file,
// on its copy on the server (--copy-database), on the copy brought back to a
// file and on a server archive the file was restored onto, must print the same bytes.
#include "store/archivecopy.h"
#include "store/archiverestore.h"
#include "store/reportorder.h"
#include "store/serverroles.h"
#include "support/testdatabase.h"

#include <QProcess>
#include <QTest>

class TestDialect : public QObject
{
    Q_OBJECT
    // Exit code, then what the program wrote to stdout and to stderr.
    std::tuple<int, QByteArray, QByteArray> sql(const QString &location, const QString &statement)
    {
        QProcess p;
        p.start(QStringLiteral(TORVANE_PROGRAM), {QStringLiteral("--sql"), location, statement});
        p.waitForFinished(30000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
    }
    QTemporaryDir m_dir;
    QString m_file;
    ServerDatabase m_copied, m_restored;
    QStringList m_others; // the locations that must answer as the file does

private slots:
    void initTestCase()
    {
        m_file = m_dir.path() + QStringLiteral("/kvora.db");
        const QString back = m_dir.path() + QStringLiteral("/back.db");
        DatabaseCreator::createDemo(m_file, DemoSize{40, 2000});
        const QStringList report = ArchiveCopy::copy(m_file, m_copied.uri());
        QVERIFY(report.contains(QStringLiteral("hyxc\t2000")));
        // The operators arrive as roles without passwords, and the report says how to give them one.
        QCOMPARE(report.filter(QStringLiteral("has no password yet: torvane --reset-password ")).size(), 2);
        // The statistics kept while the tickets came in are left compact: writing them afresh gains nothing.
        Connection copied;
        copied.openLocation(m_copied.uri());
        const QString clerk = ServerRoles::withUser(m_copied.uri(), ServerRoles::roleOf(copied, QStringLiteral("王芳")));
        // No login until the owner gives the operator a password, from the terminal.
        QCOMPARE(ServerRoles::tryPassword(clerk, QStringLiteral("wf1234")), ServerRoles::Answer::Refused);
        QProcess reset;
        reset.start(QStringLiteral(TORVANE_PROGRAM), {"--reset-password", "王芳", "--database", m_copied.uri()});
        reset.write("wf1234\nwf1234\n");
        reset.closeWriteChannel();
        QVERIFY(reset.waitForFinished(30000) && reset.exitCode() == 0);
        QCOMPARE(ServerRoles::tryPassword(clerk, QStringLiteral("wf1234")), ServerRoles::Answer::Accepted);
        for (const char *kept : {"sumhangkong", "sumgeren", "sumdaoda", "sumkh"}) {
            const QString size = QStringLiteral("select pg_relation_size('%1')").arg(kept);
            const qint64 before = copied.scalar(size).toLongLong();
            copied.executeScript(QStringLiteral("VACUUM FULL %1").arg(kept));
            QCOMPARE(copied.scalar(size).toLongLong(), before);
        }
        QCOMPARE(ArchiveCopy::copy(m_copied.uri(), back).filter(QStringLiteral("--reset-password 王芳")).size(), 1);
        // A restore keeps what was there as a file first; a bad backup changes nothing.
        DatabaseCreator::createDemo(m_restored.uri(), DemoSize{10, 50});
        Connection c;
        c.openLocation(m_restored.uri());
        QVERIFY_THROWS_EXCEPTION(DbException, ArchiveRestore::restore(c, back + QStringLiteral(".missing")));
        const QString kept = ArchiveRestore::restore(c, m_file);
        QCOMPARE(std::get<1>(sql(kept, QStringLiteral("select count(*) from hyxc"))), QByteArray("count(*)\n50\n"));
        QFile::remove(kept);
        m_others = {m_copied.uri(), back, m_restored.uri()};
    }

    void sameOnBothEngines_data()
    {
        QTest::addColumn<QString>("statement");
        const QStringList cases = {
            // Every row that was copied, in its order.
            "select * from hyda order by id",
            "select * from hyxc order by id",
            // Names: declared spelling, aliases as written, expressions by their text.
            "select sum(ZS) as 张数,sum(amount3*ZS) as [净价],format(sum(jifen),'###00.00')  as 积分合计 from hyxc where kh='8800000002'",
            "select kh AS CardNo, upper(xm), length(xm) from hyda where id<4 order by CardNo desc",
            // Jet literals and functions, numbers.
            "select format(#2003-1-5 13:04:09#,'yyyy-mm-dd hh:mm:ss amPM'), format(#5/1/03#,'yyyy-MM-dd')",
            "select 10/4, 10/4.0, 1/3.0, 7 % 3, 1e3, 2.50, -0.0, 'a' || null, 'x' || 5",
            // Text without regard to case, in =, like, ordering; passwords exact.
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
            "select kh from hyda where id<3 union select kh from hyxc where id<3 order by 1",
            "select hangkong from SUMhangkong where hangkong='国航' union select null order by hangkong",
            // Writes report the rows they changed, numbers once handed out are not handed out again; failures alike.
            "delete * from czyrz where last_time < #2030-1-1#",
            "insert into hyda (kh, xm) values ('NEW1', '新')",
            "select id from hyda where kh='NEW1'",
            "select nosuchcolumn from hyda",
        };
        for (const QString &statement : cases)
            QTest::newRow(qPrintable(statement.left(60))) << statement;
    }
    void sameOnBothEngines()
    {
        QFETCH(QString, statement);
        const auto [code, out, err] = sql(m_file, statement);
        for (const QString &location : m_others) {
            const auto [otherCode, otherOut, otherErr] = sql(location, statement);
            QCOMPARE(otherCode, code);
            QCOMPARE(otherOut, out);
            QVERIFY2(code == 0 || otherErr.startsWith("-2147467259 "), otherErr.constData());
        }
    }

    // Catalogue SQL written for Jet: Jet's answers, on the file and on the server.
    void jetAnswers_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("answer"); // the row under the header; "!word": refused, naming word
        const QList<std::pair<const char *, const char *>> rows = {
            {"select iif(1>0,'y','n') as a, iif(null,'y','n') as b, nz(null,'z') as c, isnull(null) as d, isnull('') as e",
             "y|n|z|-1|0"},
            {"select left('abcdef',2) as l, right('abcdef',2) as r, mid('abcdef',2,3) as m, mid('abcdef',5) as m2, "
             "len('中文ab') as n, instr('abcABC','C') as i, instr(4,'abcABC','c') as i2, ltrim('  a ') & '|' as lt, "
             "ucase('abc') as u, lcase('ABC') as lc, space(2) & '|' as sp, string(3,'xy') as st, replace('aXbX','X','-') as rp",
             "ab|ef|bcd|ef|4|3|6|a ||ABC|abc|  ||xxx|a-b-"},
            {"select left(null,2) as l, len(null) as n, null & 'x' & null as c, 'n' & 5 & 2.5 as c2", "||x|n52.5"},
            {"select int(-2.5) as i, fix(-2.5) as f, round(2.5) as r1, round(3.5) as r2, round(-2.5) as r3, "
             "round(0.125, 2) as r4, sgn(-0.5) as s, sqr(16) as q, cint(2.5) as ci, clng(-3.5) as cl, cdbl('1.5') as cd, "
             "ccur(1.23456) as cc, cstr(0.1+0.2) as cs, val(' 1 2.5e1x') as v, val('abc') as v0",
             "-3|-2|2|4|-2|0.12|-1|4|2|-4|1.5|1.2346|0.3|125|0"},
            {"select 'a' & 5 & null as c, -7 mod 3 as m, 7.5 mod 2 as m2, -7 \\ 2 as d, 2 ^ 10 as p, -2 ^ 2 as p2, "
             "2 ^ -1 as p3, 1 + 2 & 'x' as c2, 2 * 3 mod 4 as m3",
             "a5|-1|0|-3|1024|-4|0.5|3x|2"},
            {"select year(#2024-03-05#) as y, month(#5/1/03#) as m, day('2024-02-29') as d, weekday(#2024-03-03#) as w, "
             "second('2024-03-05 10:11:12') as s, datepart('q', #2024-08-01#) as q, datepart('y', #2024-03-01#) as dy, "
             "datepart('ww', #2024-01-07#) as ww",
             "2024|5|29|1|12|3|61|2"},
            {"select dateadd('m', 1, #2024-01-31#) as a1, dateadd('yyyy', 1, #2024-02-29#) as a2, "
             "dateadd('h', 25, #2024-12-31 23:00:00#) as a3, dateadd('n', 90, #2024-12-31#) as a4, "
             "datediff('d', #2023-12-31#, #2024-01-01#) as d1, datediff('yyyy', #2023-12-31#, #2024-01-01#) as d2, "
             "datediff('ww', #2024-01-06#, #2024-01-07#) as d3, datediff('h', #2024-01-01 10:59:00#, #2024-01-01 11:01:00#) as d4, "
             "dateserial(2024, 14, 1) as s1, dateserial(24, 2, 30) as s2, datevalue('2024-03-05 10:11:12') as v",
             "2024-02-29|2025-02-28|2025-01-02|2024-12-31 01:30:00|1|1|1|1|2025-02-01|2024-03-01|2024-03-05"},
            {"select format(1234567.891,'#,##0.00') as f1, format(0,'#,##0.00') as f2, format(-1234.5,'Standard') as f3, "
             "format(0.256,'0.0%') as f4, format(3,'Fixed') as f5, format(0,'Yes/No') as f6, "
             "format(#2024-03-05#,'yyyy年m月d日') as f7, format(#2024-03-05#,'Short Date') as f8, format(1.5,'#.##') as f9",
             "1,234,567.89|0.00|-1,234.50|25.6%|3.00|No|2024年3月5日|2024/3/5|1.5"},
            // TOP keeps the rows tied with the last; without an order, the first rows as stored.
            {"select top 1 a from (select 1 as a union all select 1 union all select 2) order by a", "1 1"},
            {"select top 10 percent kh from hyda where kh like '88%' order by kh desc", "8800000040 8800000039 8800000038 8800000037"},
            {"select distinctrow a from (select 1 as a union all select 1 union all select 2) order by a", "1 2"},
            {"transform sum(jifen) select kh from hyxc group by kh pivot hangkong", "!TRANSFORM"},
            {"select myvbafunction(kh) from hyda", "!myvbafunction"}};
        for (const auto &[statement, answer] : rows)
            QTest::newRow(qPrintable(QString::fromUtf8(statement).left(60))) << QString::fromUtf8(statement) << QString::fromUtf8(answer);
    }
    void jetAnswers()
    {
        QFETCH(QString, statement);
        QFETCH(QString, answer);
        for (const QString &location : {m_file, m_copied.uri()}) {
            const auto [code, out, err] = sql(location, statement);
            if (answer.startsWith(QLatin1Char('!'))) {
                QCOMPARE(code, 1);
                QVERIFY2(QString::fromUtf8(err).contains(answer.mid(1), Qt::CaseInsensitive), err.constData());
                continue;
            }
            QVERIFY2(code == 0, err.constData());
            QStringList rows = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            rows.removeFirst(); // the header
            QCOMPARE(rows.join(QLatin1Char(' ')).replace(QLatin1Char('\t'), QLatin1Char('|')), answer);
        }
    }

    // The statistics as a report reads them: in the order of their keys, on both engines.
    void statisticsInKeyOrder()
    {
        const QString statement = ReportOrder::ordered(QStringLiteral("select cprq, hangkong from SUMhangkong WHERE hangkong='国航'"));
        const QByteArray onFile = std::get<1>(sql(m_file, statement));
        QCOMPARE(std::get<1>(sql(m_copied.uri(), statement)), onFile);
        QStringList days = QString::fromUtf8(onFile).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        days.removeFirst();
        QVERIFY(days.size() > 2);
        QStringList sorted = days;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(days, sorted);
    }

    void nulRefusedOnServer()
    {
        // Server text cannot hold a NUL: the statement is refused, saying why, and nothing is written.
        const QString statement = QStringLiteral("insert into jifenallow(kh,bz) values('N1','a'||char(0)||'b')");
        QCOMPARE(std::get<0>(sql(m_file, statement)), 0);
        const auto [code, out, err] = sql(m_copied.uri(), statement);
        QCOMPARE(code, 1);
        QVERIFY2(err.contains("NUL"), err.constData());
        QCOMPARE(std::get<1>(sql(m_copied.uri(), QStringLiteral("select count(*) from jifenallow where kh='N1'"))), QByteArray("count(*)\n0\n"));
    }
};

QTEST_GUILESS_MAIN(TestDialect)
#include "tst_dialect.moc"
