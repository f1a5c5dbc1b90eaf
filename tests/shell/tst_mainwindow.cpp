// The main window by what it does: each command opens its window (once), the
// rights-controlled commands start disabled, the report menu comes from the
// catalogue, and a missing catalogue stops loading. The login window and the
// rights it opens: the password is compared exactly (against a hash, or once
// against an old clear text, which is then hashed), a refused login leaves the
// window up, and each right opens its one command.

#include "shell/form_main.h"
#include "shell/frmlogin.h"
#include "shell/rights.h"
#include "store/passwordhash.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/modalscript.h"
#include "support/windowload.h"

#include <QComboBox>
#include <QMenu>
#include <QSet>
#include <QTest>

namespace {

QStringList itemTexts(const form_main &w)
{
    QStringList texts;
    for (const QAction *a : child<QMenu>(&w, "menu_f")->actions())
        texts << a->text();
    return texts;
}

// Runs a command as the operator would once the rights allow it.
void run(QAction *command)
{
    command->setVisible(true);
    command->setEnabled(true);
    command->trigger();
}

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

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void commandOpensItsWindow_data();
    void commandOpensItsWindow();
    void commandsOutsideTheRights();
    void reportMenuFromCatalogue();
    void missingCatalogueStopsLoading();
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

void MainWindowTest::commandOpensItsWindow_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<QString>("window");
    const QList<std::array<const char *, 3>> rows = {
        {"menu_reportSet", "", "FrmreportSet"}, {"menu_set_0", "Ctrl+U", "FRM_KXLX"},
        {"HYDJ", "Ctrl+X", "FRMHYDA"},          {"HYQK", "Ctrl+S", "FrmJfzr"},
        {"hyjstj", "", "frmkhFind"},            {"hykxstj", "", "frmhangkongFind"},
        {"menu_gerenchupiao", "", "frmgerenFind"}, {"menu_daoda", "", "frmdaodaFind"},
        {"menu_hyxc", "", "frmHuiYuanFind"},    {"MENU_SDSRfIND", "", "frmsdSRFind"},
        {"menu_sys_0", "", "Frm_czyset"},       {"menu_sys_1", "", "Frm_czyrz"},
        {"menu_sys_2", "", "frm_czy_password"}, {"menu_sys_7", "", "Frm_pathset"},
        {"hlep5", "", "frmAbout"},              {"mFind_0", "", "frmkhFind"},
        {"mFind_2", "", "frmsdSRFind"}};
    for (const auto &[command, shortcut, window] : rows)
        QTest::newRow(command) << command << shortcut << window;
}

void MainWindowTest::commandOpensItsWindow()
{
    QFETCH(QString, command);
    QFETCH(QString, shortcut);
    QFETCH(QString, window);
    AppFixture f;
    form_main w(f.state);
    w.load();
    w.show();
    QAction *a = w.action(command);
    QVERIFY(a);
    QCOMPARE(a->shortcut(), QKeySequence(shortcut));
    QStringList events;
    if (window == QLatin1String("FrmJfzr")) { // modal: it is up while the command runs
        ModalScript script(&events);
        script.then(window, [](QWidget *dialog) { dialog->close(); });
        run(a);
        QCOMPARE(events, QStringList{window});
        return;
    }
    run(a);
    QCOMPARE(w.findChildren<QWidget *>(window).size(), 1);
    QWidget *opened = w.findChild<QWidget *>(window);
    QTRY_VERIFY(opened->isVisible());
    // A second time brings the same window forward; each report choice opens its own.
    run(a);
    QCOMPARE(w.findChildren<QWidget *>(window).size(), command.startsWith("mFind_") && window != "frmkhFind" ? 2 : 1);
    if (command == QLatin1String("mFind_2"))
        QCOMPARE(opened->windowTitle(), a->text());
}

void MainWindowTest::commandsOutsideTheRights()
{
    AppFixture f;
    form_main w(f.state);
    w.load();
    for (const QString &name : Rights::controlledActions())
        QVERIFY2(!commandEnabled(w.action(name)), qPrintable(name));
    for (const char *name : {"file1", "file3", "file5", "menu_sys_2", "menu_sys_7", "hlep5"})
        QVERIFY2(w.action(name)->isEnabled(), name);
    QCOMPARE(w.action("file5")->shortcut(), QKeySequence("Ctrl+Q"));
    // Not even every right opens these two.
    Rights::mCzyqx(f.state.connection(), &w, QStringLiteral("admin"));
    for (const char *name : {"skmx", "hyyq"})
        QVERIFY2(!commandEnabled(w.action(name)), name);
    // Backup and restore go together.
    w.action("menu_sys_4")->setEnabled(true);
    QVERIFY(w.action("menu_sys_5")->isEnabled());
}

void MainWindowTest::reportMenuFromCatalogue()
{
    AppFixture f;
    const QStringList names = f.column("select report_name from pr_report order by xh");
    QCOMPARE(names.size(), 4);
    form_main w(f.state);
    w.load();
    // Loading again rebuilds the menu rather than adding to it.
    w.menu_load();
    QCOMPARE(itemTexts(w), names);
    QCOMPARE(w.action("mFind_3")->text(), names.at(3));
    // An empty catalogue leaves the placeholder.
    f.exec("delete from pr_report");
    form_main empty(f.state);
    empty.menu_load();
    QCOMPARE(itemTexts(empty), QStringList{"caxune"});
}

void MainWindowTest::missingCatalogueStopsLoading()
{
    AppFixture f;
    f.exec("drop table pr_report");
    {
        form_main w(f.state);
        QVERIFY_THROWS_EXCEPTION(DbException, w.load());
    }
    // The busy pointer of the failed load goes with the window.
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void MainWindowTest::correctPassword()
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

void MainWindowTest::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong case") << "admin" << "ADMIN123";
    QTest::newRow("extra trailing space") << "admin" << "admin123 ";
    QTest::newRow("no such operator") << "nobody" << "admin123";
}

void MainWindowTest::refused()
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

void MainWindowTest::storedPassword_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("null, empty entry") << QVariant() << "" << false;
    QTest::newRow("empty, empty entry") << QVariant(QString("")) << "" << true;
    QTest::newRow("quote in password") << QVariant(QString("a'b")) << "a'b" << true;
    QTest::newRow("other case") << QVariant(QString("Ab")) << "aB" << false;
}

void MainWindowTest::storedPassword()
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

void MainWindowTest::noOperators()
{
    Fixture f;
    f.db.connection().execute(QStringLiteral("delete from czyzd"));
    QVERIFY(!f.logIn(QString(), QString()));
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("口令错误!")});
}

void MainWindowTest::rightsOpenTheirCommands_data()
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

void MainWindowTest::rightsOpenTheirCommands()
{
    QFETCH(QString, name);
    QFETCH(QStringList, rights);
    QFETCH(QString, enabled);
    Fixture f;
    f.addOperator(name, rights);
    QVERIFY(f.logIn(name, QStringLiteral("pw")));
    QCOMPARE(f.enabledControlled(), QSet<QString>{enabled});
}

void MainWindowTest::rightsAccumulateAcrossLogins()
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

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
