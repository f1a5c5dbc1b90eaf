// Several seats on one archive, on the engine under test: a write never
// silently undoes another, a command waits a bounded time for another seat's
// lock and then changes nothing, and seats racing in separate processes never
// clear more points than a customer holds or move a row without its log row.
#include "archive/pointscommands.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "support/testdatabase.h"

#include <QProcess>
#include <QTest>

namespace {

const QString kCustomer = QStringLiteral("C1");
const QString kReceiver = QStringLiteral("C2");

void addCustomerWithPoints(Connection &c, const QString &kh, int tickets, double points)
{
    c.execute(QStringLiteral("insert into hyda (kh, xm) values (?, ?)"), {kh, QStringLiteral("客户") + kh});
    for (int i = 0; i < tickets; ++i)
        c.execute(QStringLiteral("insert into hyxc (kh, cprq, ZS, amount1, amount2, amount3, jifen, jifenyue) "
                                 "values (?, '2024-01-02', 1, 1000, 900, 850, ?, ?)"),
                  {kh, points, points});
}

// A second seat: its own connection to the same archive.
struct Seat
{
    explicit Seat(TestDatabase &db) { connection.openLocation(db.path()); }
    Connection connection;
};

// Worker processes: `<test> worker LOCATION ACTION KH TIMES` runs one of the
// program's commands TIMES times and prints one line per command.
int worker(const QStringList &args)
{
    Connection c;
    c.openLocation(args.at(2));
    const QString action = args.at(3);
    const QString kh = args.at(4);
    QTextStream out(stdout);
    for (int i = 0; i < args.at(5).toInt(); ++i) {
        try {
            if (action == QLatin1String("clear")) {
                const auto r = PointsCommands::clearPoints(c, kh, QStringLiteral("5"), QString(), QStringLiteral("王芳"));
                out << (r.outcome == PointsCommands::ClearOutcome::Cleared ? "cleared\n" : "refused\n");
            } else if (action == QLatin1String("transfer")) {
                PointsCommands::transferAll(c, kh, kReceiver);
                out << "moved\n";
            } else {
                Recordset rs;
                rs.open(QStringLiteral("select * from hyxc where kh=") + sqlQuote(kh), &c, LockType::Optimistic);
                rs.addNew();
                rs.setValue(QStringLiteral("kh"), kh);
                rs.setValue(QStringLiteral("jifen"), 1.0);
                rs.setValue(QStringLiteral("jifenyue"), 1.0);
                rs.update();
                out << "saved\n";
            }
        } catch (const DbException &e) {
            out << (e.kind() == DbErrorKind::Busy ? "busy\n" : "failed " + e.description() + '\n');
        }
        out.flush();
    }
    return 0;
}

QStringList runWorkers(TestDatabase &db, const QList<QStringList> &jobs)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QStringList &job : jobs) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QCoreApplication::applicationFilePath(),
                                QStringList{QStringLiteral("worker"), db.path()} + job);
    }
    QStringList lines;
    for (auto &p : processes) {
        p->waitForFinished(50000);
        lines += QString::fromUtf8(p->readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    return lines;
}

} // namespace

class TestConcurrency : public QObject
{
    Q_OBJECT
private slots:
    void staleWriteRefused_data();
    void staleWriteRefused();
    void busyWaitsThenGivesUp_data();
    void busyWaitsThenGivesUp();
    void clearingRace();
    void transferAgainstSave();
};

void TestConcurrency::staleWriteRefused_data()
{
    QTest::addColumn<QString>("first");  // what the other seat did: edit, delete
    QTest::addColumn<QString>("second"); // what this seat then tries: edit, delete
    QTest::newRow("edit after edit") << "edit" << "edit";
    QTest::newRow("edit after delete") << "delete" << "edit";
    QTest::newRow("delete after edit") << "edit" << "delete";
    QTest::newRow("letter case counts as a change") << "case" << "edit";
}

void TestConcurrency::staleWriteRefused()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    TestDatabase db;
    addCustomerWithPoints(db.connection(), kCustomer, 0, 0);
    db.connection().execute(QStringLiteral("update hyda set dw='abc' where kh='C1'"));
    Seat other(db);
    const QString sql = QStringLiteral("select * from hyda where kh='C1'");
    Recordset mine, theirs;
    mine.open(sql, &db.connection(), LockType::Optimistic);
    theirs.open(sql, &other.connection, LockType::Optimistic);

    if (first == QLatin1String("delete")) {
        theirs.deleteCurrent();
    } else {
        theirs.setValue(QStringLiteral("dw"), first == QLatin1String("case") ? QStringLiteral("ABC") : QStringLiteral("他"));
        theirs.update();
    }
    const QString expected = first == QLatin1String("delete") ? QString()
                             : first == QLatin1String("case") ? QStringLiteral("ABC") : QStringLiteral("他");
    try {
        if (second == QLatin1String("edit")) {
            mine.setValue(QStringLiteral("dw"), QStringLiteral("我"));
            mine.update();
        } else {
            mine.deleteCurrent();
        }
        QFAIL("a stale row was written");
    } catch (const DbException &e) {
        QCOMPARE(e.kind(), DbErrorKind::Conflict);
        QCOMPARE(e.description(), QStringLiteral("记录已被其他操作员修改，已重新读取。"));
    }
    // Nothing of mine was written, and my window now shows what the archive holds.
    QCOMPARE(db.scalar(QStringLiteral("select dw from hyda where kh='C1'")).toString(), expected);
    QCOMPARE(mine.recordCount(), expected.isEmpty() ? 0 : 1);
    if (!expected.isEmpty())
        QCOMPARE(mine.text(QStringLiteral("dw")), expected);
}

