// Several seats on one archive: another seat's lock is waited for and then
// explained, a row another seat changed is never written over, and no
// database failure ends the program.

#include "archive/frmhyda.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "archive/pointscommands.h"
#include "archive/ticketcolumn.h"
#include "operators/operatorcommands.h"
#include "shell/form_main.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/rawsqlite.h"
#include "support/windowload.h"
#include "ui/errorboundary.h"

#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTest>

using namespace TicketColumn;

namespace {

const QString kBusy = QStringLiteral("数据库正被其他操作员使用，请稍后再试。");
const QString kConflict = QStringLiteral("记录已被其他操作员修改，已重新读取。");

// Another program holding the write lock for as long as it lives.
struct LockHolder
{
    explicit LockHolder(const QString &path) : raw(path)
    {
        if (sqlite3_exec(raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
            qFatal("could not take the lock");
    }
    RawSqlite raw;
};

// Everything a command may touch, as one text.
QString archive(AppFixture &f)
{
    QStringList parts;
    for (const char *sql : {"select group_concat(kh||xm, ';') from hyda",
                            "select group_concat(id||kh||zt||jifen||jifenyue||jfbl, ';') from hyxc",
                            "select count(*) from hyxczhuanrang", "select count(*) from jifenallow",
                            "select count(*) from czyrz", "select group_concat(name||nr, ';') from czy"})
        parts << f.scalar(sql).toString();
    return parts.join('|');
}

// A seat of its own: this test program run again, clearing 7 points at a time.
int runSeat(const QStringList &args)
{
    Connection connection;
    connection.openLocation(args.at(1));
    int cleared = 0;
    for (int i = 0; i < 6; ++i)
        cleared += PointsCommands::clearPoints(connection, "C1", "7", QString(), "seat").outcome
                   == PointsCommands::ClearOutcome::Cleared;
    return cleared;
}

using Command = std::function<void(AppFixture &)>;

} // namespace

class SeatsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Connection::setDefaultBusyTimeout(150); }
    void windowsOnAnArchiveInUse_data();
    void windowsOnAnArchiveInUse();
    void commandsUnderLock_data();
    void commandsUnderLock();
    void customerChangedMeanwhile_data();
    void customerChangedMeanwhile();
    void ticketTransferredWhileHeld_data();
    void ticketTransferredWhileHeld();
    void clearingRace();
};

void SeatsTest::windowsOnAnArchiveInUse_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("moved"); // the file moved away while open, instead of locked by another seat
    for (const char *type : {"FRMHYDA", "FRM_KXLX", "Frm_czyset", "Frm_czyrz"}) {
        QTest::addRow("%s, locked", type) << QString(type) << false;
        QTest::addRow("%s, moved", type) << QString(type) << true;
    }
}

void SeatsTest::windowsOnAnArchiveInUse()
{
    QFETCH(QString, type);
    QFETCH(bool, moved);
    AppFixture f;
    form_main main(f.state);
    const QString before = archive(f);
    {
        std::optional<LockHolder> lock;
        if (moved)
            QVERIFY(QFile::rename(f.db.path(), f.db.path() + ".moved"));
        else
            lock.emplace(f.db.path());
        QVERIFY(!main.openWindow(type));
        QCOMPARE(f.messages.count(), 1);
        QVERIFY2(moved ? f.messages.text().contains("已被删除或移走") : f.messages.text() == kBusy,
                 qPrintable(f.messages.text()));
        QVERIFY(!QApplication::overrideCursor());
    }
    if (moved)
        return;
    // Once the lock is gone the same command opens the window, and nothing was written meanwhile.
    QCOMPARE(archive(f), before);
    QWidget *window = main.openWindow(type);
    QVERIFY(window);
    QCOMPARE(f.messages.count(), 1);
    window->close();
}

void SeatsTest::commandsUnderLock_data()
{
    QTest::addColumn<Command>("command");
    QTest::newRow("clearing") << Command([](AppFixture &f) {
        PointsCommands::clearPointsWithMessages(f.state.connection(), "C1", "10", QString(), kOperator);
    });
    QTest::newRow("transfer all") << Command([](AppFixture &f) {
        PointsCommands::transferAllWithMessages(f.state.connection(), "C1", "C2");
    });
    QTest::newRow("transfer one row") << Command([](AppFixture &f) {
        PointsCommands::transferRowWithMessages(f.state.connection(), "C1", "C2", 1);
    });
    QTest::newRow("rights save") << Command([](AppFixture &f) {
        ErrorBoundary::run([&] { OperatorCommands::saveRights(f.state.connection(), kOperator, {"客户登记"}); });
    });
    QTest::newRow("refund") << Command([](AppFixture &f) {
        ItineraryArea area(f.state);
        area.load();
        area.setCustomer("C1");
        area.setEditMode();
        area.grid()->setCurrentIndex(area.model()->index(0, Destination));
        area.menu_tp_Click();
    });
    QTest::newRow("customer delete") << Command([](AppFixture &f) {
        FRMHYDA window(f.state);
        ErrorBoundary::run([&] { loaded(window); });
        press(&window, "delete");
    });
}

