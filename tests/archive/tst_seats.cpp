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
#include <QTableView>
#include <QTest>

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
    void ticketTransferredWhileHeld();
};

void SeatsTest::windowsOnAnArchiveInUse_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("moved"); // the file moved away while open, instead of locked by another seat
    QTest::newRow("customers, locked") << "FRMHYDA" << false;
    QTest::newRow("operators, locked") << "Frm_czyset" << false;
    QTest::newRow("customers, moved") << "FRMHYDA" << true;
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
    QTest::newRow("rights save") << Command([](AppFixture &f) {
        ErrorBoundary::run([&] { OperatorCommands::saveRights(f.state.connection(), kOperator, {"客户登记"}); });
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
    Connection seat;
    seat.open(f.state.connectionText());
    seat.execute(meanwhile);
    press(&window, "save");
    QCOMPARE(f.messages.texts(), QStringList{kConflict});
    QCOMPARE(window.mode(), FRMHYDA::Mode::Browsing);
    QCOMPARE(window.customerNumber() + ' ' + window.slotBox(1)->text(), shown);
    QCOMPARE(f.count("hyda where xm='后改'"), 0);
}

void SeatsTest::ticketTransferredWhileHeld()
{
    AppFixture f;
    f.addCustomer("C1", "甲");
    f.addCustomer("C2", "乙");
    const qint64 id = f.addTicket("C1");
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer("C1");
    area.setEditMode();
    // Another seat moves the row while this grid holds it; refunding it here is refused.
    Connection seat;
    seat.open(f.state.connectionText());
    QCOMPARE(PointsCommands::transferRow(seat, "C1", "C2", id), PointsCommands::TransferOutcome::Moved);
    area.grid()->setCurrentIndex(area.model()->index(0, TicketColumn::Destination));
    area.menu_tp_Click();
    QCOMPARE(f.messages.texts(), QStringList{kConflict});
    QCOMPARE(f.scalar("select kh||zt from hyxc where id=?", {id}).toString(), QStringLiteral("C2正常"));
    QCOMPARE(f.count("czyrz"), 0);
    QVERIFY(!area.model()->hasStoredRows());
}

QTEST_MAIN(SeatsTest)
#include "tst_seats.moc"