void TestConcurrency::busyWaitsThenGivesUp_data()
{
    QTest::addColumn<QString>("attempt");
    QTest::addColumn<bool>("released"); // the other seat lets go while this one waits
    for (const char *attempt : {"command", "statement", "save"}) {
        QTest::addRow("%s, lock released while waiting", attempt) << QString::fromLatin1(attempt) << true;
        QTest::addRow("%s, lock held past the wait", attempt) << QString::fromLatin1(attempt) << false;
    }
}

// A command waits for another seat's lock up to its bound: released within it, the
// command goes through; held past it, the command gives up with the busy message and changes nothing.
void TestConcurrency::busyWaitsThenGivesUp()
{
    QFETCH(QString, attempt);
    QFETCH(bool, released);
    TestDatabase db;
    addCustomerWithPoints(db.connection(), kCustomer, 1, 10);
    // Another seat holds the write lock with a command under way.
    Connection &holder = db.connection();
    QList<bool> observed;
    Connection::setDefaultBusyObserver([&](bool waiting) {
        observed << waiting;
        if (waiting && released)
            holder.commit();
    });
    Seat waiter(db);
    Connection::setDefaultBusyObserver({});
    waiter.connection.setBusyTimeout(600);
    Recordset row;
    row.open(QStringLiteral("select * from hyxc where kh='C1'"), &waiter.connection, LockType::Optimistic);
    holder.begin();
    holder.execute(QStringLiteral("insert into jifenallow (kh, jifen) values ('C1', 1)"));
    auto tryIt = [&] {
        if (attempt == QLatin1String("command")) {
            QVERIFY(PointsCommands::clearPoints(waiter.connection, kCustomer, QStringLiteral("5"), QString(), QStringLiteral("王芳")).outcome
                    == PointsCommands::ClearOutcome::Cleared);
        } else if (attempt == QLatin1String("statement")) {
            QCOMPARE(waiter.connection.execute(QStringLiteral("update hyxc set jifenyue=5 where kh='C1'")), 1);
        } else {
            row.setValue(QStringLiteral("jifenyue"), 5.0);
            row.update();
        }
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
    QVERIFY(!waiter.connection.inTransaction());
    if (!released) {
        holder.commit();
        // Nothing changed, and once the lock is gone the same action works.
        QCOMPARE(db.scalar(QStringLiteral("select jifenyue from hyxc where kh='C1'")).toDouble(), 10.0);
        if (attempt == QLatin1String("save"))
            row.refreshCurrent();
        tryIt();
    }
    QCOMPARE(db.count(QStringLiteral("jifenallow")), attempt == QLatin1String("command") ? 2 : 1);
    QCOMPARE(db.scalar(QStringLiteral("select jifenyue from hyxc where kh='C1'")).toDouble(), 5.0);
}

void TestConcurrency::clearingRace()
{
    // Two seats clear 5 points again and again from one customer holding 100.
    TestDatabase db;
    addCustomerWithPoints(db.connection(), kCustomer, 10, 10);
    const QStringList lines = runWorkers(db, {{"clear", kCustomer, "14"}, {"clear", kCustomer, "14"}});
    QCOMPARE(lines.size(), 28);
    QCOMPARE(lines.count(QStringLiteral("cleared")), 20);
    QCOMPARE(lines.count(QStringLiteral("refused")), 8);
    QCOMPARE(db.count(QStringLiteral("jifenallow where kh='C1' and jifen=5")), 20);
    QCOMPARE(db.scalar(QStringLiteral("select sum(jifenyue) from hyxc where kh='C1'")).toDouble(), 0.0);
    QCOMPARE(db.count(QStringLiteral("hyxc where jifenyue<0")), 0);
}

void TestConcurrency::transferAgainstSave()
{
    // One seat moves all of C1's rows to C2 while another keeps saving new rows for C1.
    TestDatabase db;
    addCustomerWithPoints(db.connection(), kCustomer, 5, 10);
    addCustomerWithPoints(db.connection(), kReceiver, 0, 0);
    const QStringList lines = runWorkers(db, {{"transfer", kCustomer, "15"}, {"save", kCustomer, "30"}});
    QCOMPARE(lines.count(QStringLiteral("moved")), 15);
    QCOMPARE(lines.count(QStringLiteral("saved")), 30);
    // Every row that moved has its log row, and every row is somewhere.
    QCOMPARE(db.count(QStringLiteral("hyxczhuanrang where kh='C1' and zhuanrangkh='C2'")), db.count(QStringLiteral("hyxc where kh='C2'")));
    QCOMPARE(db.count(QStringLiteral("hyxc")), 35);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args.at(1) == QLatin1String("worker"))
        return worker(args);
    TestConcurrency test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_concurrency.moc"
