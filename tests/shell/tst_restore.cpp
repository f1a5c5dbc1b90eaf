// Data backup and restore from the system menu: a backup holds the committed
// rows only; a good backup restored replaces the archive (kept beside it) and
// everyone logs in again; a bad one changes nothing. And the error report
// every window uses.

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
#include "store/recordset.h"
#include "store/transactionguard.h"
#include "ui/modcwcl.h"

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

const QString kDone = QStringLiteral("数据备份完成!");

// The operator names in a database, read through a connection of its own; the
// open itself proves a backup is one of our databases.
QStringList operatorsIn(const QString &path)
{
    Connection copy;
    copy.openLocation(path);
    Recordset rs;
    rs.open(QStringLiteral("select czy_name from czyzd order by czy_no"), &copy);
    QStringList names;
    for (int i = 0; i < rs.recordCount(); ++i)
        names << rs.valueAt(i, 0).toString();
    return names;
}

} // namespace

class RestoreTest : public QObject
{
    Q_OBJECT

private slots:
    void backupFromMenuHoldsCommittedRowsOnly();
    void failedBackupKeepsWhatWasThere();
    void errorText_data();
    void errorText();
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

void RestoreTest::backupFromMenuHoldsCommittedRowsOnly()
{
    AppFixture f;
    const auto addOperator = [&f](const char *name) {
        f.exec(QStringLiteral("insert into czyzd (czy_name, czy_pass, sys_tag) values (?, 'pw', 0)"), {QString::fromUtf8(name)});
    };
    const QString backup = f.db.tempDir() + QStringLiteral("/kvora.bak");
    QFile old(backup); // an older backup is replaced
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(4096, 'x')));
    old.close();
    form_main w(f.state);
    w.action(QStringLiteral("menu_sys_4"))->trigger(); // without the right: nothing
    QCOMPARE(f.messages.count(), 0);
    Rights::mCzyqx(f.state.connection(), &w, QStringLiteral("admin"));
    addOperator("committed");
    const QStringList committed = operatorsIn(f.db.path());
    {
        // An edit still open on the shared connection when the backup runs.
        TransactionGuard pending(f.state.connection());
        f.state.connection().execute(QStringLiteral("insert into czyzd (czy_name, czy_pass, sys_tag) values ('pending', 'pw', 0)"));
        w.action(QStringLiteral("menu_sys_4"))->trigger();
    }
    QCOMPARE(f.messages.texts(), QStringList{kDone});
    QCOMPARE(f.messages.icon(), Msg::Icon::Question);
    QVERIFY(committed.contains(QStringLiteral("committed")));
    QCOMPARE(operatorsIn(backup), committed);
    QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));
    QCOMPARE(f.count("czyzd where czy_name='pending'"), 0);
    // A second backup takes the rows committed since.
    addOperator("later");
    w.action(QStringLiteral("menu_sys_4"))->trigger();
    QVERIFY(operatorsIn(backup).contains(QStringLiteral("later")));
}

void RestoreTest::failedBackupKeepsWhatWasThere()
{
    AppFixture f;
    // A folder where the backup belongs cannot be replaced by a file.
    const QString backup = f.db.tempDir() + QStringLiteral("/kvora.bak");
    QVERIFY(QDir().mkdir(backup));
    Modulback::data_backup(f.db.connection());
    QCOMPARE(f.messages.count(), 1);
    QCOMPARE(f.messages.icon(), Msg::Icon::Stop);
    QVERIFY(f.messages.text() != kDone);
    QVERIFY(QFileInfo(backup).isDir());
    QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void RestoreTest::errorText_data()
{
    QTest::addColumn<qlonglong>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("text");
    QTest::newRow("general failure") << qlonglong(-2147467259) << "X" << "数据有误，请重新输入!-2147467259X";
    QTest::newRow("no current record") << qlonglong(3021) << "Y" << "错误号 3021Y，退出";
}

void RestoreTest::errorText()
{
    QFETCH(qlonglong, number);
    QFETCH(QString, description);
    QFETCH(QString, text);
    MessageLog messages;
    ModCWCl::err_show(DbError{static_cast<long>(number), description});
    QCOMPARE(messages.texts(), QStringList{text});
    QCOMPARE(messages.icon(), Msg::Icon::Stop);
}

QTEST_MAIN(RestoreTest)
#include "tst_restore.moc"
