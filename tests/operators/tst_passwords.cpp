// Operator passwords: the password window checks the old one exactly against
// the hash, no byte of the archive, its journal or its backup holds a
// password, the files are private whatever the umask, and the administrator
// resets a forgotten password from the terminal.

#include "operators/frm_czy_password.h"
#include "operators/frm_czyset.h"
#include "operators/operatorcommands.h"
#include "shell/frmlogin.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/modalscript.h"
#include "store/backup.h"
#include "store/passwordhash.h"
#include "support/testdatabase.h"
#include "support/windowload.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <sys/stat.h>

namespace {

const QString kOwnPassword = QStringLiteral("select czy_pass from czyzd where czy_name='王芳'");

using Fixture = AppFixture; // logged in as 王芳

bool logIn(AppState &state, const QString &name, const QString &password)
{
    MessageLog refusal;
    frmLogin login(state, nullptr);
    loaded(login);
    login.findChild<QComboBox *>(QStringLiteral("combname"))->setCurrentText(name);
    login.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(password);
    login.cmdOK_Click();
    return login.result() == QDialog::Accepted;
}

void type(QWidget &w, int box, const QString &text)
{
    w.findChild<QLineEdit *>(QStringLiteral("Txt_password_%1").arg(box))->setText(text);
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Files made while it lives see the most permissive umask there is.
struct PermissiveUmask
{
    PermissiveUmask() : before(::umask(0)) {}
    ~PermissiveUmask() { ::umask(before); }
    mode_t before;
};

int modeOf(const QString &path)
{
    struct stat info{};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

class PasswordsTest : public QObject
{
    Q_OBJECT

private slots:
    void oldPassword_data();
    void oldPassword();
    void changedMeanwhile();
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
    QTest::newRow("wrong") << secret << true << "Pass Wort" << false;
    QTest::newRow("case changed") << secret << true << "pass word" << false;
    // The window used to trim both sides; the check is the login's now.
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
    Fixture f;
    const QVariant value = hashed ? QVariant(PasswordHash::make(stored.toString())) : stored;
    f.db.connection().execute(QStringLiteral("update czyzd set czy_pass=? where czy_name='王芳'"), {value});
    MessageLog messages;
    frm_czy_password w(f.state);
    loaded(w);
    type(w, 0, typed);
    w.init_password();
    if (!accepted) {
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.text(), QStringLiteral("输入原口令不正确,请重新输入!"));
        QCOMPARE(f.db.scalar(kOwnPassword), value);
        return;
    }
    QCOMPARE(messages.count(), 0);
    type(w, 1, QStringLiteral("New Pass "));
    type(w, 2, QStringLiteral("New Pass "));
    w.last_password();
    QCOMPARE(messages.text(), QStringLiteral("变更口令成功，按任意键返回！"));
    const QVariant now = f.db.scalar(kOwnPassword);
    QVERIFY(PasswordHash::isHash(now));
    QVERIFY(PasswordHash::matches(now, QStringLiteral("New Pass ")));
    QVERIFY(!PasswordHash::matches(now, QStringLiteral("New Pass")));
}

void PasswordsTest::changedMeanwhile()
{
    Fixture f;
    MessageLog messages;
    frm_czy_password w(f.state);
    loaded(w);
    type(w, 0, QStringLiteral("wf1234"));
    w.init_password();
    QCOMPARE(messages.count(), 0);
    // Another seat sets a new password before this one confirms.
    const QString other = PasswordHash::make(QStringLiteral("other"));
    f.db.connection().execute(QStringLiteral("update czyzd set czy_pass=? where czy_name='王芳'"), {other});
    type(w, 1, QStringLiteral("mine"));
    type(w, 2, QStringLiteral("mine"));
    w.last_password();
    QCOMPARE(messages.text(), QStringLiteral("输入原口令不正确,请重新输入!"));
    QCOMPARE(w.wrongAttempts(), 1);
    QCOMPARE(f.db.scalar(kOwnPassword).toString(), other);
}

void PasswordsTest::noPasswordInFiles()
{
    Fixture f;
    Connection &c = f.state.connection();
    const QString wal = f.db.path() + QStringLiteral("-wal");
    // An old clear-text row, in the file itself: the search sees a password where there is one.
    c.execute(QStringLiteral("insert into czyzd(czy_name, czy_pass) values('legacy', 'Legacy-Pass-9')"));
    // A row after it, so that its hash cannot simply take the old row's place in the page.
    {
        MessageLog added;
        Frm_czyset accounts(f.state);
        loaded(accounts);
        accounts.toolbarClicked(QStringLiteral("new"));
        for (const char *box : {"Text2", "Text3"})
            accounts.findChild<QLineEdit *>(QLatin1String(box))->setText(QStringLiteral("Clerk-Pass-1 "));
        accounts.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("clerk"));
        accounts.toolbarClicked(QStringLiteral("save"));
        QCOMPARE(added.text(), QStringLiteral("操作员增加完成。"));
    }
    c.executeScript(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    QVERIFY(bytesOf(f.db.path()).contains("Legacy-Pass-9"));

    QVERIFY(logIn(f.state, QStringLiteral("legacy"), QStringLiteral("Legacy-Pass-9")));
    QVERIFY(logIn(f.state, QStringLiteral("admin"), QStringLiteral("admin123")));
    const qint64 clerk = OperatorCommands::ownAccount(c, QStringLiteral("clerk")).toLongLong();
    // The password as typed in the operators window, its blank included.
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
    PermissiveUmask umask;
    DatabaseCreator::create(path);
    Connection c;
    c.openLocation(path);
    c.execute(QStringLiteral("insert into czyzd(czy_name) values('x')"));
    backupDatabase(c, backup);
    // The journal files live while the archive is open.
    for (const QString &file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm"), backup})
        QVERIFY2(modeOf(file) == 0600, qPrintable(QStringLiteral("%1: %2").arg(file).arg(modeOf(file), 0, 8)));
}

void PasswordsTest::resetPassword_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("valid"); // the password that opens the account afterwards
    QTest::newRow("typed twice") << "admin" << QByteArray("New Pass \nNew Pass \n") << "New Pass ";
    QTest::newRow("entries differ") << "admin" << QByteArray("abc\nabd\n") << "admin123";
    QTest::newRow("empty") << "admin" << QByteArray("\n\n") << "admin123";
    QTest::newRow("input ends") << "admin" << QByteArray("abc\n") << "admin123";
    QTest::newRow("no such operator") << "nobody" << QByteArray("abc\nabc\n") << "admin123";
}

void PasswordsTest::resetPassword()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, input);
    QFETCH(QString, valid);
    TestDatabase db;
    QProcess program;
    program.start(QStringLiteral(TORVANE_PROGRAM),
                  {QStringLiteral("--reset-password"), name, QStringLiteral("--database"), db.path()});
    program.write(input);
    program.closeWriteChannel();
    QVERIFY(program.waitForFinished(30000));
    const bool changed = valid != QLatin1String("admin123");
    QVERIFY2((program.exitCode() == 0) == changed, program.readAllStandardError().constData());
    const QVariant stored = db.scalar(QStringLiteral("select czy_pass from czyzd where czy_name='admin'"));
    QVERIFY(PasswordHash::isHash(stored));
    QVERIFY(PasswordHash::matches(stored, valid));
}

QTEST_MAIN(PasswordsTest)
#include "tst_passwords.moc"
