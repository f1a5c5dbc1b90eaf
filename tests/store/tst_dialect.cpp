// The program's SQL dialect on both engines, and whole archives moved between
// them: the same statement, run through `torvane --sql` on a demo archive file,
// on its copy on the server (--copy-database), on the copy brought back to a
// file and on a server archive the file was restored onto, must print the same bytes.
#include "store/archivecopy.h"
#include "store/archiverestore.h"
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
        QVERIFY(ArchiveCopy::copy(m_file, m_copied.uri()).contains(QStringLiteral("hyxc\t2000")));
        // The statistics kept while the tickets came in are left compact: writing them afresh gains nothing.
        Connection copied;
        copied.openLocation(m_copied.uri());
        for (const char *kept : {"sumhangkong", "sumgeren", "sumdaoda", "sumkh"}) {
            const QString size = QStringLiteral("select pg_relation_size('%1')").arg(kept);
            const qint64 before = copied.scalar(size).toLongLong();
            copied.executeScript(QStringLiteral("VACUUM FULL %1").arg(kept));
            QCOMPARE(copied.scalar(size).toLongLong(), before);
        }
        ArchiveCopy::copy(m_copied.uri(), back);
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
