// Data restore from the system menu: a good backup replaces the archive (kept
// beside it) and everyone logs in again; a bad one changes nothing.

#include "shell/form_main.h"
#include "shell/modulback.h"
#include "shell/modulrestore.h"
#include "shell/rights.h"
#include "store/archiverestore.h"
#include "store/backup.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/modalscript.h"

#include <QComboBox>
#include <QDir>
#include <QMdiArea>
#include <QTest>
#include <sqlite3.h>

namespace {

void addCustomer(Connection &connection, const QString &kh)
{
    connection.execute(QStringLiteral("insert into hyda (kh, xm) values (?, '测试')"), {kh});
}

int customers(Connection &connection, const QString &kh)
{
    return connection.scalar(QStringLiteral("select count(*) from hyda where kh=?"), {kh}).toInt();
}

// Straight on the file, under the program's checks (made when missing).
void runSql(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

} // namespace

class RestoreTest : public QObject
{
    Q_OBJECT

private slots:
    void restoreFromMenu();
    void badBackupChangesNothing_data();
    void badBackupChangesNothing();
};

void RestoreTest::restoreFromMenu()
{
    AppFixture f;
    TestDatabase &db = f.db;
    AppState &state = f.state;
    form_main w(state);
    w.load();
    QStringList events;
    MessageLog messages(&events);
    const QString backup = Modulback::backupPathFor(db.path());
    addCustomer(state.connection(), QStringLiteral("IN-BACKUP"));
    Modulback::data_backup(state.connection());
    addCustomer(state.connection(), QStringLiteral("AFTER-BACKUP"));

    // Visible, and usable with the right to back up only.
    QAction *restore = w.action(QStringLiteral("menu_sys_5"));
    QVERIFY(restore->isVisible() && !restore->isEnabled());
    Rights::mCzyqx(state.connection(), &w, QStringLiteral("admin"));
    QVERIFY(restore->isEnabled());

    QVERIFY(w.openWindow(QStringLiteral("FRMHYDA")));
    FakeDialogs dialogs(backup);
    ModalScript script(&events);
    script.then(QStringLiteral("frmLogin"), [](QWidget *login) {
        child<QComboBox>(login, QStringLiteral("combname"))->setCurrentText(QStringLiteral("admin"));
        box(login, QStringLiteral("txtPassword"))->setText(QStringLiteral("admin123"));
        ModalScript::click(login, QStringLiteral("cmdOK"));
    });
    restore->trigger();

    QCOMPARE(events, (QStringList{"message", "message", "message", "frmLogin"}));
    QVERIFY(messages.text(1).startsWith(QStringLiteral("将用“%1”中的数据替换当前全部数据").arg(backup)));
    QCOMPARE(messages.shown().at(1).buttons, Msg::Buttons::OkCancel);
    const QString kept = db.path() + QStringLiteral(".before-restore");
    QCOMPARE(messages.text(2), QStringLiteral("数据恢复完成! 恢复前的数据已保存为“%1”。请重新登录。").arg(kept));
    QVERIFY(w.mdiArea()->subWindowList().isEmpty());
    QCOMPARE(state.currentOperator(), QStringLiteral("admin"));

    // The archive holds the backup's rows; what came after is in the kept copy.
    QCOMPARE(customers(state.connection(), QStringLiteral("IN-BACKUP")), 1);
    QCOMPARE(customers(state.connection(), QStringLiteral("AFTER-BACKUP")), 0);
    Connection before;
    before.openLocation(kept);
    QCOMPARE(customers(before, QStringLiteral("AFTER-BACKUP")), 1);
    before.close();

    // A second restore keeps the first kept copy too, under another name.
    QVERIFY(Modulrestore::data_restore(state.connection(), backup));
    const QStringList keptCopies = QDir(db.tempDir()).entryList({QStringLiteral("kvora.db.before-restore*")});
    QCOMPARE(keptCopies.size(), 2);
}

void RestoreTest::badBackupChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("truncated") << "truncated" << "不是数据库或已损坏";
    QTest::newRow("a damaged page") << "damaged" << "”已损坏: database disk image is malformed";
    QTest::newRow("another program's database") << "foreign" << "不是本系统的数据库";
    QTest::newRow("newer schema") << "newer" << "来自较新版本的程序（数据结构第 2 版，本程序只认识到第 1 版）";
    QTest::newRow("a trigger missing") << "trigger" << "缺少 trigger hyxc_statistics_add";
    QTest::newRow("no file") << "missing" << "找不到备份文件";
}

void RestoreTest::badBackupChangesNothing()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    TestDatabase db;
    addCustomer(db.connection(), QStringLiteral("KEEP"));
    const QString bad = db.tempDir() + QStringLiteral("/bad.bak");
    if (kind == QLatin1String("foreign")) {
        runSql(bad, "create table hyda(kh text); insert into hyda values('OTHER');");
    } else if (kind != QLatin1String("missing")) {
        addCustomer(db.connection(), QStringLiteral("IN-BACKUP"));
        backupDatabase(db.connection(), bad);
        db.connection().execute(QStringLiteral("delete from hyda where kh='IN-BACKUP'"));
        if (kind == QLatin1String("truncated")) {
            QVERIFY(QFile::resize(bad, QFileInfo(bad).size() / 2));
        } else if (kind == QLatin1String("damaged")) {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() / 2));
            file.write(QByteArray(8192, '\x55'));
        } else if (kind == QLatin1String("newer")) {
            runSql(bad, "PRAGMA user_version=2");
        } else {
            runSql(bad, "drop trigger hyxc_statistics_add");
        }
    }
    QCOMPARE(kTorvaneSchemaVersion, 1);

    MessageLog messages;
    QVERIFY(!Modulrestore::data_restore(db.connection(), bad));
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.icon(), Msg::Icon::Stop);
    QVERIFY2(messages.text().contains(reason), qPrintable(messages.text()));
    QVERIFY(messages.text().endsWith(QStringLiteral("当前数据没有改动。")));
    QCOMPARE(customers(db.connection(), QStringLiteral("KEEP")), 1);
    QCOMPARE(customers(db.connection(), QStringLiteral("IN-BACKUP")), 0);
    QVERIFY(!QFile::exists(ArchiveRestore::keptPathFor(db.path())));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

QTEST_MAIN(RestoreTest)
#include "tst_restore.moc"
