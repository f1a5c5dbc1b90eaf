// The main window by what it does: each command opens its window (once), the
// rights-controlled commands start disabled, a missing report catalogue stops
// loading. The login: the password is compared exactly, a refused login
// leaves the window up, and each right opens its one command. Help: every
// command has its page in the manual, every link there leads somewhere, the
// index finds by a typed word, and 系统信息 names the engine and the rows.

#include "shell/form_main.h"
#include "shell/frmlogin.h"
#include "shell/frmabout.h"
#include "shell/frmhelp.h"
#include "domain/shell/manual.h"
#include "domain/operators/rights.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/modalscript.h"
#include "support/windowload.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QSet>
#include <QTest>

namespace {

// Runs a command as the operator would once the rights allow it.
void run(QAction *command)
{
    command->setVisible(true);
    command->setEnabled(true);
    command->trigger();
}

// Nobody logged in yet, and a main window whose menus the rights act on.
struct Fixture : AppFixture
{
    Fixture() { state.setCurrentOperator(QString()); }
    void addOperator(const QString &name, const QStringList &rights)
    {
        exec("insert into czyzd (czy_name, czy_pass, sys_tag) values (?, 'pw', 0)", {name});
        for (const QString &right : rights)
            exec("insert into czy (name, czy_id, nr) values (?, 9, ?)", {name, right});
    }
    QSet<QString> enabledControlled() const
    {
        QSet<QString> names;
        for (const QString &name : Rights::controlledActions())
            if (commandEnabled(main.action(name)))
                names << name;
        return names;
    }
    // Fills in the window as the operator would and presses OK; true when it accepted and closed.
    bool logIn(frmLogin &login, const QString &name, const QString &password)
    {
        login.show();
        child<QComboBox>(&login, "combname")->setCurrentText(name);
        box(&login, "txtPassword")->setText(password);
        login.cmdOK_Click();
        return login.result() == QDialog::Accepted && !login.isVisible();
    }
    bool logIn(const QString &name, const QString &password)
    {
        frmLogin login(state, &main);
        return logIn(loaded(login), name, password);
    }

