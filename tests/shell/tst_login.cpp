// The login window and the rights it opens: the password is compared exactly
// (against a hash, or once against an old clear text, which is then hashed), a
// refused login leaves the window up, and each right opens its one command.

#include "shell/appstate.h"
#include "shell/form_main.h"
#include "shell/frmlogin.h"
#include "shell/rights.h"
#include "store/passwordhash.h"
#include "support/controls.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"
#include "support/windowload.h"

#include <QComboBox>
#include <QSet>
#include <QTest>

namespace {

// A fresh database, the program-wide state opened on it (nobody logged in) and
// a main window whose menus the rights act on.
struct Fixture
{
    Fixture()
    {
        state.setLocation(db.folder(), db.fileName());
        state.connection().open(state.connectionText());
        main = std::make_unique<form_main>(state);
    }
    void addOperator(const QString &name, const QStringList &rights)
    {
        db.connection().execute(QStringLiteral("insert into czyzd (czy_name, czy_pass, sys_tag) values (?, 'pw', 0)"), {name});
        for (const QString &right : rights)
            db.connection().execute(QStringLiteral("insert into czy (name, czy_id, nr) values (?, 9, ?)"), {name, right});
    }
    QSet<QString> enabledControlled() const
    {
        QSet<QString> names;
        for (const QString &name : Rights::controlledActions())
            if (commandEnabled(main->action(name)))
                names << name;
        return names;
    }
    // Fills in the window as the operator would and presses OK; true when it accepted and closed.
    bool logIn(frmLogin &login, const QString &name, const QString &password)
    {
        login.show();
        child<QComboBox>(&login, QStringLiteral("combname"))->setCurrentText(name);
        box(&login, QStringLiteral("txtPassword"))->setText(password);
        login.cmdOK_Click();
        return login.result() == QDialog::Accepted && !login.isVisible();
    }
    bool logIn(const QString &name, const QString &password)
    {
        frmLogin login(state, main.get());
        return logIn(loaded(login), name, password);
    }

    TestDatabase db;
    AppState state;
    std::unique_ptr<form_main> main;
    MessageLog messages;
};

} // namespace

class LoginTest : public QObject
{
    Q_OBJECT

private slots:
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

void LoginTest::correctPassword()
{
    Fixture f;
    frmLogin login(f.state, f.main.get());
    QCOMPARE(child<QComboBox>(&loaded(login), QStringLiteral("combname"))->currentText(), QStringLiteral("admin"));
    QVERIFY(f.logIn(login, QStringLiteral("admin"), QStringLiteral("admin123")));
    QCOMPARE(f.messages.count(), 0);
    QCOMPARE(f.state.currentOperator(), QStringLiteral("admin"));
    QCOMPARE(f.main->panelText(2), QStringLiteral("操做员:admin"));
    const QStringList &all = Rights::controlledActions();
    QCOMPARE(f.enabledControlled(), QSet<QString>(all.begin(), all.end()));
}

void LoginTest::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong case") << "admin" << "ADMIN123";
    QTest::newRow("extra trailing space") << "admin" << "admin123 ";
    QTest::newRow("no such operator") << "nobody" << "admin123";
}

void LoginTest::refused()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    Fixture f;
    frmLogin login(f.state, f.main.get());
    QVERIFY(!f.logIn(loaded(login), name, password));
    QVERIFY(login.isVisible());
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("口令错误!")});
    QCOMPARE(f.messages.icon(), Msg::Icon::Stop);
    QVERIFY(f.state.currentOperator().isEmpty());
    QVERIFY(f.enabledControlled().isEmpty());
    // The window stays for another try, which can succeed.
    QVERIFY(f.logIn(login, QStringLiteral("admin"), QStringLiteral("admin123")));
}

