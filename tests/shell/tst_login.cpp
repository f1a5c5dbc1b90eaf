// The login window and the rights it opens: the password is compared exactly
// (against a hash, or once against an old clear text, which is then hashed), a
// refused login leaves the window up, and each right opens its one command.

#include "support/windowload.h"
#include "shell/appstate.h"
#include "shell/form_main.h"
#include "shell/frmlogin.h"
#include "shell/rights.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/modalscript.h"
#include "store/passwordhash.h"
#include "store/sqlquote.h"
#include "support/testdatabase.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSet>
#include <QTest>

namespace {

// A fresh database, the program-wide state opened on it and a main window
// whose menus the rights act on.
struct Fixture
{
    Fixture()
    {
        state.setLocation(db.folder(), db.fileName());
        state.connection().open(state.connectionText());
        main = std::make_unique<form_main>(state);
    }
    void addOperator(const QString &name, const QString &password, const QStringList &rights)
    {
        db.connection().execute(QStringLiteral("insert into czyzd (czy_name, czy_pass, sys_tag) values (%1, %2, 0)")
                                    .arg(sqlQuote(name), sqlQuote(password)));
        for (const QString &right : rights)
            db.connection().execute(QStringLiteral("insert into czy (name, czy_id, nr) values (%1, 9, %2)")
                                        .arg(sqlQuote(name), sqlQuote(right)));
    }
    QSet<QString> enabledControlled() const
    {
        QSet<QString> names;
        for (const QString &name : Rights::controlledActions())
            if (commandEnabled(main->action(name)))
                names << name;
        return names;
    }

    TestDatabase db;
    AppState state;
    std::unique_ptr<form_main> main;
};

// Fills in the window as the operator would and presses OK. True when the
// window accepted and closed.
bool logIn(frmLogin &login, const QString &name, const QString &password)
{
    login.show();
    login.findChild<QComboBox *>(QStringLiteral("combname"))->setCurrentText(name);
    login.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(password);
    login.cmdOK_Click();
    return login.result() == QDialog::Accepted && !login.isVisible();
}

bool logIn(Fixture &f, const QString &name, const QString &password)
{
    frmLogin login(f.state, f.main.get());
    loaded(login);
    return logIn(login, name, password);
}

QSet<QString> allControlled()
{
    const QStringList &names = Rights::controlledActions();
    return QSet<QString>(names.begin(), names.end());
}

} // namespace

class LoginTest : public QObject
{
    Q_OBJECT

private slots:
    void firstOperatorPreselected();
    void correctPassword();
    void refused_data();
    void refused();
    void storedPassword_data();
    void storedPassword();
    void noOperators();
    void rightsOpenTheirCommands_data();
    void rightsOpenTheirCommands();
    void rightsAccumulateAcrossLogins();
};

void LoginTest::firstOperatorPreselected()
{
    Fixture f;
    frmLogin login(f.state, f.main.get());
    loaded(login);
    auto *names = login.findChild<QComboBox *>(QStringLiteral("combname"));
    QVERIFY(names);
    QCOMPARE(names->currentText(), QStringLiteral("admin"));
    QCOMPARE(names->count(), f.db.count(QStringLiteral("czyzd")));
    QVERIFY(names->findText(QStringLiteral("王芳")) >= 0);
}

void LoginTest::correctPassword()
{
    Fixture f;
    MessageLog messages;
    QVERIFY(logIn(f, QStringLiteral("admin"), QStringLiteral("admin123")));
    QCOMPARE(messages.count(), 0);
    QCOMPARE(f.state.currentOperator(), QStringLiteral("admin"));
    QCOMPARE(f.main->panelText(2), QStringLiteral("操做员:admin"));
    QCOMPARE(f.main->panelText(1), QStringLiteral("Avelor"));
    QVERIFY(!f.main->panelText(8).isEmpty());
    QCOMPARE(f.enabledControlled(), allControlled());
}

void LoginTest::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong case") << "admin" << "ADMIN123";
    QTest::newRow("extra trailing space") << "admin" << "admin123 ";
    QTest::newRow("leading space") << "admin" << " admin123";
    QTest::newRow("empty") << "admin" << "";
    QTest::newRow("another operator's password") << "admin" << "wf1234";
    QTest::newRow("no such operator") << "nobody" << "admin123";
}

void LoginTest::refused()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    Fixture f;
    MessageLog messages;
    frmLogin login(f.state, f.main.get());
    loaded(login);
    QVERIFY(!logIn(login, name, password));
    QVERIFY(login.isVisible());
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.text(), QStringLiteral("口令错误!"));
    QCOMPARE(messages.icon(), Msg::Icon::Stop);
    QVERIFY(f.state.currentOperator().isEmpty());
    QCOMPARE(f.main->panelText(2), QStringLiteral("管理人:"));
    QVERIFY(f.enabledControlled().isEmpty());

    // The window stays for another try, which can succeed.
    QVERIFY(logIn(login, QStringLiteral("admin"), QStringLiteral("admin123")));
    QCOMPARE(messages.count(), 1);
}

