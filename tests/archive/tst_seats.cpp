// Several seats on one archive: another seat's lock is waited for and then
// explained, a row another seat changed is never written over, and no database
// failure ends the program.
#include "archivesupport.h"

#include "archive/frmhyda.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "archive/pointscommands.h"
#include "archive/ticketcolumn.h"
#include "operators/operatorcommands.h"
#include "shell/form_main.h"
#include "support/rawsqlite.h"
#include "support/windowload.h"
#include "ui/errorboundary.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QTest>
#include <QToolBar>

using namespace TicketColumn;

namespace {

// Another program holding the write lock for as long as it lives.
class LockHolder
{
public:
    explicit LockHolder(const QString &path) : m_raw(path)
    {
        if (sqlite3_exec(m_raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
            qFatal("could not take the lock");
    }
    ~LockHolder() { sqlite3_exec(m_raw, "ROLLBACK", nullptr, nullptr, nullptr); }

private:
    RawSqlite m_raw;
};

// Everything a command may touch, as one text.
QString archiveDigest(ArchiveFixture &f)
{
    QStringList parts;
    for (const char *sql : {"select group_concat(kh||xm, ';') from (select * from hyda order by id)",
                            "select group_concat(id||kh||zt||jifen||jifenyue||coalesce(jfbl,''), ';') from (select * from hyxc order by id)",
                            "select count(*) from hyxczhuanrang", "select count(*) from jifenallow",
                            "select count(*) from czyrz", "select group_concat(name||nr, ';') from czy"})
        parts << f.scalar(QString::fromLatin1(sql)).toString();
    return parts.join(QLatin1Char('|'));
}

void press(QWidget &window, const QString &key)
{
    for (QToolBar *bar : window.findChildren<QToolBar *>())
        for (QAction *a : bar->actions())
            if (a->objectName() == key)
                a->trigger();
}

// A seat of its own: this test program run again, clearing points in a loop.
int runSeat(const QStringList &args)
{
    Connection connection;
    connection.openLocation(args.at(2));
    int cleared = 0;
    for (int i = 0; i < args.at(4).toInt(); ++i) {
        const auto result = PointsCommands::clearPoints(connection, args.at(3), QStringLiteral("7"), QString(),
                                                        QStringLiteral("seat"));
        if (result.outcome == PointsCommands::ClearOutcome::Cleared)
            ++cleared;
    }
    return cleared;
}

} // namespace

class SeatsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Connection::setDefaultBusyTimeout(150); }
    void windowsUnderLock_data();
    void windowsUnderLock();
    void commandsUnderLock_data();
    void commandsUnderLock();
    void windowsOnMovedFile();
    void customerEditedTwice();
    void deletedWhileEdited();
    void ticketTransferredWhileHeld_data();
    void ticketTransferredWhileHeld();
    void clearingRace();
};

void SeatsTest::windowsUnderLock_data()
{
    QTest::addColumn<QString>("type");
    for (const char *type : {"FRMHYDA", "FRM_KXLX", "Frm_czyset", "Frm_czyrz"})
        QTest::newRow(type) << QString::fromLatin1(type);
}

void SeatsTest::windowsUnderLock()
{
    QFETCH(QString, type);
    ArchiveFixture f;
    MessageLog messages;
    form_main main(f.state);
    const QString before = archiveDigest(f);
    {
        LockHolder lock(f.db.path());
        QVERIFY(!main.openWindow(type));
        QCOMPARE(messages.texts(), QStringList{DbMessages::busy()});
        QVERIFY(!QApplication::overrideCursor());
    }
    QCOMPARE(archiveDigest(f), before);
    // Once the lock is gone the same command opens the window.
    QWidget *window = main.openWindow(type);
    QVERIFY(window);
    QCOMPARE(messages.count(), 1);
    window->close();
}

using Command = std::function<void(ArchiveFixture &)>;

