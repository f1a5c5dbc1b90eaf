// Operator passwords and the operator windows: the password window checks the
// old one exactly against the hash, works by keyboard alone and closes after
// three strikes; no byte of the archive, its journal or its backup holds a
// password, the files are private whatever the umask, and the administrator
// resets a forgotten password from the terminal. The log viewer finds by any
// day, shows 24-hour times and deletes closed entries only; rights saved are
// seen at the next login.

#include "operators/frm_czy_password.h"
#include "operators/frm_czyrz.h"
#include "operators/frm_czyset.h"
#include "domain/operators/operatorcommands.h"
#include "shell/form_main.h"
#include "shell/frmlogin.h"
#include "domain/operators/rights.h"
#include "store/backup.h"
#include "store/passwordhash.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/windowload.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <sys/stat.h>

namespace {

const QString kOwnPassword = QStringLiteral("select czy_pass from czyzd where czy_name='王芳'");
const QString kWrongOld = QStringLiteral("输入原口令不正确,请重新输入!");

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class PasswordsTest : public QObject
{
    Q_OBJECT

private slots:
    void oldPassword_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("inClear"); // kept as an archive from before hashing kept it
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right") << "Pass Word" << false << "Pass Word" << true;
        QTest::newRow("case changed") << "Pass Word" << false << "pass word" << false;
        QTest::newRow("cut at a NUL") << QStringLiteral("Pass") + QChar(0) + QStringLiteral("Word") << false << "Pass" << false;
        // A clear value is compared exactly too, at login and here, and hashed once it matched.
        QTest::newRow("clear, right") << "Pass Word" << true << "Pass Word" << true;
        QTest::newRow("clear, a typed prefix") << "Pass Word" << true << "Pass" << false;
        QTest::newRow("clear, one character more") << "Pass Word" << true << "Pass Words" << false;
        QTest::newRow("clear, nothing typed") << "Pass Word" << true << "" << false;
        QTest::newRow("clear, case changed") << "Pass Word" << true << "pass word" << false;
        QTest::newRow("clear, a trailing blank") << "Pass Word" << true << "Pass Word " << false;
        QTest::newRow("clear, stored with a trailing blank") << "Pass Word " << true << "Pass Word" << false;
    }

    void oldPassword()
    {
        QFETCH(QString, stored);
        QFETCH(bool, inClear);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        AppFixture f;
        const QVariant value = inClear ? QVariant(stored) : PasswordHash::make(stored);
        f.exec(QStringLiteral("update czyzd set czy_pass=? where czy_name='王芳'"), {value});
        if (inClear) {
            frmLogin login(f.state, nullptr);
            loaded(login);
            child<QComboBox>(&login, "combname")->setCurrentText(QStringLiteral("王芳"));
            box(&login, "txtPassword")->setText(typed);
            login.cmdOK_Click();
            QCOMPARE(login.result() == QDialog::Accepted, accepted);
            QCOMPARE(f.messages.texts(), accepted ? QStringList() : QStringList{QStringLiteral("口令错误!")});
            const QVariant now = f.scalar(kOwnPassword);
            QCOMPARE(PasswordHash::isHash(now), accepted);
            QVERIFY(PasswordHash::matches(now, stored));
            // Again in clear for the password window.
            f.exec(QStringLiteral("update czyzd set czy_pass=? where czy_name='王芳'"), {value});
            f.messages.clear();
        }
        frm_czy_password w(f.state);
        loaded(w);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // By keyboard alone: Enter goes on from box to box, the old password checked on leaving the first.
        for (const QString &text : {typed, QStringLiteral("New Pass "), QStringLiteral("New Pass ")}) {
            QTest::keyClicks(QApplication::focusWidget(), text);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            if (!accepted)
                break;
        }
        if (!accepted) {
            QCOMPARE(f.messages.texts(), QStringList{kWrongOld});
            QCOMPARE(f.scalar(kOwnPassword), value);
            return;
        }
        // Enter in the last box puts the focus on the confirm button; Enter there confirms.
        auto *confirm = child<QPushButton>(&w, "com_password_0");
        QVERIFY(confirm->hasFocus());
        QTest::keyClick(confirm, Qt::Key_Return);
        QCOMPARE(f.messages.texts(), QStringList{"变更口令成功，按任意键返回！"});
        QCOMPARE(w.result(), int(QDialog::Accepted));
        const QVariant now = f.scalar(kOwnPassword);
        QVERIFY(PasswordHash::isHash(now));
        QVERIFY(PasswordHash::matches(now, QStringLiteral("New Pass ")));
        QVERIFY(!PasswordHash::matches(now, QStringLiteral("New Pass")));
    }

