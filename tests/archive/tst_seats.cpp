// Several seats on one archive: another seat's lock is waited for and then
// explained, a customer another seat changed is never written over, and no
// database failure ends the program.

#include "archive/frmhyda.h"
#include "shell/form_main.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/rawsqlite.h"
#include "support/windowload.h"

#include <QFile>
#include <QTest>

namespace {

const QString kBusy = QStringLiteral("数据库正被其他操作员使用，请稍后再试。");
const QString kConflict = QStringLiteral("记录已被其他操作员修改，已重新读取。");

// Another program holding the write lock for as long as it lives.
struct LockHolder : RawSqlite
{
    explicit LockHolder(const QString &path) : RawSqlite(path)
    {
        sqlite3_exec(handle(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    }
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

} // namespace

class SeatsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Connection::setDefaultBusyTimeout(150); }
    void windowsOnAnArchiveInUse()
    {
        AppFixture f;
        form_main main(f.state);
        const QString before = archive(f);
        {
            LockHolder lock(f.db.path());
            QVERIFY(!main.openWindow("Frm_czyset"));
            QCOMPARE(f.messages.texts(), QStringList{kBusy});
            QVERIFY(!QApplication::overrideCursor());
        }
        // Once the lock is gone the same command opens the window, and nothing was written meanwhile.
        QCOMPARE(archive(f), before);
        QVERIFY(main.openWindow("Frm_czyset"));
        // The file moved away while open: said so, and the window does not open.
        QVERIFY(QFile::rename(f.db.path(), f.db.path() + ".moved"));
        QVERIFY(!main.openWindow("FRMHYDA"));
        QCOMPARE(f.messages.count(), 2);
        QVERIFY2(f.messages.last().contains("已被删除或移走"), qPrintable(f.messages.last()));
    }

    void deleteUnderLock()
    {
        // A command that meets another seat's lock says so and writes nothing; once the lock is gone it runs.
        AppFixture f;
        f.addCustomer("C1", "甲");
        f.addTicket("C1");
        FRMHYDA window(f.state);
        loaded(window);
        const QString before = archive(f);
        {
            LockHolder lock(f.db.path());
            press(&window, "delete");
            QVERIFY2(f.messages.texts().contains(kBusy), qPrintable(f.messages.texts().join('\n')));
            QVERIFY(!QApplication::overrideCursor());
        }
        QCOMPARE(archive(f), before);
        press(&window, "delete");
        QCOMPARE(f.count("hyda"), 0);
        QCOMPARE(f.messages.texts().count(kBusy), 1);
    }

    void customerChangedMeanwhile_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("shown"); // card number and name the window shows after its refused save
        QTest::newRow("edited") << "update hyda set xm='先改' where kh='C1'" << "C1 先改";
        QTest::newRow("deleted") << "delete from hyda where kh='C1'" << "C2 乙";
    }

    void customerChangedMeanwhile()
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
        // Another seat (the fixture's own connection) writes the row after this one read it.
        f.exec(meanwhile);
        press(&window, "save");
        QCOMPARE(f.messages.texts(), QStringList{kConflict});
        QCOMPARE(window.mode(), FRMHYDA::Mode::Browsing);
        QCOMPARE(window.customerNumber() + ' ' + window.slotBox(1)->text(), shown);
        QCOMPARE(f.count("hyda where xm='后改'"), 0);
    }
};

QTEST_MAIN(SeatsTest)
#include "tst_seats.moc"