    form_main main{state};
};

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void commandOpensItsWindow_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("window");
        const QList<std::pair<const char *, const char *>> rows = {
            {"menu_reportSet", "FrmreportSet"}, {"menu_set_0", "FRM_KXLX"},         {"HYDJ", "FRMHYDA"},
            {"HYQK", "FrmJfzr"},                {"hyjstj", "frmkhFind"},            {"hykxstj", "frmhangkongFind"},
            {"menu_gerenchupiao", "frmgerenFind"}, {"menu_daoda", "frmdaodaFind"},  {"menu_hyxc", "frmHuiYuanFind"},
            {"MENU_SDSRfIND", "frmsdSRFind"},   {"menu_sys_0", "Frm_czyset"},       {"menu_sys_1", "Frm_czyrz"},
            {"menu_sys_2", "frm_czy_password"}, {"menu_sys_7", "Frm_pathset"},      {"hlep5", "frmAbout"},
            {"mFind_0", "frmkhFind"},           {"mFind_2", "frmsdSRFind"},         {"hlep1", "frmHelp"},
            {"help2", "frmHelp"}};
        for (const auto &[command, window] : rows)
            QTest::newRow(command) << command << window;
    }

    void commandOpensItsWindow()
    {
        QFETCH(QString, command);
        QFETCH(QString, window);
        AppFixture f;
        form_main w(f.state);
        w.load();
        w.show();
        QAction *a = w.action(command);
        QStringList events;
        ModalScript script(&events); // a modal window is up while the command runs
        script.then(window, [](QWidget *dialog) { dialog->close(); });
        run(a);
        if (!events.isEmpty()) {
            QCOMPARE(events, QStringList{window});
            return;
        }
        QCOMPARE(w.findChildren<QWidget *>(window).size(), 1);
        QTRY_VERIFY(w.findChild<QWidget *>(window)->isVisible());
        // A second time brings the same window forward; each report choice opens its own.
        run(a);
        QCOMPARE(w.findChildren<QWidget *>(window).size(), command.startsWith("mFind_") && window != "frmkhFind" ? 2 : 1);
    }

    void missingCatalogueStopsLoading()
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

    void refused_data()
    {
        QTest::addColumn<QString>("name"); // empty: no operators at all
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("clear"); // admin's password as an older file keeps it, in clear
        QTest::newRow("wrong case") << "admin" << "ADMIN123" << "";
        QTest::newRow("extra trailing space") << "admin" << "admin123 " << "";
        QTest::newRow("clear text, wrong case") << "admin" << "ADMIN123" << "admin123";
        QTest::newRow("no such operator") << "nobody" << "admin123" << "";
        QTest::newRow("no operators") << "" << "" << "";
    }

    void refused()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, clear);
        Fixture f;
        if (name.isEmpty())
            f.exec("delete from czyzd");
        if (!clear.isEmpty())
            f.exec("update czyzd set czy_pass=? where czy_name='admin'", {clear});
        frmLogin login(f.state, &f.main);
        QVERIFY(!f.logIn(loaded(login), name, password));
        QVERIFY(login.isVisible());
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("口令错误!")});
        QCOMPARE(f.messages.icon(), Msg::Icon::Stop);
        QVERIFY(f.state.currentOperator().isEmpty());
        QVERIFY(f.enabledControlled().isEmpty());
        for (const char *always : {"file1", "file3", "file5", "menu_sys_2", "menu_sys_7", "hlep5"})
            QVERIFY2(f.main.action(always)->isEnabled(), always);
        if (name.isEmpty())
            return;
        // The window stays for another try, which can succeed; admin holds every right.
        QVERIFY(f.logIn(login, QStringLiteral("admin"), QStringLiteral("admin123")));
        QCOMPARE(f.state.currentOperator(), QStringLiteral("admin"));
        QCOMPARE(f.main.panelText(2), QStringLiteral("操做员:admin"));
        const QStringList &all = Rights::controlledActions();
        QCOMPARE(f.enabledControlled(), QSet<QString>(all.begin(), all.end()));
        for (const char *never : {"skmx", "hyyq"})
            QVERIFY2(!commandEnabled(f.main.action(never)), never);
    }

    void rightsOpenTheirCommands_data()
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

    void rightsOpenTheirCommands()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, rights);
        QFETCH(QString, enabled);
        Fixture f;
        f.addOperator(QStringLiteral("陈静"), {QStringLiteral("编码设置")});
        f.addOperator(name, rights);
        QVERIFY(f.logIn(QStringLiteral("陈静"), QStringLiteral("pw")));
        // Logging in again, as the file menu does, adds the new operator's rights.
        QVERIFY(f.logIn(name, QStringLiteral("pw")));
        QCOMPARE(f.enabledControlled(), (QSet<QString>{QStringLiteral("menu_set_0"), enabled}));
        QCOMPARE(f.state.currentOperator(), name);
    }

    void ownCloseClosesFrame_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control"); // a tool bar key or a button
        const QList<std::tuple<const char *, const char *, const char *>> rows = {
            {"HYDJ", "FRMHYDA", "exit"},          {"menu_sys_0", "Frm_czyset", "exit"},
            {"menu_sys_1", "Frm_czyrz", "exit"},  {"menu_set_0", "FRM_KXLX", "exit"},
            {"menu_reportSet", "FrmreportSet", "cmdtc"}, {"hykxstj", "frmhangkongFind", "Cmdquit"},
            {"menu_hyxc", "frmHuiYuanFind", "Cmdquit"},  {"hyjstj", "frmkhFind", "Cmdquit"},
            {"mFind_2", "frmsdSRFind", "Cmdquit"}};
        for (const auto &[command, window, control] : rows)
            QTest::newRow(window) << command << window << control;
    }

    void ownCloseClosesFrame()
    {
        QFETCH(QString, command);
        QFETCH(QString, window);
        QFETCH(QString, control);
        AppFixture f;
        form_main w(f.state);
        w.load();
        w.show();
        auto *area = w.findChild<QMdiArea *>(QStringLiteral("MDIArea"));
        for (int round = 0; round < 2; ++round) {
            run(w.action(command));
            QWidget *shown = w.findChild<QWidget *>(window);
            QVERIFY(shown && shown->isVisible());
            QCOMPARE(area->subWindowList().size(), 1);
            if (auto *key = shown->findChild<QAction *>(control))
                key->trigger();
            else
                click(shown, control);
            // The frame goes with the window; the command opens it again.
            QTRY_COMPARE(area->subWindowList().size(), 0);
        }
    }

    void systemInformation()
    {
        AppFixture f;
        f.addCustomer("8800000001");
        f.addCustomer("8800000002");
        f.addTicket("8800000001");
        QString shown;
        QStringList events;
        ModalScript script(&events);
        script.then("frmSysInfo", [&shown](QWidget *info) {
            shown = child<QPlainTextEdit>(info, "txtInfo")->toPlainText();
            info->close();
        });
        frmAbout::StartSysInfo();
        const QStringList lines = shown.split('\n');
        for (const QString &line : {"数据库引擎: SQLite " + f.scalar("select sqlite_version()").toString(),
                                    QStringLiteral("数据位置: ") + QDir::cleanPath(f.db.path()),
                                    QStringLiteral("文件大小: %1 字节").arg(QFileInfo(f.db.path()).size()),
                                    QStringLiteral("客户档案 (hyda): 2 行"), QStringLiteral("机票行程 (hyxc): 1 行"),
                                    QStringLiteral("操作员 (czyzd): %1 行").arg(f.count("czyzd"))})
            QVERIFY2(std::any_of(lines.begin(), lines.end(), [&](const QString &l) { return l.startsWith(line); }),
                     qPrintable(line + " not in:\n" + shown));
    }

    void leavingWithPendingEdit_data()
    {
        QTest::addColumn<bool>("relogin"); // leaving by cancelling 重新登陆 instead of 退出
        QTest::addColumn<int>("answer");   // to "save the record?"
        QTest::addColumn<bool>("ends");
        QTest::addColumn<QString>("stored");
        for (bool relogin : {false, true}) {
            const char *how = relogin ? "relogin cancelled" : "exit";
            QTest::addRow("%s, go back", how) << relogin << int(Msg::Answer::Cancel) << false << "客户";
            QTest::addRow("%s, discard", how) << relogin << int(Msg::Answer::No) << true << "客户";
            QTest::addRow("%s, save", how) << relogin << int(Msg::Answer::Yes) << true << "改过的名字";
        }
    }

    void leavingWithPendingEdit()
    {
        QFETCH(bool, relogin);
        QFETCH(int, answer);
        QFETCH(bool, ends);
        QFETCH(QString, stored);
        AppFixture f;
        f.addCustomer(QStringLiteral("8800000001"));
        form_main w(f.state);
        w.load();
        w.show();
        run(w.action(QStringLiteral("HYDJ")));
        QWidget *customers = w.findChild<QWidget *>(QStringLiteral("FRMHYDA"));
        press(customers, QStringLiteral("edit"));
        paste(box(customers, QStringLiteral("txtspzd_1")), QStringLiteral("改过的名字"));
        f.messages.answer = Msg::Answer(answer);
        QStringList events;
        ModalScript script(&events);
        if (relogin) {
            script.then(QStringLiteral("frmLogin"), [](QWidget *login) { login->close(); });
            w.action(QStringLiteral("file3"))->trigger();
        } else {
            w.action(QStringLiteral("file5"))->trigger();
        }
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("当前记录尚未保存，是否保存？")});
        QCOMPARE(f.state.endRequested(), ends);
        QCOMPARE(w.isVisible(), !ends);
        QCOMPARE(f.scalar("select xm from hyda where kh='8800000001'").toString(), stored);
        if (!ends) {
            // Back where it was: the window and the edit are still there, and saving works.
            QVERIFY(customers->isVisible());
            QCOMPARE(box(customers, QStringLiteral("txtspzd_1"))->text(), QStringLiteral("改过的名字"));
            press(customers, QStringLiteral("save"));
            QCOMPARE(f.scalar("select xm from hyda where kh='8800000001'").toString(), QStringLiteral("改过的名字"));
        }
    }

    void manualCoversTheMenus_data()
    {
        QTest::addColumn<QString>("link"); // a command's topic (no '.') or a link found on a page
        AppFixture f;
        form_main w(f.state);
        w.load();
        for (const QMenu *menu : w.menuBar()->findChildren<QMenu *>())
            for (const QAction *a : menu->actions())
                if (a->isVisible() && !a->isSeparator()) // the report items, made from the catalogue, share one topic
                    QTest::newRow(qPrintable(a->objectName())) << (a->objectName().startsWith("mFind_") ? QStringLiteral("mFind") : a->objectName());
        for (const QString &page : Manual::pages()) {
            QStringList links = Manual::links(page);
            links.removeDuplicates();
            for (const QString &link : links)
                QTest::addRow("%s: %s", qPrintable(page), qPrintable(link)) << link;
        }
    }

    void manualCoversTheMenus()
    {
        QFETCH(QString, link);
        QVERIFY(Manual::resolves(link.contains('.') ? link : Manual::topic(link)));
    }

    void manualIndexFinds()
    {
        AppFixture f;
        form_main w(f.state);
        w.load();
        run(w.action("hlep1"));
        auto *help = w.findChild<frmHelp *>("frmHelp");
        QCOMPARE(child<QListWidget>(help, "lstContents")->count(), Manual::contents().size());
        QCOMPARE(help->currentPage(), QStringLiteral("contents.html"));
        run(w.action("help2"));
        paste(box(help, "txtFind"), QStringLiteral("备份"));
        const QListWidget *index = child<QListWidget>(help, "lstIndex");
        QStringList shown;
        for (int i = 0; i < index->count(); ++i)
            if (!index->item(i)->isHidden())
                shown << index->item(i)->text();
        QCOMPARE(shown, (QStringList{"备份文件", "数据备份"})); // in pinyin order
        QTest::keyClick(box(help, "txtFind"), Qt::Key_Return);
        QCOMPARE(help->currentPage(), QStringLiteral("system.html#menu_sys_4"));
        QVERIFY(child<QTextBrowser>(help, "txtHelp")->toPlainText().contains(QStringLiteral("数据备份完成!")));
    }
    // its dialog runs a loop: before the program is ended below
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
