// Kills torvane-crashdriver with SIGKILL at random moments while it runs the
// commands that write several statements (points clearing, transfers,
// customer delete, rights save, refund/void, a ticket row with its points),
// then reopens the database with the program's own connection and checks that
// every command is there wholly or not at all, that no point was created or
// lost, and that the file is sound. On a server (TORVANE_TEST_ENGINE=postgres)
// the archive is a server database and the server rolls back what the killed
// seat left open.
//
// TORVANE_CRASH_KILLS sets how many kills (70 by default, 35 on a server),
// TORVANE_CRASH_SEED the seed of the delays; the figures are printed at the end.

#include "shell/rights.h"
#include "store/connection.h"
#include "store/databasecreator.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "support/testdatabase.h"

#include <cmath>
#include <csignal>
#include <thread>

#ifndef TORVANE_CRASHDRIVER
#error "TORVANE_CRASHDRIVER must name the driver executable"
#endif

namespace {

const QString kOperator = QStringLiteral("CR操作员");
const QString kNormal = QStringLiteral("正常");
const QString kRefund = QStringLiteral("退票");
const QString kVoid = QStringLiteral("作废");

using Row = QVariantList;

// Plain statement reads, so the checks do not lean on the recordset they check.
QList<Row> query(Connection &db, const QString &sql)
{
    QList<Row> rows;
    try {
        Statement statement = db.prepare(sql);
        while (statement.next()) {
            Row row;
            for (int c = 0; c < statement.columnCount(); ++c)
                row << statement.value(c);
            rows << row;
        }
    } catch (const DbException &e) {
        qWarning("query failed: %s: %s", qPrintable(sql), qPrintable(e.description()));
    }
    return rows;
}

QVariant scalar(Connection &db, const QString &sql)
{
    const QList<Row> rows = query(db, sql);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

QString rowText(const Row &row)
{
    QStringList parts;
    for (const QVariant &v : row)
        parts << (v.isNull() ? QStringLiteral("NULL") : v.toString());
    return parts.join(QLatin1Char('|'));
}

// Mismatches between one statistics table and the same sums taken from the tickets.
QString statisticsMismatch(Connection &db, const QString &table, const QStringList &keys)
{
    QStringList keyExpr, joins;
    for (int i = 0; i < keys.size(); ++i) {
        keyExpr << QStringLiteral("coalesce(%1,'') k%2").arg(keys.at(i)).arg(i);
        joins << QStringLiteral("t.%1=s.k%2").arg(keys.at(i)).arg(i);
    }
    const QString sums = QStringLiteral(
        "with s as (select %1, count(*) n, total(ZS) zs, total(amount1*ZS) m1, total(amount2*ZS) m2, "
        "total(amount3*ZS) m3 from hyxc where zt is null or zt='正常' group by %2) ")
                             .arg(keyExpr.join(QLatin1Char(',')), QStringLiteral("1,2,3"));
    const QString matched = QStringLiteral(
        "(select count(*) from s join %1 t on %2 and t.tickets=s.n and abs(t.ZSOFSUM-s.zs)<0.001 "
        "and abs(t.AMOUNT1OFSUM-s.m1)<0.01 and abs(t.AMOUNT2OFSUM-s.m2)<0.01 and abs(t.AMOUNT3OFSUM-s.m3)<0.01)")
                                .arg(table, joins.join(QStringLiteral(" and ")));
    const QList<Row> r = query(db, sums + QStringLiteral("select (select count(*) from s), (select count(*) from %1), ")
                                              .arg(table)
                                          + matched);
    if (r.isEmpty())
        return QStringLiteral("%1 could not be compared").arg(table);
    const qint64 fromTickets = r.first().at(0).toLongLong();
    const qint64 stored = r.first().at(1).toLongLong();
    const qint64 same = r.first().at(2).toLongLong();
    if (fromTickets == stored && stored == same)
        return {};
    return QStringLiteral("%1: %2 groups from the tickets, %3 stored, %4 agree").arg(table).arg(fromTickets).arg(stored).arg(same);
}

// What the rows of everybody but the crash customers and operator add up to;
// no command may touch them.
QString othersFingerprint(Connection &db)
{
    QStringList parts;
    for (const QString &sql :
         {QStringLiteral("select count(*), total(jifen), total(jifenyue), total(amount1) from hyxc where kh not like 'CR-%'"),
          QStringLiteral("select count(*), group_concat(kh) from hyda where kh not like 'CR-%'"),
          QStringLiteral("select count(*), total(jifen) from jifenallow where kh not like 'CR-%'"),
          QStringLiteral("select count(*), total(jifenyue) from hyxczhuanrang where kh not like 'CR-%'"),
          QStringLiteral("select group_concat(name||':'||czy_id||':'||nr) from (select * from czy where name<>'CR操作员' "
                         "order by rowid)")})
        for (const Row &row : query(db, sql))
            parts << rowText(row);
    return parts.join(QLatin1Char(';'));
}

struct Announced
{
    qint64 k = 0;
    QStringList words;
};

// What the driver said before it died.
struct DriverReport
{
    bool ready = false;
    bool exhausted = false;
    QString error;
    QList<Announced> begun;
    qint64 lastDone = -1;

    static DriverReport parse(const QByteArray &out)
    {
        DriverReport r;
        for (const QByteArray &raw : out.split('\n')) {
            const QString line = QString::fromUtf8(raw);
            if (line.isEmpty())
                continue;
            QStringList words = line.split(QLatin1Char(' '));
            const QString tag = words.takeFirst();
            if (tag == QLatin1String("ready"))
                r.ready = true;
            else if (tag == QLatin1String("exhausted"))
                r.exhausted = true;
            else if (tag == QLatin1String("error"))
                r.error = line;
            else if (tag == QLatin1String("begin") && !words.isEmpty())
                r.begun << Announced{words.takeFirst().toLongLong(), words};
            else if (tag == QLatin1String("done") && !words.isEmpty())
                r.lastDone = words.first().toLongLong();
            else
                r.error = QStringLiteral("unreadable line: ") + line;
        }
        return r;
    }
    const Announced *command(qint64 k) const
    {
        for (const Announced &a : begun)
            if (a.k == k)
                return &a;
        return nullptr;
    }
};

struct Figures
{
    int rounds = 0;
    int kills = 0;
    int killsAtStart = 0;
    int interrupted = 0;
    int interruptedCommitted = 0;
    int interruptedRolledBack = 0;
    int finishedBeforeKill = 0;
    qint64 commandsRun = 0;
    qint64 invariants = 0;
    QMap<QString, int> interruptedByKind;
};

Figures g_figures;

#define INVARIANT(cond, message)                                                                                       \
    do {                                                                                                               \
        ++g_figures.invariants;                                                                                        \
        QVERIFY2((cond), qPrintable(QString(message)));                                                                \
    } while (false)

// A ticket of the crash customers. amount1 is unique over the whole file, so a
// transfer log row can be matched to the ticket it copied.
struct TemplateWriter
{
    Connection &c;
    int serial = 0;
    void customer(const QString &kh)
    {
        c.execute(QStringLiteral("insert into hyda(kh,xm,xb) values(%1,%2,'男')").arg(sqlQuote(kh), sqlQuote(QStringLiteral("测试") + kh)));
    }
    void ticket(const QString &kh, double points)
    {
        static const QStringList airlines = {QStringLiteral("东航"), QStringLiteral("国航"), QStringLiteral("南航")};
        ++serial;
        c.execute(QStringLiteral("insert into hyxc(kh,cprq,qfrq,daoda,kaishi,hbh,cw,piaohao,ZS,amount1,amount2,amount3,"
                                 "jfbl,hangkong,neivai,sxf,zt,czy,lrrq,jifen,jifenyue) values(%1,'2024-02-%2',"
                                 "'2024-03-01','北京','上海','MU%3','Y','CR-%3',1,%4,%5,%6,5,%7,'国内',30,'正常',"
                                 "'王芳','2024-02-20',%8,%8)")
                      .arg(sqlQuote(kh))
                      .arg(10 + serial % 19)
                      .arg(serial)
                      .arg(1000 + serial)
                      .arg(900 + serial % 50)
                      .arg(850 + serial % 40)
                      .arg(sqlQuote(airlines.at(serial % 3)))
                      .arg(points));
    }
};

struct KindState
{
    QString path;
    std::shared_ptr<ServerDatabase> server;
    qint64 applied = 0;
    bool fresh = true;
    int kills = 0;
};

} // namespace

class CrashTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killDuringCommand_data();
    void killDuringCommand();
    void cleanupTestCase();

private:
    void buildTemplate();
    void runRound(const QString &kind, KindState &state, bool atStart);
    void checkCommon(Connection &db);
    void checkClear(Connection &db, const DriverReport &report, qint64 &applied);
    void checkTransferAll(Connection &db, const DriverReport &report, qint64 &applied);
    void checkTransferRow(Connection &db, const DriverReport &report, qint64 &applied);
    void checkDeleteCustomer(Connection &db, const DriverReport &report, qint64 &applied);
    void checkRights(Connection &db, const DriverReport &report, qint64 start, const QStringList &before, qint64 &applied);
    void checkRefund(Connection &db, const DriverReport &report, qint64 &applied);
    void checkSaveRow(Connection &db, const DriverReport &report, qint64 &applied);
    QStringList currentRights(Connection &db);