void SeatsTest::commandsUnderLock()
{
    QFETCH(Command, command);
    AppFixture f;
    f.addCustomer("C1", "甲");
    f.addCustomer("C2", "乙");
    f.addTicket("C1");
    f.addTicket("C1");
    const QString before = archive(f);
    {
        LockHolder lock(f.db.path());
        command(f);
        QVERIFY2(f.messages.texts().contains(kBusy), qPrintable(f.messages.texts().join('\n')));
        QVERIFY(!QApplication::overrideCursor());
    }
    QCOMPARE(archive(f), before);
    f.messages.clear();
    command(f);
    QVERIFY2(!f.messages.texts().contains(kBusy), qPrintable(f.messages.texts().join('\n')));
    QVERIFY(archive(f) != before);
}

void SeatsTest::customerChangedMeanwhile_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("shown"); // card number and name the window shows after its refused save
    QTest::newRow("edited") << "update hyda set xm='先改' where kh='C1'" << "C1 先改";
    QTest::newRow("deleted") << "delete from hyda where kh='C1'" << "C2 乙";
}

void SeatsTest::customerChangedMeanwhile()
{
    QFETCH(QString, meanwhile);
    QFETCH(QString, shown);
    AppFixture f;
    f.addCustomer("C1", "甲");
    f.addCustomer("C2", "乙");
    FRMHYDA window(f.state);
    loaded(window);
    press(&window, "edit");
    paste(window.slotBox(1), "后改");
    // Another seat writes the row after this one read it.
    AppState other;
    other.connection().open(f.state.connectionText());
    other.connection().execute(meanwhile);
    press(&window, "save");
    QCOMPARE(f.messages.texts(), QStringList{kConflict});
    QCOMPARE(window.mode(), FRMHYDA::Mode::Browsing);
    QCOMPARE(window.customerNumber() + ' ' + window.slotBox(1)->text(), shown);
    QCOMPARE(f.count("hyda where xm='后改'"), 0);
}

void SeatsTest::ticketTransferredWhileHeld_data()
{
    QTest::addColumn<bool>("refund");
    QTest::newRow("saved there") << false;
    QTest::newRow("refunded there") << true;
}

void SeatsTest::ticketTransferredWhileHeld()
{
    QFETCH(bool, refund);
    AppFixture f;
    f.addCustomer("C1", "甲");
    f.addCustomer("C2", "乙");
    const qint64 id = f.addTicket("C1");
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer("C1");
    area.setEditMode();
    // Another seat moves the row while this grid holds it.
    Connection seat;
    seat.open(f.state.connectionText());
    QCOMPARE(PointsCommands::transferRow(seat, "C1", "C2", id), PointsCommands::TransferOutcome::Moved);
    area.grid()->setCurrentIndex(area.model()->index(0, Destination));
    if (refund) {
        area.menu_tp_Click();
    } else {
        area.model()->setCell(0, Destination, "广州");
        area.runway_save(0);
    }
    QCOMPARE(f.messages.texts(), QStringList{kConflict});
    // The row stays with the receiver, unchanged; the transfer log stays true; the grid shows what is there now.
    QCOMPARE(f.scalar("select kh||daoda||zt from hyxc where id=?", {id}).toString(), QStringLiteral("C2北京正常"));
    QCOMPARE(f.count("hyxczhuanrang where kh='C1' and zhuanrangkh='C2'"), 1);
    QCOMPARE(f.count("czyrz"), 0);
    QVERIFY(!area.model()->hasStoredRows());
}

void SeatsTest::clearingRace()
{
    AppFixture f;
    f.addCustomer("C1", "甲");
    for (int i = 0; i < 6; ++i)
        f.addTicket("C1", {{"jifen", 10.5}, {"jifenyue", 10.5}});
    // Two seats clear 7 points at a time, 6 times each, from 63 points: 9 clearings fit.
    QList<QProcess *> seats;
    for (int s = 0; s < 2; ++s) {
        seats << new QProcess(this);
        seats.last()->start(QCoreApplication::applicationFilePath(), {"--seat", f.db.path()});
    }
    int cleared = 0;
    for (QProcess *p : seats) {
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        cleared += p->exitCode();
    }
    QCOMPARE(cleared, 9);
    QCOMPARE(f.count("jifenallow where kh='C1'"), 9);
    QCOMPARE(f.count("hyxc where jifenyue<>0"), 0);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--seat"))
        return runSeat(app.arguments().mid(1));
    SeatsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_seats.moc"