void LoginTest::storedPassword_data()
{
    QTest::addColumn<QString>("stored"); // SQL literal
    QTest::addColumn<QString>("entered");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("null, empty entry") << "null" << "" << false;
    QTest::newRow("null, entry 'null'") << "null" << "null" << false;
    QTest::newRow("empty, empty entry") << "''" << "" << true;
    QTest::newRow("empty, blank entry") << "''" << " " << false;
    QTest::newRow("quote in password") << "'a''b'" << "a'b" << true;
}

void LoginTest::storedPassword()
{
    QFETCH(QString, stored);
    QFETCH(QString, entered);
    QFETCH(bool, accepted);
    Fixture f;
    // A row typed in by hand, or left by an older file: the password in clear.
    f.db.connection().execute(QStringLiteral("update czyzd set czy_pass=%1 where czy_name='王芳'").arg(stored));
    const QString storedSql = QStringLiteral("select czy_pass from czyzd where czy_name='王芳'");
    const QVariant before = f.db.scalar(storedSql);
    MessageLog messages;
    QCOMPARE(logIn(f, QStringLiteral("王芳"), entered), accepted);
    QCOMPARE(messages.count(), accepted ? 0 : 1);
    QCOMPARE(f.state.currentOperator(), accepted ? QStringLiteral("王芳") : QString());
    // Accepted once, it is kept hashed from then on; a refusal changes nothing.
    const QVariant after = f.db.scalar(storedSql);
    if (!accepted) {
        QCOMPARE(after, before);
        return;
    }
    QVERIFY(PasswordHash::isHash(after));
    QVERIFY(PasswordHash::matches(after, entered));
    QVERIFY(logIn(f, QStringLiteral("王芳"), entered));
    QVERIFY(!logIn(f, QStringLiteral("王芳"), before.toString() + QLatin1Char(' ')));
    QCOMPARE(f.db.scalar(storedSql), after);
}

void LoginTest::noOperators()
{
    Fixture f;
    f.db.connection().execute(QStringLiteral("delete from czyzd"));
    MessageLog messages;
    frmLogin login(f.state, f.main.get());
    loaded(login);
    auto *names = login.findChild<QComboBox *>(QStringLiteral("combname"));
    QCOMPARE(names->currentText(), QString());
    QCOMPARE(names->count(), 0);
    QVERIFY(!logIn(login, QString(), QString()));
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.text(), QStringLiteral("口令错误!"));
}

void LoginTest::rightsOpenTheirCommands_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("rights");
    QTest::addColumn<QStringList>("enabled");
    const QList<std::pair<const char *, const char *>> each = {
        {"编码设置", "menu_set_0"},       {"客户登记", "HYDJ"},          {"积分转让", "HYQK"},
        {"客户积分查询", "hyjstj"},       {"航空公司出票统计", "hykxstj"}, {"个人出票统计", "menu_gerenchupiao"},
        {"航线出票统计", "menu_daoda"},   {"会员行程查询", "menu_hyxc"},  {"时段收入查询", "MENU_SDSRfIND"},
        {"操作员设置", "menu_sys_0"},     {"操作员日志", "menu_sys_1"},   {"数据备份", "menu_sys_4"}};
    for (const auto &[function, action] : each)
        QTest::newRow(function) << "clerk" << QStringList{function} << QStringList{action};
    QTest::newRow("no rights") << "clerk" << QStringList() << QStringList();
    QTest::newRow("unknown right ignored") << "clerk" << QStringList{"不存在的功能", "会员行程查询"}
                                           << QStringList{"menu_hyxc"};
    QTest::newRow("quote in the name") << "o'neil" << QStringList{"客户登记"} << QStringList{"HYDJ"};
}

void LoginTest::rightsOpenTheirCommands()
{
    QFETCH(QString, name);
    QFETCH(QStringList, rights);
    QFETCH(QStringList, enabled);
    Fixture f;
    f.addOperator(name, QStringLiteral("pw"), rights);
    MessageLog messages;
    QVERIFY(logIn(f, name, QStringLiteral("pw")));
    QCOMPARE(messages.count(), 0);
    QCOMPARE(f.state.currentOperator(), name);
    QCOMPARE(f.enabledControlled(), QSet<QString>(enabled.begin(), enabled.end()));
}

void LoginTest::rightsAccumulateAcrossLogins()
{
    Fixture f;
    f.addOperator(QStringLiteral("陈静"), QStringLiteral("a"), {QStringLiteral("编码设置"), QStringLiteral("客户登记")});
    f.addOperator(QStringLiteral("刘洋"), QStringLiteral("b"), {QStringLiteral("积分转让")});
    QVERIFY(logIn(f, QStringLiteral("陈静"), QStringLiteral("a")));
    QCOMPARE(f.enabledControlled(), (QSet<QString>{QStringLiteral("menu_set_0"), QStringLiteral("HYDJ")}));
    // Logging in again, as the file menu does, adds the new operator's rights.
    QVERIFY(logIn(f, QStringLiteral("刘洋"), QStringLiteral("b")));
    QCOMPARE(f.enabledControlled(),
             (QSet<QString>{QStringLiteral("menu_set_0"), QStringLiteral("HYDJ"), QStringLiteral("HYQK")}));
    QCOMPARE(f.main->panelText(2), QStringLiteral("操做员:刘洋"));
    QCOMPARE(f.state.currentOperator(), QStringLiteral("刘洋"));
}

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