void SeatsTest::commandsUnderLock_data()
{
    QTest::addColumn<Command>("command");
    QTest::newRow("clearing") << Command([](ArchiveFixture &f) {
        PointsCommands::clearPointsWithMessages(f.state.connection(), QStringLiteral("C1"), QStringLiteral("10"),
                                                QString(), kOperator);
    });
    QTest::newRow("transfer all") << Command([](ArchiveFixture &f) {
        PointsCommands::transferAllWithMessages(f.state.connection(), QStringLiteral("C1"), QStringLiteral("C2"));
    });
    QTest::newRow("transfer one row") << Command([](ArchiveFixture &f) {
        PointsCommands::transferRowWithMessages(f.state.connection(), QStringLiteral("C1"), QStringLiteral("C2"), 1);
    });
    QTest::newRow("rights save") << Command([](ArchiveFixture &f) {
        ErrorBoundary::run([&] { OperatorCommands::saveRights(f.state.connection(), kOperator, {QStringLiteral("客户登记")}); });
    });
    QTest::newRow("refund") << Command([](ArchiveFixture &f) {
        ItineraryArea area(f.state);
        area.load();
        area.setCustomer(QStringLiteral("C1"));
        area.setEditMode();
        area.grid()->setCurrentIndex(area.model()->index(0, Destination));
        area.menu_tp_Click();
    });
    QTest::newRow("customer delete") << Command([](ArchiveFixture &f) {
        FRMHYDA window(f.state);
        ErrorBoundary::run([&] { loaded(window); });
        press(window, QStringLiteral("delete"));
    });
}

void SeatsTest::commandsUnderLock()
{
    QFETCH(Command, command);
    ArchiveFixture f;
    f.addCustomer(QStringLiteral("C1"), QStringLiteral("甲"));
    f.addCustomer(QStringLiteral("C2"), QStringLiteral("乙"));
    f.addTicket(QStringLiteral("C1"));
    f.addTicket(QStringLiteral("C1"));
    MessageLog messages;
    const QString before = archiveDigest(f);
    {
        LockHolder lock(f.db.path());
        command(f);
        QVERIFY2(messages.texts().contains(DbMessages::busy()), qPrintable(messages.texts().join(QLatin1Char('\n'))));
        QVERIFY(!QApplication::overrideCursor());
    }
    QCOMPARE(archiveDigest(f), before);
    messages.clear();
    command(f);
    QVERIFY2(!messages.texts().contains(DbMessages::busy()), qPrintable(messages.texts().join(QLatin1Char('\n'))));
    QVERIFY(archiveDigest(f) != before);
}

void SeatsTest::windowsOnMovedFile()
{
    // A file moved away while open takes no more writes: windows that write
    // their log entry do not open, and say why; the program goes on.
    ArchiveFixture f;
    MessageLog messages;
    form_main main(f.state);
    QVERIFY(QFile::rename(f.db.path(), f.db.path() + QStringLiteral(".moved")));
    for (const char *type : {"FRMHYDA", "FRM_KXLX", "Frm_czyset", "Frm_czyrz"}) {
        messages.clear();
        QVERIFY2(!main.openWindow(QString::fromLatin1(type)), type);
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.text().contains(QStringLiteral("已被删除或移走")), qPrintable(messages.text()));
    }
}

void SeatsTest::customerEditedTwice()
{
    ArchiveFixture f;
    f.addCustomer(QStringLiteral("C1"), QStringLiteral("甲"));
    MessageLog messages;
    AppState other;
    other.connection().open(Connection::connectionText(f.db.folder(), f.db.fileName()));
    FRMHYDA first(f.state), second(other);
    loaded(first);
    loaded(second);
    for (FRMHYDA *w : {&first, &second}) {
        press(*w, QStringLiteral("edit"));
        w->slotBox(1)->setText(w == &first ? QStringLiteral("先改") : QStringLiteral("后改"));
        emit w->slotBox(1)->textEdited(w->slotBox(1)->text());
    }
    press(first, QStringLiteral("save"));
    QCOMPARE(messages.count(), 0);
    press(second, QStringLiteral("save"));
    // The second seat read the row before the first wrote it: refused, and shown what is stored now.
    QCOMPARE(messages.texts(), QStringList{DbMessages::conflict()});
    QCOMPARE(f.scalar(QStringLiteral("select xm from hyda where kh='C1'")).toString(), QStringLiteral("先改"));
    QCOMPARE(second.slotBox(1)->text(), QStringLiteral("先改"));
    QCOMPARE(second.mode(), FRMHYDA::Mode::Browsing);
}

