// Operator passwords and the operator windows: the password window checks the
// old one exactly against the hash, works by keyboard alone and closes after
// three strikes; no byte of the archive, its journal or its backup holds a
// password, the files are private whatever the umask, and the administrator
// resets a forgotten password from the terminal. The log viewer finds by any
// day and deletes closed entries only; rights saved are seen at the next login.

#include "operators/frm_czy_password.h"
#include "operators/frm_czyrz.h"
#include "operators/frm_czyset.h"
#include "operators/operatorcommands.h"
#include "shell/form_main.h"
#include "shell/frmlogin.h"
#include "shell/rights.h"
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
#include <QSignalSpy>
#include <QTest>
#include <sys/stat.h>

namespace {

const QString kOwnPassword = QStringLiteral("select czy_pass from czyzd where czy_name='王芳'");
const QString kWrongOld = QStringLiteral("输入原口令不正确,请重新输入!");

bool logIn(AppState &state, const QString &name, const QString &password)
{
    frmLogin login(state, nullptr);
    loaded(login);
    child<QComboBox>(&login, "combname")->setCurrentText(name);
    box(&login, "txtPassword")->setText(password);
    login.cmdOK_Click();
    return login.result() == QDialog::Accepted;
}

void type(QWidget &w, int i, const QString &text) { box(&w, QStringLiteral("Txt_password_%1").arg(i))->setText(text); }

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Closed log entries on two days, one of them crossing midnight.
struct Log : AppFixture
{
    Log()
    {
        exec("insert into czyrz(czyname,czyxm,init_time,last_time) values"
             "('王芳','客户档案','2000-01-01 09:00:00','2000-01-01 10:00:00'),"
             "('admin','编码设置','2000-01-01 23:59:59','2000-01-02 00:10:00'),"
             "('王芳','客户档案','2024-05-06 09:00:00','2024-05-06 09:30:00')");
    }
};

} // namespace

class PasswordsTest : public QObject
{
    Q_OBJECT

private slots:
    void oldPassword_data();
    void oldPassword();
    void passwordByKeyboardAlone();
    void threeWrongOldPasswordsClose();
    void logFindsAnyDay_data();
    void logFindsAnyDay();
    void logDeleteSparesOpenEntries();
    void allRightsSeenAtNextLogin();
    void noPasswordInFiles();
    void privateFiles();
    void resetPassword_data();
    void resetPassword();
};

void PasswordsTest::oldPassword_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("hashed");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    const QVariant secret = QStringLiteral("Pass Word");
    QTest::newRow("right") << secret << true << "Pass Word" << true;
    QTest::newRow("case changed") << secret << true << "pass word" << false;
    QTest::newRow("blank padded") << secret << true << " Pass Word " << false;
    QTest::newRow("empty, hashed") << QVariant(QString("")) << true << "" << true;
    QTest::newRow("cut at a NUL") << QVariant(QStringLiteral("Pass") + QChar(0) + QStringLiteral("Word")) << true
                                  << "Pass" << false;
    QTest::newRow("clear text") << secret << false << "Pass Word" << true;
    QTest::newRow("clear text, blank padded") << secret << false << "Pass Word " << false;
    QTest::newRow("null") << QVariant() << false << "" << false;
}

void PasswordsTest::oldPassword()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, hashed);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    AppFixture f;
    const QVariant value = hashed ? QVariant(PasswordHash::make(stored.toString())) : stored;
    f.exec(QStringLiteral("update czyzd set czy_pass=? where czy_name='王芳'"), {value});
    frm_czy_password w(f.state);
    loaded(w);
    type(w, 0, typed);
    w.init_password();
    QCOMPARE(f.messages.texts(), accepted ? QStringList() : QStringList{kWrongOld});
    if (!accepted) {
        QCOMPARE(f.scalar(kOwnPassword), value);
        return;
    }
    type(w, 1, QStringLiteral("New Pass "));
    type(w, 2, QStringLiteral("New Pass "));
    w.last_password();
    QCOMPARE(f.messages.text(), QStringLiteral("变更口令成功，按任意键返回！"));
    const QVariant now = f.scalar(kOwnPassword);
    QVERIFY(PasswordHash::isHash(now));
    QVERIFY(PasswordHash::matches(now, QStringLiteral("New Pass ")));
    QVERIFY(!PasswordHash::matches(now, QStringLiteral("New Pass")));
}