    QTemporaryDir m_dir;
    QString m_template;
    std::unique_ptr<ServerDatabase> m_templateServer;
    int m_kills = 70;
    quint32 m_seed = 20240501;
    QRandomGenerator m_random;
    QMap<QString, KindState> m_states;

    // Read from the template once.
    QString m_others;
    QMap<QString, Row> m_templateRows; // CR-RF tickets by id, every column
    QList<qint64> m_refundIds;
    QMap<qint64, Row> m_transferRows; // CR-TA tickets by amount1: amount1, jifen, jifenyue
    int m_rowTickets = 0;             // CR-RA tickets
    double m_clearEarned = 0;
    int m_clearTickets = 0;
    double m_transferEarned = 0;
    double m_rowEarned = 0;
    QStringList m_deleteCustomers;
    QMap<QString, int> m_deleteTickets;
};

void CrashTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray kills = qgetenv("TORVANE_CRASH_KILLS");
    if (TestDatabase::onServer())
        m_kills = 35;
    if (!kills.isEmpty())
        m_kills = kills.toInt();
    const QByteArray seed = qgetenv("TORVANE_CRASH_SEED");
    if (!seed.isEmpty())
        m_seed = seed.toUInt();
    QVERIFY(m_kills > 0);
    m_random.seed(m_seed);
    QVERIFY2(QFile::exists(QStringLiteral(TORVANE_CRASHDRIVER)), TORVANE_CRASHDRIVER);
    buildTemplate();
}