void SeatsTest::deletedWhileEdited()
{
    ArchiveFixture f;
    f.addCustomer(QStringLiteral("C1"), QStringLiteral("甲"));
    f.addCustomer(QStringLiteral("C2"), QStringLiteral("乙"));
    MessageLog messages;
    FRMHYDA window(f.state);
    loaded(window);
    press(window, QStringLiteral("edit"));
    window.slotBox(1)->setText(QStringLiteral("改名"));
    emit window.slotBox(1)->textEdited(window.slotBox(1)->text());
    f.exec(QStringLiteral("delete from hyda where kh='C1'"));
    press(window, QStringLiteral("save"));
    QCOMPARE(messages.texts(), QStringList{DbMessages::conflict()});
    QCOMPARE(f.count(QStringLiteral("hyda")), 1);
    QCOMPARE(window.customerNumber(), QStringLiteral("C2"));
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
    ArchiveFixture f;
    f.addCustomer(QStringLiteral("C1"), QStringLiteral("甲"));
    f.addCustomer(QStringLiteral("C2"), QStringLiteral("乙"));
    const qint64 id = f.addTicket(QStringLiteral("C1"));
    MessageLog messages;
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C1"));
    area.setEditMode();
    // Another seat moves the row while this grid holds it.
    Connection seat;
    seat.open(Connection::connectionText(f.db.folder(), f.db.fileName()));
    QCOMPARE(PointsCommands::transferRow(seat, QStringLiteral("C1"), QStringLiteral("C2"), id),
             PointsCommands::TransferOutcome::Moved);
    area.grid()->setCurrentIndex(area.model()->index(0, Destination));
    if (refund) {
        area.menu_tp_Click();
    } else {
        area.model()->setCell(0, Destination, QStringLiteral("广州"));
        area.runway_save(0);
    }
    QCOMPARE(messages.texts(), QStringList{DbMessages::conflict()});
    // The row stays with the receiver, unchanged; the transfer log stays true.
    QCOMPARE(f.scalar(QStringLiteral("select kh||daoda||zt from hyxc where id=%1").arg(id)).toString(),
             QStringLiteral("C2北京正常"));
    QCOMPARE(f.count(QStringLiteral("hyxczhuanrang where kh='C1' and zhuanrangkh='C2'")), 1);
    QCOMPARE(f.count(QStringLiteral("czyrz")), 0);
    QCOMPARE(area.model()->hasStoredRows(), false);
}

void SeatsTest::clearingRace()
{
    ArchiveFixture f;
    f.addCustomer(QStringLiteral("C1"), QStringLiteral("甲"));
    for (int i = 0; i < 6; ++i)
        f.addTicket(QStringLiteral("C1"), {{QStringLiteral("jifen"), 10.5}, {QStringLiteral("jifenyue"), 10.5}});
    // Two seats clear 7 points at a time, 6 times each, from 63 points: 9 clearings fit.
    QList<QProcess *> seats;
    for (int s = 0; s < 2; ++s) {
        auto *p = new QProcess(this);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--seat"), QStringLiteral("clear"), f.db.path(), QStringLiteral("C1"), QStringLiteral("6")});
        seats << p;
    }
    int cleared = 0;
    for (QProcess *p : seats) {
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        cleared += p->exitCode();
    }
    QCOMPARE(cleared, 9);
    QCOMPARE(f.count(QStringLiteral("jifenallow where kh='C1'")), 9);
    QCOMPARE(f.scalar(QStringLiteral("select sum(jifenyue) from hyxc where kh='C1'")).toDouble(), 0.0);
    QVERIFY(f.count(QStringLiteral("hyxc where jifenyue<0")) == 0);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 4 && args.at(1) == QLatin1String("--seat"))
        return runSeat(args.mid(1));
    SeatsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_seats.moc"