void PasswordsTest::noPasswordInFiles()
{
    AppFixture f;
    Connection &c = f.state.connection();
    const QString wal = f.db.path() + QStringLiteral("-wal");
    // An old clear-text row, in the file itself: the search sees a password where there is one.
    c.execute(QStringLiteral("insert into czyzd(czy_name, czy_pass) values('legacy', 'Legacy-Pass-9')"));
    // A row after it, so that its hash cannot simply take the old row's place in the page.
    Frm_czyset accounts(f.state);
    loaded(accounts);
    accounts.toolbarClicked(QStringLiteral("new"));
    box(&accounts, "Text1")->setText(QStringLiteral("clerk"));
    box(&accounts, "Text2")->setText(QStringLiteral("Clerk-Pass-1 "));
    box(&accounts, "Text3")->setText(QStringLiteral("Clerk-Pass-1 "));
    accounts.toolbarClicked(QStringLiteral("save"));
    QCOMPARE(f.messages.texts(), QStringList{"操作员增加完成。"});
    c.executeScript(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    QVERIFY(bytesOf(f.db.path()).contains("Legacy-Pass-9"));

    QVERIFY(logIn(f.state, QStringLiteral("legacy"), QStringLiteral("Legacy-Pass-9")));
    QVERIFY(logIn(f.state, QStringLiteral("admin"), QStringLiteral("admin123")));
    const qint64 clerk = OperatorCommands::ownAccount(c, QStringLiteral("clerk")).toLongLong();
    QCOMPARE(OperatorCommands::changePassword(c, clerk, QStringLiteral("Clerk-Pass-1 "), QStringLiteral("Changed-Pass-2")),
             OperatorCommands::ChangeOutcome::Changed);
    const QString backup = f.db.tempDir() + QStringLiteral("/kvora.bak");
    backupDatabase(c, backup);
    // The archive as the journal leaves it, and the journal itself.
    c.executeScript(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    QVERIFY(QFileInfo(wal).size() > 0);
    for (const QString &path : {f.db.path(), wal, backup}) {
        const QByteArray bytes = bytesOf(path);
        QVERIFY(!bytes.isEmpty());
        for (const char *secret : {"Legacy-Pass-9", "admin123", "wf1234", "Clerk-Pass-1", "Changed-Pass-2"})
            QVERIFY2(!bytes.contains(secret), qPrintable(path + QStringLiteral(": ") + QLatin1String(secret)));
    }
}

void PasswordsTest::privateFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.db"));
    const QString backup = dir.filePath(QStringLiteral("new.bak"));
    // Files made here see the most permissive umask there is.
    const mode_t before = ::umask(0);
    DatabaseCreator::create(path);
    Connection c;
    c.openLocation(path);
    c.execute(QStringLiteral("insert into czyzd(czy_name) values('x')"));
    backupDatabase(c, backup);
    ::umask(before);
    // The journal files live while the archive is open.
    for (const QString &file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm"), backup}) {
        struct stat info{};
        QVERIFY(::stat(QFile::encodeName(file).constData(), &info) == 0);
        QVERIFY2((info.st_mode & 0777) == 0600, qPrintable(QStringLiteral("%1: %2").arg(file).arg(info.st_mode & 0777, 0, 8)));
    }
}

void PasswordsTest::resetPassword_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("valid"); // the password that opens the account afterwards
    QTest::newRow("typed twice") << "admin" << QByteArray("New Pass \nNew Pass \n") << "New Pass ";
    QTest::newRow("entries differ") << "admin" << QByteArray("abc\nabd\n") << "admin123";
    QTest::newRow("empty") << "admin" << QByteArray("\n\n") << "admin123";
    QTest::newRow("no such operator") << "nobody" << QByteArray("abc\nabc\n") << "admin123";
}

void PasswordsTest::resetPassword()
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

void PasswordsTest::passwordByKeyboardAlone()
{
    AppFixture f;
    frm_czy_password w(f.state);
    loaded(w);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const QVariant before = f.scalar(kOwnPassword);
    for (const char *typed : {"wf1234", "neu", "neu"}) {
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(typed));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    // Enter in the last box puts the focus on the confirm button; Enter there confirms.
    auto *confirm = child<QPushButton>(&w, "com_password_0");
    QVERIFY(confirm->hasFocus() && confirm->isEnabled());
    QTest::keyClick(confirm, Qt::Key_Return);
    QCOMPARE(f.messages.texts(), QStringList{"变更口令成功，按任意键返回！"});
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QVERIFY(f.scalar(kOwnPassword) != before);
}

void PasswordsTest::threeWrongOldPasswordsClose()
{
    AppFixture f;
    frm_czy_password w(f.state);
    loaded(w);
    w.show();
    const QVariant before = f.scalar(kOwnPassword);
    QSignalSpy rejected(&w, &QDialog::rejected);
    for (int i = 0; i < 3; ++i) {
        box(&w, "Txt_password_0")->setText(QStringLiteral("wrong%1").arg(i));
        w.init_password();
    }
    QCOMPARE(f.messages.texts(), (QStringList{kWrongOld, kWrongOld, "对不起,您无权变更操作员'王芳'的口令!"}));
    QVERIFY(rejected.wait(1000));
    QCOMPARE(f.scalar(kOwnPassword), before);
}

void PasswordsTest::logFindsAnyDay_data()
{
    QTest::addColumn<bool>("byDate");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("found");
    // Without a date every closed entry is listed; 2000-01-01 is a day like any other.
    QTest::newRow("no date") << false << "" << 3;
    QTest::newRow("first day of 2000") << true << "" << 2;
    QTest::newRow("that day and a name") << true << "王芳" << 1;
}

void PasswordsTest::logFindsAnyDay()
{
    QFETCH(bool, byDate);
    QFETCH(QString, name);
    QFETCH(int, found);
    Log f;
    Frm_czyrz w(f.state);
    loaded(w);
    child<QCheckBox>(&w, "chkkssj")->setChecked(byDate);
    child<QDateEdit>(&w, "txtkssj")->setDate(QDate(2000, 1, 1));
    box(&w, "txtname")->setText(name);
    w.toolbarClicked(QStringLiteral("find"));
    QCOMPARE(w.recordset()->recordCount(), found);
}

void PasswordsTest::logDeleteSparesOpenEntries()
{
    Log f;
    f.exec("insert into czyrz(czyname,czyxm) values('admin','编码设置')");
    Frm_czyrz w(f.state);
    loaded(w);
    w.toolbarClicked(QStringLiteral("delete"));
    QCOMPARE(f.messages.texts(), QStringList{"确认删除所有日志吗?"});
    // The viewer's own entry and the other window's are still open.
    QCOMPARE(f.count("czyrz where last_time is not null"), 0);
    QCOMPARE(f.count("czyrz where last_time is null"), 2);
    QCOMPARE(w.recordset()->recordCount(), 0);
}

void PasswordsTest::allRightsSeenAtNextLogin()
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

QTEST_MAIN(PasswordsTest)
#include "tst_passwords.moc"
