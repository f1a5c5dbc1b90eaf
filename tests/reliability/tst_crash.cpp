// Kills torvane-crashdriver with SIGKILL at random moments while it runs the
// commands that write several statements, then reopens the archive with the
// program's own connection: every command that returned is kept, the one
// under way is there wholly or not at all, and no point is made or lost. On a
// server the server rolls back what the killed seat left open.
// TORVANE_CRASH_KILLS sets the number of kills (70, 35 on a server), TORVANE_CRASH_SEED the delays.
#include "store/transactionguard.h"
#include "store/serverroles.h"
#include "support/testdatabase.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <csignal>
#include <thread>

namespace {

// For each kind: how many of its commands the archive holds, and what is wrong with it (each query gives 0 when sound).
struct Kind
{
    const char *name, *applied;
    QStringList broken;
};
const QList<Kind> kKinds = {
    {"clear", "select count(*) from jifenallow where kh='CR-CLR'",
     {// every point is still on a row or in a clearing log row of this operator
      "select abs((select total(jifenyue) from hyxc where kh='CR-CLR') + (select total(jifen) from jifenallow where kh='CR-CLR') - 3000) "
      "+ (select count(*) from jifenallow where kh='CR-CLR' and czy<>'CR操作员')"}},
    {"transfer-all", "select count(*)/150 from hyxczhuanrang where kh in ('CR-TA','CR-TB')",
     {// each transfer moved and logged every row, or did neither
      "select (select count(*) from hyxczhuanrang where kh in ('CR-TA','CR-TB')) % 150 + abs((select total(jifenyue) from hyxc "
      "where kh like 'CR-T_') - 741) + (select count(distinct kh) - 1 + abs(count(*) - 150) from hyxc where kh like 'CR-T_')"}},
    {"transfer-row", "select count(*) from hyxczhuanrang where kh='CR-RA'",
     {// each moved row is on CR-RB with a log row of its points, or still on CR-RA without one
      "select abs((select total(jifenyue) from hyxc where kh in ('CR-RA', 'CR-RB')) - 1580) + abs((select count(*) from hyxc where "
      "kh='CR-RB') - (select count(*) from hyxczhuanrang where kh='CR-RA')) + abs((select total(jifenyue) from hyxc where kh='CR-RB') "
      "- (select total(jifenyue) from hyxczhuanrang where kh='CR-RA'))"}},
    {"delete-customer", "select 40 - count(*) from hyda where kh like 'CR-D%'",
     {// a customer with all its tickets or neither
      "select count(*) from hyxc where kh like 'CR-D%' and kh not in (select kh from hyda)",
      "select count(*) from hyda h where kh like 'CR-D%' and (select count(*) from hyxc where kh=h.kh) <> 10 + cast(substr(kh, 5) as integer) % 7"}},
    {"refund", "select count(*) from hyxc where kh='CR-RF' and zt<>'正常'",
     {// the ticket changed with its log row, or neither
      "select count(*) from hyxc h where kh='CR-RF' and (select count(*) from czyrz where czyxm in ('退票 '||h.hangkong||' id='||h.id, "
      "'作废 '||h.hangkong||' id='||h.id)) <> (case when zt='正常' then 0 else 1 end)"}},
};

} // namespace

class CrashTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (const int kills = qEnvironmentVariableIntValue("TORVANE_CRASH_KILLS"))
            m_kills = kills;
        if (const int seed = qEnvironmentVariableIntValue("TORVANE_CRASH_SEED"))
            m_random.seed(seed);
        // The crash customers: tickets of 5 points to clear, 150 (741 points) to move back and forth, 200 (1580)
        // to move one by one, 40 to delete and 120 to refund.
        m_template = m_dir.filePath(QStringLiteral("template.db"));
        if (TestDatabase::onServer())
            m_template = (m_server = std::make_unique<ServerDatabase>())->uri();
        DatabaseCreator::createDemo(m_template, DemoSize{30, 300});
        Connection c;
        c.openLocation(m_template);
        TransactionGuard transaction(c);
        c.execute(QStringLiteral("insert into czyzd(czy_name,czy_pass,sys_tag) values('CR操作员','x',false)"));
        c.execute(QStringLiteral("insert into czy(name,czy_id,nr) values('CR操作员',0,'客户登记'),('CR操作员',0,'积分转让')"));
        int serial = 0;
        auto add = [&](const QString &kh, int tickets, std::function<int(int)> points) {
            c.execute(QStringLiteral("insert into hyda(kh,xm,xb) values(?,?,'男')"), {kh, QStringLiteral("测试") + kh});
            for (int i = 0; i < tickets; ++i, ++serial)
                c.execute(QStringLiteral("insert into hyxc(kh,cprq,qfrq,daoda,kaishi,hbh,cw,piaohao,ZS,amount1,amount2,amount3,jfbl,"
                                         "hangkong,neivai,sxf,zt,czy,lrrq,jifen,jifenyue) values(?,?,'2024-03-01','北京','上海','MU1',"
                                         "'Y',?,1,?,?,?,5,?,'国内',30,'正常','王芳','2024-02-20',?,?)"),
                          {kh, QStringLiteral("2024-02-%1").arg(10 + serial % 19), QStringLiteral("CR-%1").arg(serial), 1000 + serial,
                           900 + serial % 50, 850 + serial % 40, QStringList{"东航", "国航", "南航"}.at(serial % 3), points(i), points(i)});
        };
        add(QStringLiteral("CR-CLR"), 600, [](int) { return 5; });
        add(QStringLiteral("CR-TA"), 150, [](int i) { return 1 + i % 9; });
        add(QStringLiteral("CR-TB"), 0, {});
        add(QStringLiteral("CR-RA"), 200, [](int i) { return 2 + i % 13; });
        add(QStringLiteral("CR-RB"), 0, {});
        for (int d = 1; d <= 40; ++d)
            add(QStringLiteral("CR-D%1").arg(d, 3, 10, QLatin1Char('0')), 10 + d % 7, [](int) { return 4; });
        add(QStringLiteral("CR-RF"), 120, [](int) { return 10; });
        transaction.commit();
        // The sample itself must pass the checks, or they prove nothing.
        for (const Kind &kind : kKinds)
            QCOMPARE(check(c, kind), QString());
        c.close();
    }

    void killDuringCommand_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("rounds");
        for (int i = 0; i < kKinds.size(); ++i)
            QTest::newRow(kKinds.at(i).name) << i << m_kills / int(kKinds.size()) + (i < m_kills % kKinds.size() ? 1 : 0);
    }

    void killDuringCommand()
    {
        QFETCH(int, kind);
        QFETCH(int, rounds);
        const Kind &k = kKinds.at(kind);
        int kills = 0, interrupted = 0, kept = 0;
        // A round in which the driver runs out of work before the kill does not count.
        for (int round = 0; kills < rounds; ++round) {
            QVERIFY2(round < 2 * rounds + 10, "the driver keeps finishing before the kill");
            std::unique_ptr<ServerDatabase> server;
            QString location = m_dir.filePath(QStringLiteral("crash.db"));
            if (TestDatabase::onServer()) {
                server = std::make_unique<ServerDatabase>(m_template);
                // The driver is a seat: it runs as the operator, whose password its location carries.
                Connection owner;
                owner.openLocation(server->uri());
                ServerRoles::setPassword(owner, QStringLiteral("CR操作员"), QStringLiteral("crash-pw"));
                location = ServerRoles::withUser(server->uri(), ServerRoles::roleOf(owner, QStringLiteral("CR操作员")))
                               .replace(QStringLiteral("@/"), QStringLiteral(":crash-pw@/"));
            } else {
                for (const char *suffix : {"", "-wal", "-shm"})
                    QFile::remove(location + QLatin1String(suffix));
                QVERIFY(QFile::copy(m_template, location));
            }
            QProcess driver;
            driver.start(QStringLiteral(TORVANE_CRASHDRIVER), {location, QString::fromLatin1(k.name)});
            QVERIFY(driver.waitForStarted(30000));
            QByteArray out;
            // Now and then the kill lands while the driver is still opening the archive and its windows.
            if (round % 8 != 7) {
                while (!out.contains("ready\n") && driver.waitForReadyRead(30000))
                    out += driver.readAllStandardOutput();
                QVERIFY2(out.contains("ready\n"), (out + driver.readAllStandardError()).constData());
            }
            // Microseconds to tens of milliseconds, evenly spread over the orders of magnitude.
            std::this_thread::sleep_for(std::chrono::microseconds(qint64(std::exp(m_random.generateDouble() * std::log(40000.0)))));
            ::kill(pid_t(driver.processId()), SIGKILL);
            QVERIFY(driver.waitForFinished(30000));
            out += driver.readAllStandardOutput();
            QVERIFY2(!out.contains("error") && (driver.exitStatus() == QProcess::CrashExit ? driver.exitCode() == SIGKILL : out.endsWith("exhausted\n")),
                     (out + driver.readAllStandardError()).constData());
            kills += driver.exitStatus() == QProcess::CrashExit;

            Connection c;
            c.openLocation(server ? server->uri() : location);
            // The killed seat's server process goes once it finds its client gone, rolling back what was open.
            for (QDeadlineTimer gone(20000); server && !gone.hasExpired()
                 && c.scalar(QStringLiteral("select count(*) from pg_stat_activity where datname=current_database() and pid<>pg_backend_pid()")).toInt();)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const QString wrong = check(c, k);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
            const qint64 begun = out.count("begin\n"), done = out.count("done\n"), applied = c.scalar(QString::fromUtf8(k.applied)).toLongLong();
            QVERIFY2(applied == done || (begun > done && applied == begun), qPrintable(QStringLiteral("%1 applied, %2 begun, %3 done").arg(applied).arg(begun).arg(done)));
            interrupted += begun > done;
            kept += begun > done && applied == begun;
        }
        qInfo("%s: %d kills, %d in the middle of a command (%d of them kept whole)", k.name, kills, interrupted, kept);
    }

private:
    QString check(Connection &c, const Kind &kind);
    QTemporaryDir m_dir;
    std::unique_ptr<ServerDatabase> m_server; // the template archive on a server
    QString m_template;
    int m_kills = TestDatabase::onServer() ? 35 : 70;
    QRandomGenerator m_random{20240501};
};

QString CrashTest::check(Connection &c, const Kind &kind)
{
    QStringList wrong;
    if (!TestDatabase::onServer() && c.scalar(QStringLiteral("PRAGMA integrity_check")).toString() != QLatin1String("ok"))
        wrong << QStringLiteral("integrity check failed");
    for (const QString &sql : kind.broken)
        if (const double n = c.scalar(sql).toDouble())
            wrong << QStringLiteral("%1 from %2").arg(n).arg(sql.left(120));
    return wrong.join(QLatin1Char('\n'));
}

QTEST_GUILESS_MAIN(CrashTest)
#include "tst_crash.moc"