    void filesHoldNoPasswordAndArePrivate()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("new.db"));
        const QString backup = dir.filePath(QStringLiteral("new.bak"));
        // Files made here see the most permissive umask there is.
        const mode_t before = ::umask(0);
        DatabaseCreator::create(path);
        Connection c;
        c.openLocation(path);
        // An old clear-text row, in the file itself: the search sees a password where there is one.
        c.execute(QStringLiteral("insert into czyzd(czy_name, czy_pass) values('clerk', 'Clerk-Pass-1 ')"));
        c.executeScript(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        QVERIFY(bytesOf(path).contains("Clerk-Pass-1"));
        const qint64 clerk = OperatorCommands::ownAccount(c, QStringLiteral("clerk")).toLongLong();
        QCOMPARE(OperatorCommands::changePassword(c, clerk, QStringLiteral("Clerk-Pass-1 "), QStringLiteral("Changed-Pass-2")),
                 OperatorCommands::ChangeOutcome::Changed);
        backupDatabase(c, backup);
        ::umask(before);
        // The archive as the journal leaves it, and the journal files, which live while the archive is open.
        c.executeScript(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
        QVERIFY(QFileInfo(path + QStringLiteral("-wal")).size() > 0);
        for (const QString &file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm"), backup}) {
            struct stat info{};
            QVERIFY(::stat(QFile::encodeName(file).constData(), &info) == 0);
            QVERIFY2((info.st_mode & 0777) == 0600, qPrintable(QStringLiteral("%1: %2").arg(file).arg(info.st_mode & 0777, 0, 8)));
            for (const char *secret : {"admin123", "Clerk-Pass-1", "Changed-Pass-2"})
                QVERIFY2(!bytesOf(file).contains(secret), qPrintable(file + QStringLiteral(": ") + QLatin1String(secret)));
        }
    }

    void resetPassword_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("valid"); // the password that opens the account afterwards
        QTest::newRow("typed twice") << "admin" << QByteArray("New Pass \nNew Pass \n") << "New Pass ";
        QTest::newRow("entries differ") << "admin" << QByteArray("abc\nabd\n") << "admin123";
    }

    void resetPassword()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, input);
        QFETCH(QString, valid);
        TestDatabase db;
        QProcess program;
        program.start(QStringLiteral(TORVANE_PROGRAM), {QStringLiteral("--reset-password"), name, "--database", db.path()});
        program.write(input);
        program.closeWriteChannel();
        QVERIFY(program.waitForFinished(30000));
        QVERIFY2((program.exitCode() == 0) == (valid != QLatin1String("admin123")), program.readAllStandardError().constData());
        const QVariant stored = db.scalar(QStringLiteral("select czy_pass from czyzd where czy_name='admin'"));
        QVERIFY(PasswordHash::isHash(stored));
        QVERIFY(PasswordHash::matches(stored, valid));
    }

    void threeWrongOldPasswordsClose()
    {
        AppFixture f;
        frm_czy_password w(f.state);
        loaded(w);
        w.show();
        const QVariant before = f.scalar(kOwnPassword);
        for (int i = 0; i < 3; ++i) {
            box(&w, "Txt_password_0")->setText(QStringLiteral("wrong%1").arg(i));
            w.init_password();
        }
        QCOMPARE(f.messages.texts(), (QStringList{kWrongOld, kWrongOld, "对不起,您无权变更操作员'王芳'的口令!"}));
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(f.scalar(kOwnPassword), before);
    }

    void logViewer()
    {
        // Closed entries on two days, one of them crossing midnight, and one still open.
        AppFixture f;
        f.exec("insert into czyrz(czyname,czyxm,init_time,last_time) values"
               "('王芳','客户档案','2000-01-01 09:00:00','2000-01-01 10:00:00'),"
               "('admin','编码设置','2000-01-01 23:59:59','2000-01-02 00:10:00'),"
               "('王芳','客户档案','2024-05-06 09:00:00','2024-05-06 09:30:00'), ('admin','编码设置',null,null)");
        Frm_czyrz w(f.state);
        loaded(w);
        child<QDateEdit>(&w, "txtkssj")->setDate(QDate(2000, 1, 1));
        // Without a date every closed entry is listed; 2000-01-01 is a day like any other.
        using Find = std::tuple<bool, QString, int>;
        for (const auto &[byDate, name, found] : {Find{false, "", 3}, Find{true, "", 2}, Find{true, "admin", 1}}) {
            child<QCheckBox>(&w, "chkkssj")->setChecked(byDate);
            box(&w, "txtname")->setText(name);
            w.toolbarClicked(QStringLiteral("find"));
            QCOMPARE(w.recordset()->recordCount(), found);
        }
        // Times read on a 24-hour clock, as everywhere else.
        const QAbstractItemModel *grid = child<QTableView>(&w, "MSGrid")->model();
        QCOMPARE(grid->index(0, 3).data().toString() + '|' + grid->index(0, 4).data().toString(),
                 QStringLiteral("2000-01-01 23:59:59|2000-01-02 00:10:00"));
        // Deleting spares the open entries: the viewer's own and the other window's.
        w.toolbarClicked(QStringLiteral("delete"));
        QCOMPARE(f.messages.texts(), QStringList{"确认删除所有日志吗?"});
        QCOMPARE(f.count("czyrz where last_time is not null"), 0);
        QCOMPARE(f.count("czyrz where last_time is null"), 2);
        QCOMPARE(w.recordset()->recordCount(), 0);
    }

    void allRightsSeenAtNextLogin()
    {
        AppFixture f;
        {
            Frm_czyset w(f.state);
            loaded(w);
            child<QComboBox>(&w, "combczy")->setCurrentText(QStringLiteral("王芳"));
            child<QCheckBox>(&w, "Check1")->click();
            w.toolbarClicked(QStringLiteral("save"));
            QCOMPARE(f.messages.texts(), QStringList{"操作员权限修改完成。"});
        }
        QCOMPARE(f.count("czy where name='王芳'"), 12);
        form_main main(f.state);
        Rights::mCzyqx(f.state.connection(), &main, QStringLiteral("王芳"));
        for (const QString &action : Rights::controlledActions())
            QVERIFY2(commandEnabled(main.action(action)), qPrintable(action));
    }

};

QTEST_MAIN(PasswordsTest)
#include "tst_passwords.moc"