void CrashTest::buildTemplate()
{
    m_template = m_dir.filePath(QStringLiteral("template.db"));
    if (TestDatabase::onServer()) {
        m_templateServer = std::make_unique<ServerDatabase>();
        m_template = m_templateServer->uri();
    }
    DatabaseCreator::createDemo(m_template, DemoSize{30, 300});
    {
        Connection c;
        c.openLocation(m_template);
        TransactionGuard transaction(c);
        TemplateWriter w{c};
        w.customer(QStringLiteral("CR-CLR"));
        for (int i = 0; i < 600; ++i)
            w.ticket(QStringLiteral("CR-CLR"), 5);
        w.customer(QStringLiteral("CR-TA"));
        w.customer(QStringLiteral("CR-TB"));
        for (int i = 0; i < 150; ++i)
            w.ticket(QStringLiteral("CR-TA"), 1 + i % 9);
        w.customer(QStringLiteral("CR-RA"));
        w.customer(QStringLiteral("CR-RB"));
        for (int i = 0; i < 200; ++i)
            w.ticket(QStringLiteral("CR-RA"), 2 + i % 13);
        for (int d = 1; d <= 40; ++d) {
            const QString kh = QStringLiteral("CR-D%1").arg(d, 3, 10, QLatin1Char('0'));
            w.customer(kh);
            for (int i = 0; i < 10 + d % 7; ++i)
                w.ticket(kh, 4);
        }
        w.customer(QStringLiteral("CR-RF"));
        for (int i = 0; i < 120; ++i)
            w.ticket(QStringLiteral("CR-RF"), 10);
        w.customer(QStringLiteral("CR-SV"));
        c.execute(QStringLiteral("insert into czyzd(czy_name,czy_pass,sys_tag) values(%1,'x',false)").arg(sqlQuote(kOperator)));
        const qint64 number = c.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
        for (int i : {1, 3, 4})
            c.execute(QStringLiteral("insert into czy(name,czy_id,nr) values(%1,%2,%3)")
                          .arg(sqlQuote(kOperator))
                          .arg(number)
                          .arg(sqlQuote(Rights::functionNames().at(i))));
        transaction.commit();

        Connection &db = c;
        // The sample data itself must pass the checks, or they prove nothing.
        checkCommon(db);
        if (QTest::currentTestFailed())
            return;
        m_others = othersFingerprint(db);
        m_clearEarned = scalar(db, QStringLiteral("select total(jifen) from hyxc where kh='CR-CLR'")).toDouble();
        m_clearTickets = scalar(db, QStringLiteral("select count(*) from hyxc where kh='CR-CLR'")).toInt();
        m_transferEarned = scalar(db, QStringLiteral("select total(jifenyue) from hyxc where kh='CR-TA'")).toDouble();
        m_rowEarned = scalar(db, QStringLiteral("select total(jifen) from hyxc where kh='CR-RA'")).toDouble();
        for (const Row &r : query(db, QStringLiteral("select amount1, jifen, jifenyue from hyxc where kh='CR-TA'")))
            m_transferRows.insert(qint64(r.at(0).toDouble()), r);
        m_rowTickets = scalar(db, QStringLiteral("select count(distinct amount1) from hyxc where kh='CR-RA'")).toInt();
        for (const Row &r : query(db, QStringLiteral("select * from hyxc where kh='CR-RF' order by id"))) {
            m_refundIds << r.at(0).toLongLong();
            m_templateRows.insert(r.at(0).toString(), r);
        }
        for (const Row &r :
             query(db, QStringLiteral("select kh, (select count(*) from hyxc where hyxc.kh=hyda.kh) from hyda "
                                      "where kh like 'CR-D%' order by kh"))) {
            m_deleteCustomers << r.at(0).toString();
            m_deleteTickets.insert(r.at(0).toString(), r.at(1).toInt());
        }
    }
    // Closed cleanly: the whole database is in the one file that is copied.
    QVERIFY(!QFile::exists(m_template + QStringLiteral("-wal")));
    QCOMPARE(m_transferRows.size(), 150);
    QCOMPARE(m_rowTickets, 200);
}

void CrashTest::killDuringCommand_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("rounds");
    const QStringList kinds = {QStringLiteral("clear"),        QStringLiteral("transfer-all"),
                               QStringLiteral("transfer-row"), QStringLiteral("delete-customer"),
                               QStringLiteral("rights"),       QStringLiteral("refund"),
                               QStringLiteral("save-row")};
    for (int i = 0; i < kinds.size(); ++i) {
        const int rounds = m_kills / int(kinds.size()) + (i < m_kills % int(kinds.size()) ? 1 : 0);
        if (rounds > 0)
            QTest::newRow(qPrintable(kinds.at(i))) << kinds.at(i) << rounds;
    }
}