void LoginTest::storedPassword_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("null, empty entry") << QVariant() << "" << false;
    QTest::newRow("empty, empty entry") << QVariant(QString("")) << "" << true;
    QTest::newRow("quote in password") << QVariant(QString("a'b")) << "a'b" << true;
    QTest::newRow("other case") << QVariant(QString("Ab")) << "aB" << false;
}

void LoginTest::storedPassword()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, entered);
    QFETCH(bool, accepted);
    Fixture f;
    // A row typed in by hand, or left by an older file: the password in clear.
    f.db.connection().execute(QStringLiteral("update czyzd set czy_pass=? where czy_name='王芳'"), {stored});
    const QString storedSql = QStringLiteral("select czy_pass from czyzd where czy_name='王芳'");
    QCOMPARE(f.logIn(QStringLiteral("王芳"), entered), accepted);
    QCOMPARE(f.state.currentOperator(), accepted ? QStringLiteral("王芳") : QString());
    // Accepted once, it is kept hashed from then on; a refusal changes nothing.
    const QVariant after = f.db.scalar(storedSql);
    if (!accepted) {
        QCOMPARE(after.toString(), stored.toString());
        return;
    }
    QVERIFY(PasswordHash::isHash(after) && PasswordHash::matches(after, entered));
    QVERIFY(f.logIn(QStringLiteral("王芳"), entered));
    QVERIFY(!f.logIn(QStringLiteral("王芳"), entered + QLatin1Char(' ')));
}

void LoginTest::noOperators()
{
    Fixture f;
    f.db.connection().execute(QStringLiteral("delete from czyzd"));
    QVERIFY(!f.logIn(QString(), QString()));
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("口令错误!")});
}

void LoginTest::rightsOpenTheirCommands_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("rights");
    QTest::addColumn<QString>("enabled");
    const QList<std::pair<const char *, const char *>> each = {
        {"编码设置", "menu_set_0"},       {"客户登记", "HYDJ"},          {"积分转让", "HYQK"},
        {"客户积分查询", "hyjstj"},       {"航空公司出票统计", "hykxstj"}, {"个人出票统计", "menu_gerenchupiao"},
        {"航线出票统计", "menu_daoda"},   {"会员行程查询", "menu_hyxc"},  {"时段收入查询", "MENU_SDSRfIND"},
        {"操作员设置", "menu_sys_0"},     {"操作员日志", "menu_sys_1"},   {"数据备份", "menu_sys_4"}};
    for (const auto &[function, action] : each)
        QTest::newRow(function) << "clerk" << QStringList{function} << action;
    QTest::newRow("unknown right ignored") << "clerk" << QStringList{"不存在的功能", "会员行程查询"} << "menu_hyxc";
    QTest::newRow("quote in the name") << "o'neil" << QStringList{"客户登记"} << "HYDJ";
}

void LoginTest::rightsOpenTheirCommands()
{
    QFETCH(QString, name);
    QFETCH(QStringList, rights);
    QFETCH(QString, enabled);
    Fixture f;
    f.addOperator(name, rights);
    QVERIFY(f.logIn(name, QStringLiteral("pw")));
    QCOMPARE(f.enabledControlled(), QSet<QString>{enabled});
}

void LoginTest::rightsAccumulateAcrossLogins()
{
    Fixture f;
    f.addOperator(QStringLiteral("陈静"), {QStringLiteral("编码设置")});
    f.addOperator(QStringLiteral("刘洋"), {QStringLiteral("积分转让")});
    QVERIFY(f.logIn(QStringLiteral("陈静"), QStringLiteral("pw")));
    // Logging in again, as the file menu does, adds the new operator's rights.
    QVERIFY(f.logIn(QStringLiteral("刘洋"), QStringLiteral("pw")));
    QCOMPARE(f.enabledControlled(), (QSet<QString>{QStringLiteral("menu_set_0"), QStringLiteral("HYQK")}));
    QCOMPARE(f.state.currentOperator(), QStringLiteral("刘洋"));
}

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
