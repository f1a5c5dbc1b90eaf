// Data backup and restore from the system menu: a good backup restored
// replaces the archive (kept beside it) and everyone logs in again; a bad one
// changes nothing.

#include "shell/form_main.h"
#include "shell/modulback.h"
#include "shell/modulrestore.h"
#include "domain/operators/rights.h"
#include "store/archiverestore.h"
#include "store/backup.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/modalscript.h"
#include "support/rawsqlite.h"
#include "ui/modcwcl.h"

#include <QComboBox>
#include <QDir>
#include <QMdiArea>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kDone = QStringLiteral("数据备份完成!");

int customers(Connection &connection, const QString &kh)
{
    return connection.scalar(QStringLiteral("select count(*) from hyda where kh=?"), {kh}).toInt();
}

// Straight on the file, under the program's checks (made when missing).
void runSql(const QString &path, const char *sql)
{
    QFile(path).open(QIODevice::Append);
    QCOMPARE(sqlite3_exec(RawSqlite(path), sql, nullptr, nullptr, nullptr), SQLITE_OK);
}

} // namespace

class RestoreTest : public QObject
{
    Q_OBJECT

private slots:
    void backupAndRestoreFromMenu()
    {
        AppFixture f;
        Connection &c = f.state.connection();
        form_main w(f.state);
        w.load();
        QStringList events;
        MessageLog messages(&events);
        const QString backup = Modulback::backupPathFor(f.db.path());
        QFile old(backup); // an older backup is replaced
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(4096, 'x')));
        old.close();
        // Both commands are visible; without the right to back up neither does anything, with it both work.
        QAction *restore = w.action(QStringLiteral("menu_sys_5"));
        QVERIFY(restore->isVisible() && !restore->isEnabled());
        w.action(QStringLiteral("menu_sys_4"))->trigger();
        QVERIFY(events.isEmpty());
        Rights::mCzyqx(c, &w, QStringLiteral("admin"));
        QVERIFY(restore->isEnabled());
        f.addCustomer("IN-BACKUP");
        w.action(QStringLiteral("menu_sys_4"))->trigger();
        QCOMPARE(messages.texts(), QStringList{kDone + QStringLiteral("\n备份文件: ") + backup});
        QCOMPARE(messages.icon(), Msg::Icon::Information);
        QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));
        f.addCustomer("AFTER-BACKUP");

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
        QCOMPARE(dialogs.folder, QFileInfo(backup).absolutePath()); // opened where backups go
        QVERIFY(messages.text(1).startsWith(QStringLiteral("将用“%1”中的数据替换当前全部数据").arg(backup)));
        const QString kept = f.db.path() + QStringLiteral(".before-restore");
        QCOMPARE(messages.text(2), QStringLiteral("数据恢复完成! 恢复前的数据已保存为“%1”。请重新登录。").arg(kept));
        QVERIFY(w.mdiArea()->subWindowList().isEmpty());
        QCOMPARE(f.state.currentOperator(), QStringLiteral("admin"));

        // The archive holds the backup's rows; what came after is in the kept copy.
        QCOMPARE(customers(c, QStringLiteral("IN-BACKUP")), 1);
        QCOMPARE(customers(c, QStringLiteral("AFTER-BACKUP")), 0);
        Connection before;
        before.openLocation(kept);
        QCOMPARE(customers(before, QStringLiteral("AFTER-BACKUP")), 1);
        before.close();
        // A second restore keeps the first kept copy too, under another name.
        QVERIFY(Modulrestore::data_restore(c, backup));
        QCOMPARE(QDir(f.db.tempDir()).entryList({QStringLiteral("kvora.db.before-restore*")}).size(), 2);
    }

    void badBackupChangesNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a database") << "junk" << "不是数据库或已损坏";
        QTest::newRow("truncated") << "truncated" << "不是数据库或已损坏";
        QTest::newRow("a damaged page") << "damaged" << "”已损坏，不能用来恢复";
        QTest::newRow("another program's database") << "foreign" << "不是本系统的数据库";
        QTest::newRow("newer schema") << "newer" << "来自较新版本的程序（数据结构第 2 版，本程序只认识到第 1 版）";
        QTest::newRow("a trigger missing") << "trigger" << "缺少 trigger hyxc_statistics_add";
        QTest::newRow("no file") << "missing" << "找不到备份文件";
    }

    void badBackupChangesNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        AppFixture f;
        f.addCustomer("KEEP");
        const QString bad = f.db.tempDir() + "/bad.bak";
        if (kind == QLatin1String("foreign")) {
            runSql(bad, "create table hyda(kh text); insert into hyda values('OTHER');");
        } else if (kind == QLatin1String("junk")) {
            QFile junk(bad);
            QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(5000, 'j')));
        } else if (kind != QLatin1String("missing")) {
            f.addCustomer("IN-BACKUP");
            backupDatabase(f.db.connection(), bad);
            f.exec("delete from hyda where kh='IN-BACKUP'");
            if (kind == QLatin1String("truncated")) {
                QVERIFY(QFile::resize(bad, QFileInfo(bad).size() / 2));
            } else if (kind == QLatin1String("damaged")) {
                QFile file(bad);
                QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() / 2));
                file.write(QByteArray(8192, '\x55'));
            } else {
                runSql(bad, kind == QLatin1String("newer") ? "PRAGMA user_version=2" : "drop trigger hyxc_statistics_add");
            }
        }
        QVERIFY(!Modulrestore::data_restore(f.db.connection(), bad));
        QCOMPARE(f.messages.count(), 1);
        QCOMPARE(f.messages.icon(), Msg::Icon::Stop);
        QVERIFY2(f.messages.text().contains(reason), qPrintable(f.messages.text()));
        // Said in Chinese: no word of the engine's beside the file's and the schema's names.
        QVERIFY2(!f.messages.text().remove(bad).remove(reason).contains(QRegularExpression("[A-Za-z]")),
                 qPrintable(f.messages.text()));
        QVERIFY(f.messages.text().endsWith("当前数据没有改动。"));
        QCOMPARE(f.column("select kh from hyda"), QStringList{"KEEP"});
        QVERIFY(!QFile::exists(ArchiveRestore::keptPathFor(f.db.path())));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void failedBackupKeepsWhatWasThere()
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
    }

    void errorText_data()
    {
        QTest::addColumn<qlonglong>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("general failure") << qlonglong(-2147467259) << "数据有误，请重新输入!-2147467259X";
        QTest::newRow("no current record") << qlonglong(3021) << "错误号 3021X，退出";
    }

    void errorText()
    {
        QFETCH(qlonglong, number);
        QFETCH(QString, text);
        MessageLog messages;
        ModCWCl::err_show(DbError{static_cast<long>(number), QStringLiteral("X")});
        QCOMPARE(messages.texts(), QStringList{text});
        QCOMPARE(messages.icon(), Msg::Icon::Stop);
    }
};

QTEST_MAIN(RestoreTest)
#include "tst_restore.moc"