void CrashTest::killDuringCommand()
{
    QFETCH(QString, kind);
    QFETCH(int, rounds);
    KindState &state = m_states[kind];
    if (!m_templateServer)
        state.path = m_dir.filePath(kind + QStringLiteral(".db"));
    // A round in which the driver ran out of work before the kill came does
    // not count; a driver that never gets killed is a failure of its own.
    for (int round = 0; state.kills < rounds; ++round) {
        QVERIFY2(round < 2 * rounds + 10, "the driver keeps finishing before the kill");
        // Now and then the kill lands while the driver is still opening the file and its windows.
        runRound(kind, state, round % 8 == 7);
        if (QTest::currentTestFailed()) {
            qWarning("kind %s, round %d, seed %u", qPrintable(kind), round, m_seed);
            return;
        }
    }
}

void CrashTest::runRound(const QString &kind, KindState &state, bool atStart)
{
    ++g_figures.rounds;
    if (state.fresh && m_templateServer) {
        state.server.reset();
        state.server = std::make_shared<ServerDatabase>(m_templateServer.get());
        state.path = state.server->uri();
        state.applied = 0;
        state.fresh = false;
    } else if (state.fresh) {
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(state.path + suffix);
        QVERIFY(QFile::copy(m_template, state.path));
        QVERIFY(QFile::setPermissions(state.path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        state.applied = 0;
        state.fresh = false;
    }

    QStringList rightsBefore;
    if (kind == QLatin1String("rights")) {
        Connection c;
        c.openLocation(state.path);
        rightsBefore = currentRights(c);
    }

    // Microseconds to tens of milliseconds, evenly spread over the orders of magnitude.
    const double exponent = m_random.generateDouble() * std::log(40000.0);
    const auto delay = std::chrono::microseconds(qint64(std::exp(exponent)));

    QProcess driver;
    driver.setProgram(QStringLiteral(TORVANE_CRASHDRIVER));
    driver.setArguments({state.path, kind, QString::number(state.applied)});
    driver.start();
    QVERIFY2(driver.waitForStarted(30000), qPrintable(driver.errorString()));
    QByteArray out;
    if (!atStart) {
        // A stall guard, not a measurement: the driver says when it is about to begin.
        const QDeadlineTimer guard(30000);
        while (!out.contains("ready\n") && driver.state() == QProcess::Running && !guard.hasExpired()) {
            driver.waitForReadyRead(50);
            out += driver.readAllStandardOutput();
        }
        if (!out.contains("ready\n") && driver.state() != QProcess::Running) {
            // It ended on its own; what it wrote last is read once it is gone.
            driver.waitForFinished(30000);
            out += driver.readAllStandardOutput();
        }
        QVERIFY2(out.contains("ready\n"),
                 qPrintable(QStringLiteral("the driver never got ready: ") + QString::fromUtf8(out)
                            + QString::fromUtf8(driver.readAllStandardError())));
    }
    std::this_thread::sleep_for(delay);
    const qint64 pid = driver.processId();
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
    QVERIFY(driver.waitForFinished(30000));
    out += driver.readAllStandardOutput();
    const QByteArray err = driver.readAllStandardError();

    const DriverReport report = DriverReport::parse(out);
    QVERIFY2(report.error.isEmpty(), qPrintable(report.error + QLatin1Char('\n') + QString::fromUtf8(err)));
    if (driver.exitStatus() == QProcess::NormalExit) {
        // It finished before the kill came: that is only right once it ran out of work.
        QVERIFY2(driver.exitCode() == 0 && report.exhausted, qPrintable(QString::fromUtf8(out + err)));
        ++g_figures.finishedBeforeKill;
    } else {
        // Our SIGKILL, not a crash of its own.
        QVERIFY2(driver.exitCode() == SIGKILL,
                 qPrintable(QStringLiteral("the driver died of signal %1: ").arg(driver.exitCode())
                            + QString::fromUtf8(out + err)));
        ++g_figures.kills;
        ++state.kills;
        if (atStart)
            ++g_figures.killsAtStart;
    }

    const qint64 start = state.applied;
    const qint64 begun = report.begun.isEmpty() ? start : report.begun.last().k;
    const qint64 done = report.lastDone < 0 ? start : report.lastDone;
    INVARIANT(begun == done || begun == done + 1, QStringLiteral("begun %1, done %2").arg(begun).arg(done));
    for (int i = 0; i < report.begun.size(); ++i)
        INVARIANT(report.begun.at(i).k == start + 1 + i, QStringLiteral("command numbers out of order"));

    // The program's own connection opens what the kill left behind.
    Connection connection;
    try {
        connection.openLocation(state.path);
    } catch (const DbException &e) {
        QFAIL(qPrintable(QStringLiteral("reopening failed: %1 %2").arg(e.number()).arg(e.description())));
    }
    Connection &db = connection;
    if (m_templateServer) {
        // The killed seat's server process goes once it finds its client gone, rolling back what was open.
        const QDeadlineTimer gone(20000);
        while (scalar(db, QStringLiteral("select count(*) from pg_stat_activity where datname=current_database() "
                                         "and pid<>pg_backend_pid()"))
                       .toInt()
                   > 0
               && !gone.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    checkCommon(db);
    if (QTest::currentTestFailed())
        return;

    qint64 applied = -1;
    if (kind == QLatin1String("clear"))
        checkClear(db, report, applied);
    else if (kind == QLatin1String("transfer-all"))
        checkTransferAll(db, report, applied);
    else if (kind == QLatin1String("transfer-row"))
        checkTransferRow(db, report, applied);
    else if (kind == QLatin1String("delete-customer"))
        checkDeleteCustomer(db, report, applied);
    else if (kind == QLatin1String("rights"))
        checkRights(db, report, start, rightsBefore, applied);
    else if (kind == QLatin1String("refund"))
        checkRefund(db, report, applied);
    else if (kind == QLatin1String("save-row"))
        checkSaveRow(db, report, applied);
    else
        QFAIL("unknown kind");
    if (QTest::currentTestFailed())
        return;

    // Every command that returned is kept; the one under way is there wholly or not at all.
    INVARIANT(applied == done || applied == begun,
              QStringLiteral("%1 commands applied, the driver finished %2 and began %3").arg(applied).arg(done).arg(begun));
    g_figures.commandsRun += done - start;
    if (begun > done && driver.exitStatus() != QProcess::NormalExit) {
        ++g_figures.interrupted;
        ++g_figures.interruptedByKind[kind];
        if (applied == begun)
            ++g_figures.interruptedCommitted;
        else
            ++g_figures.interruptedRolledBack;
    }
    state.applied = applied;
    if (report.exhausted)
        state.fresh = true;
}

void CrashTest::checkCommon(Connection &db)
{
    if (!m_templateServer)
        INVARIANT(scalar(db, QStringLiteral("PRAGMA integrity_check")).toString() == QLatin1String("ok"),
                  QStringLiteral("integrity_check: ") + scalar(db, QStringLiteral("PRAGMA integrity_check")).toString());
    const QString hangkong = statisticsMismatch(db, QStringLiteral("SUMhangkong"),
                                                {QStringLiteral("hangkong"), QStringLiteral("cprq"), QStringLiteral("neivai")});
    INVARIANT(hangkong.isEmpty(), hangkong);
    const QString geren = statisticsMismatch(db, QStringLiteral("SUMgeren"),
                                             {QStringLiteral("dpy"), QStringLiteral("cprq"), QStringLiteral("hangkong")});
    INVARIANT(geren.isEmpty(), geren);
    const QString daoda = statisticsMismatch(db, QStringLiteral("SUMdaoda"),
                                             {QStringLiteral("kaishi"), QStringLiteral("daoda"), QStringLiteral("cprq")});
    INVARIANT(daoda.isEmpty(), daoda);
    if (!m_others.isEmpty())
        INVARIANT(othersFingerprint(db) == m_others, QStringLiteral("rows of other customers changed"));
}

// Clearing: the walk empties rows from the first on and stops in one; every
// point is either still on a row or in a clearing log row.
void CrashTest::checkClear(Connection &db, const DriverReport &report, qint64 &applied)
{
    const QList<Row> rows = query(db, QStringLiteral("select jifen, jifenyue from hyxc where kh='CR-CLR' order by id"));
    INVARIANT(rows.size() == m_clearTickets, QStringLiteral("%1 tickets").arg(rows.size()));
    double remaining = 0;
    int stage = 0; // 0: emptied rows, 1: past the row the walk stopped in
    for (const Row &r : rows) {
        const double earned = r.at(0).toDouble();
        const double left = r.at(1).toDouble();
        INVARIANT(earned == 5 && left >= 0 && left <= earned, rowText(r));
        if (stage == 0 && left > 0)
            stage = 1;
        else if (stage == 1)
            INVARIANT(left == earned, QStringLiteral("a row after the stop of the walk was cleared"));
        remaining += left;
    }
    const QList<Row> log = query(db, QStringLiteral("select jifen, bz, czy from jifenallow where kh='CR-CLR' order by rowid"));
    double cleared = 0;
    for (int i = 0; i < log.size(); ++i) {
        INVARIANT(log.at(i).at(1).toString() == QStringLiteral("k=%1").arg(i + 1), rowText(log.at(i)));
        INVARIANT(log.at(i).at(2).toString() == kOperator, rowText(log.at(i)));
        cleared += log.at(i).at(0).toDouble();
        if (const Announced *a = report.command(i + 1))
            INVARIANT(a->words.value(2).toDouble() == log.at(i).at(0).toDouble(), rowText(log.at(i)));
    }
    INVARIANT(remaining + cleared == m_clearEarned,
              QStringLiteral("remaining %1 + cleared %2 != earned %3").arg(remaining).arg(cleared).arg(m_clearEarned));
    applied = log.size();
}

// Transfer of all rows, back and forth: each transfer logged every row and
// moved every row, or did neither.
void CrashTest::checkTransferAll(Connection &db, const DriverReport &report, qint64 &applied)
{
    const int n = int(m_transferRows.size());
    const QList<Row> log = query(db, QStringLiteral("select kh, zhuanrangkh, amount1, jifen, jifenyue from hyxczhuanrang "
                                                    "where kh in ('CR-TA','CR-TB') order by rowid"));
    INVARIANT(log.size() % n == 0, QStringLiteral("%1 transfer log rows, not a multiple of %2").arg(log.size()).arg(n));
    applied = log.size() / n;
    const QString holder = applied % 2 == 0 ? QStringLiteral("CR-TA") : QStringLiteral("CR-TB");
    const QString other = applied % 2 == 0 ? QStringLiteral("CR-TB") : QStringLiteral("CR-TA");
    INVARIANT(scalar(db, QStringLiteral("select count(*) from hyxc where kh=") + sqlQuote(other)).toInt() == 0,
              QStringLiteral("%1 kept tickets after %2 transfers").arg(other).arg(applied));
    const QList<Row> rows =
        query(db, QStringLiteral("select amount1, jifen, jifenyue from hyxc where kh=") + sqlQuote(holder));
    INVARIANT(rows.size() == n, QStringLiteral("%1 holds %2 tickets").arg(holder).arg(rows.size()));
    double points = 0;
    for (const Row &r : rows) {
        const Row *original = m_transferRows.contains(qint64(r.at(0).toDouble())) ? &m_transferRows[qint64(r.at(0).toDouble())] : nullptr;
        INVARIANT(original && original->at(1) == r.at(1) && original->at(2) == r.at(2), rowText(r));
        points += r.at(2).toDouble();
    }
    INVARIANT(points == m_transferEarned, QStringLiteral("%1 points instead of %2").arg(points).arg(m_transferEarned));
    for (qint64 b = 0; b < applied; ++b) {
        const QString from = b % 2 == 0 ? QStringLiteral("CR-TA") : QStringLiteral("CR-TB");
        const QString to = b % 2 == 0 ? QStringLiteral("CR-TB") : QStringLiteral("CR-TA");
        QSet<qint64> copied;
        for (int i = 0; i < n; ++i) {
            const Row &r = log.at(int(b) * n + i);
            INVARIANT(r.at(0).toString() == from && r.at(1).toString() == to, rowText(r));
            const qint64 key = qint64(r.at(2).toDouble());
            INVARIANT(m_transferRows.contains(key) && m_transferRows[key].at(2) == r.at(4), rowText(r));
            copied.insert(key);
        }
        INVARIANT(copied.size() == n, QStringLiteral("transfer %1 logged %2 different tickets").arg(b + 1).arg(copied.size()));
        if (const Announced *a = report.command(b + 1))
            INVARIANT(a->words.value(1) == from && a->words.value(2) == to, a->words.join(QLatin1Char(' ')));
    }
}

// Clearing and one-row transfers of CR-RA taking turns: every point CR-RA
// earned is on its rows, cleared, or on a moved row whose log row says so.
void CrashTest::checkTransferRow(Connection &db, const DriverReport &report, qint64 &applied)
{
    const QList<Row> clears =
        query(db, QStringLiteral("select jifen, bz from jifenallow where kh='CR-RA' order by rowid"));
    const QList<Row> moves = query(db, QStringLiteral("select amount1, jifen, jifenyue, zhuanrangkh from hyxczhuanrang "
                                                      "where kh='CR-RA' order by rowid"));
    applied = clears.size() + moves.size();
    INVARIANT(clears.size() == (applied + 1) / 2 && moves.size() == applied / 2,
              QStringLiteral("%1 clearings and %2 moves do not take turns").arg(clears.size()).arg(moves.size()));
    double cleared = 0;
    for (int i = 0; i < clears.size(); ++i) {
        INVARIANT(clears.at(i).at(1).toString() == QStringLiteral("k=%1").arg(2 * i + 1), rowText(clears.at(i)));
        cleared += clears.at(i).at(0).toDouble();
        if (const Announced *a = report.command(2 * i + 1))
            INVARIANT(a->words.value(0) == QLatin1String("clear") && a->words.value(2).toDouble() == clears.at(i).at(0).toDouble(),
                      rowText(clears.at(i)));
    }

    const QList<Row> own = query(db, QStringLiteral("select jifen, jifenyue, amount1 from hyxc where kh='CR-RA' order by id"));
    QMap<qint64, Row> received;
    for (const Row &r : query(db, QStringLiteral("select amount1, jifen, jifenyue, id from hyxc where kh='CR-RB'")))
        received.insert(qint64(r.at(0).toDouble()), r);
    INVARIANT(own.size() + received.size() == m_rowTickets,
              QStringLiteral("%1 + %2 tickets").arg(own.size()).arg(received.size()));
    INVARIANT(received.size() == moves.size(),
              QStringLiteral("%1 tickets moved, %2 log rows").arg(received.size()).arg(moves.size()));

    double remaining = 0;
    int stage = 0;
    for (const Row &r : own) {
        const double earned = r.at(0).toDouble();
        const double left = r.at(1).toDouble();
        INVARIANT(left >= 0 && left <= earned, rowText(r));
        if (stage == 0 && left > 0)
            stage = 1;
        else if (stage == 1)
            INVARIANT(left == earned, QStringLiteral("a row after the stop of the walk was cleared"));
        remaining += left;
    }
    double movedOut = 0, movedIn = 0;
    QSet<qint64> logged;
    for (int i = 0; i < moves.size(); ++i) {
        const Row &log = moves.at(i);
        const qint64 key = qint64(log.at(0).toDouble());
        INVARIANT(log.at(3).toString() == QLatin1String("CR-RB"), rowText(log));
        // Each log row has its moved ticket, with the points it carried.
        INVARIANT(received.contains(key) && received[key].at(1) == log.at(1) && received[key].at(2) == log.at(2),
                  QStringLiteral("log row without its moved ticket: ") + rowText(log));
        INVARIANT(!logged.contains(key), QStringLiteral("ticket logged twice: ") + rowText(log));
        logged.insert(key);
        movedOut += log.at(2).toDouble();
        if (const Announced *a = report.command(2 * (i + 1)))
            INVARIANT(a->words.value(0) == QLatin1String("move") && received.contains(key)
                          && received[key].at(3).toLongLong() == a->words.value(1).toLongLong(),
                      a->words.join(QLatin1Char(' ')));
    }
    for (auto it = received.cbegin(); it != received.cend(); ++it) {
        INVARIANT(logged.contains(it.key()), QStringLiteral("moved ticket without its log row: ") + rowText(it.value()));
        movedIn += it.value().at(2).toDouble();
    }
    INVARIANT(remaining + cleared + movedOut == m_rowEarned,
              QStringLiteral("remaining %1 + cleared %2 + moved out %3 != earned %4")
                  .arg(remaining)
                  .arg(cleared)
                  .arg(movedOut)
                  .arg(m_rowEarned));
    INVARIANT(movedIn == movedOut, QStringLiteral("moved in %1, moved out %2").arg(movedIn).arg(movedOut));
    // A move announced but not applied left its ticket where it was.
    if (const Announced *a = report.command(applied + 1); a && a->words.value(0) == QLatin1String("move"))
        INVARIANT(scalar(db, QStringLiteral("select kh from hyxc where id=") + a->words.value(1)).toString()
                      == QLatin1String("CR-RA"),
                  a->words.join(QLatin1Char(' ')));
}

// Customer delete: the customer and all its tickets are gone, or both are there.
void CrashTest::checkDeleteCustomer(Connection &db, const DriverReport &report, qint64 &applied)
{
    applied = 0;
    bool gap = false;
    for (int i = 0; i < m_deleteCustomers.size(); ++i) {
        const QString &kh = m_deleteCustomers.at(i);
        const int customers = scalar(db, QStringLiteral("select count(*) from hyda where kh=") + sqlQuote(kh)).toInt();
        const int tickets = scalar(db, QStringLiteral("select count(*) from hyxc where kh=") + sqlQuote(kh)).toInt();
        INVARIANT((customers == 1 && tickets == m_deleteTickets.value(kh)) || (customers == 0 && tickets == 0),
                  QStringLiteral("%1: %2 customer rows, %3 of %4 tickets")
                      .arg(kh)
                      .arg(customers)
                      .arg(tickets)
                      .arg(m_deleteTickets.value(kh)));
        if (customers == 0) {
            INVARIANT(!gap, QStringLiteral("%1 deleted out of turn").arg(kh));
            ++applied;
            if (const Announced *a = report.command(applied))
                INVARIANT(a->words.value(1) == kh, a->words.join(QLatin1Char(' ')));
        } else {
            gap = true;
        }
    }
}

QStringList CrashTest::currentRights(Connection &db)
{
    QStringList names;
    const qint64 number = scalar(db, QStringLiteral("select czy_no from czyzd where czy_name=") + sqlQuote(kOperator)).toLongLong();
    for (const Row &r : query(db, QStringLiteral("select nr, czy_id from czy where name=") + sqlQuote(kOperator))) {
        names << r.at(0).toString();
        if (r.at(1).toLongLong() != number)
            names << QStringLiteral("<wrong operator number %1>").arg(r.at(1).toString());
    }
    names.sort();
    return names;
}

// Rights save: the operator has exactly the old set or exactly the new one.
void CrashTest::checkRights(Connection &db, const DriverReport &report, qint64 start, const QStringList &before,
                            qint64 &applied)
{
    auto announcedSet = [&](qint64 k) {
        if (k == start)
            return before;
        const Announced *a = report.command(k);
        QStringList names;
        if (a && a->words.value(1) != QLatin1String("-"))
            names = a->words.value(1).split(QLatin1Char('|'));
        names.sort();
        return names;
    };
    const qint64 begun = report.begun.isEmpty() ? start : report.begun.last().k;
    const qint64 done = report.lastDone < 0 ? start : report.lastDone;
    const QStringList now = currentRights(db);
    const QStringList finished = announcedSet(done);
    if (begun > done) {
        const QStringList underWay = announcedSet(begun);
        // The two must differ, or the check could not tell them apart.
        INVARIANT(underWay != finished, QStringLiteral("the driver saved the same rights twice"));
        INVARIANT(now == finished || now == underWay,
                  QStringLiteral("rights %1, neither %2 nor %3")
                      .arg(now.join(QLatin1Char(',')), finished.join(QLatin1Char(',')), underWay.join(QLatin1Char(','))));
        applied = now == underWay ? begun : done;
    } else {
        INVARIANT(now == finished, QStringLiteral("rights %1, not %2").arg(now.join(QLatin1Char(',')), finished.join(QLatin1Char(','))));
        applied = done;
    }
}

// Refund and void: the row and its log row together, in ticket order.
void CrashTest::checkRefund(Connection &db, const DriverReport &report, qint64 &applied)
{
    applied = 0;
    bool gap = false;
    for (qint64 id : m_refundIds) {
        const QList<Row> rows = query(db, QStringLiteral("select * from hyxc where id=%1").arg(id));
        INVARIANT(rows.size() == 1, QStringLiteral("ticket %1 is missing").arg(id));
        const Row &row = rows.first();
        const Row &original = m_templateRows[QString::number(id)];
        const QString state = scalar(db, QStringLiteral("select zt from hyxc where id=%1").arg(id)).toString();
        const QString airline = scalar(db, QStringLiteral("select hangkong from hyxc where id=%1").arg(id)).toString();
        const int refundLogs = scalar(db, QStringLiteral("select count(*) from czyrz where czyxm=%1")
                                              .arg(sqlQuote(kRefund + QLatin1Char(' ') + airline + QStringLiteral(" id=%1").arg(id))))
                                   .toInt();
        const int voidLogs = scalar(db, QStringLiteral("select count(*) from czyrz where czyxm=%1")
                                            .arg(sqlQuote(kVoid + QLatin1Char(' ') + airline + QStringLiteral(" id=%1").arg(id))))
                                 .toInt();
        if (state == kNormal) {
            INVARIANT(rowText(row) == rowText(original), QStringLiteral("ticket %1 changed without its state").arg(id));
            INVARIANT(refundLogs == 0 && voidLogs == 0, QStringLiteral("log row of ticket %1 without the change").arg(id));
            gap = true;
            continue;
        }
        INVARIANT(!gap, QStringLiteral("ticket %1 changed out of turn").arg(id));
        INVARIANT(state == kRefund || state == kVoid, QStringLiteral("ticket %1 in state %2").arg(id).arg(state));
        INVARIANT((state == kRefund && refundLogs == 1 && voidLogs == 0) || (state == kVoid && voidLogs == 1 && refundLogs == 0),
                  QStringLiteral("ticket %1 %2 with %3 refund and %4 void log rows").arg(id).arg(state).arg(refundLogs).arg(voidLogs));
        const Row money = query(db, QStringLiteral("select amount2, amount3, jfbl, sxf, jifenyue from hyxc where id=%1").arg(id)).value(0);
        INVARIANT(money.size() == 5 && money.at(0).toDouble() == 0 && money.at(1).toDouble() == 0
                      && money.at(2).toDouble() == 0 && money.at(3).toDouble() == 0 && money.at(4).toDouble() == 0,
                  QStringLiteral("ticket %1 %2 kept money or points: %3").arg(id).arg(state, rowText(money)));
        ++applied;
        if (const Announced *a = report.command(applied))
            INVARIANT(a->words.value(0) == state && a->words.value(1).toLongLong() == id, a->words.join(QLatin1Char(' ')));
    }
}

// A new ticket row is saved with its points, never without them.
void CrashTest::checkSaveRow(Connection &db, const DriverReport &report, qint64 &applied)
{
    const QList<Row> rows = query(db, QStringLiteral("select piaohao, amount1, jfbl, jifen, jifenyue, zt from hyxc "
                                                     "where kh='CR-SV' order by id"));
    applied = rows.size();
    for (int i = 0; i < rows.size(); ++i) {
        const Row &r = rows.at(i);
        INVARIANT(r.at(0).toString() == QStringLiteral("SV-%1").arg(i + 1), rowText(r));
        const double amount = r.at(1).toDouble();
        const double rate = r.at(2).toDouble();
        const double points = r.at(3).toDouble();
        INVARIANT(amount > 0 && rate > 0 && std::abs(points - rate * amount / 100) < 1e-9 && r.at(4).toDouble() == points
                      && r.at(5).toString() == kNormal,
                  rowText(r));
        if (const Announced *a = report.command(i + 1))
            INVARIANT(a->words.value(1) == r.at(0).toString() && a->words.value(2).toDouble() == amount
                          && a->words.value(3).toDouble() == rate,
                      a->words.join(QLatin1Char(' ')) + QStringLiteral(" / ") + rowText(r));
    }
}

void CrashTest::cleanupTestCase()
{
    QStringList byKind;
    for (auto it = g_figures.interruptedByKind.cbegin(); it != g_figures.interruptedByKind.cend(); ++it)
        byKind << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
    std::printf("crash figures: seed=%u rounds=%d kills=%d kills-at-start=%d finished-before-kill=%d "
                "commands-completed=%lld commands-interrupted=%d (committed=%d rolled-back=%d) invariants-checked=%lld\n"
                "crash interrupted by kind: %s\n",
                m_seed, g_figures.rounds, g_figures.kills, g_figures.killsAtStart, g_figures.finishedBeforeKill,
                g_figures.commandsRun, g_figures.interrupted, g_figures.interruptedCommitted,
                g_figures.interruptedRolledBack, g_figures.invariants, qPrintable(byKind.join(QLatin1Char(' '))));
    std::fflush(stdout);
}

QTEST_GUILESS_MAIN(CrashTest)
#include "tst_crash.moc"
