// The main window as it comes up: menus, status bar, report menu from the
// catalogue, what stops loading and what does not; and the About box.

#include "shell/appstate.h"
#include "shell/backgroundarea.h"
#include "shell/form_main.h"
#include "shell/frmabout.h"
#include "shell/rights.h"
#include "shell/shellharness.h"
#include "store/recordset.h"
#include "support/testdatabase.h"

#include <QAction>
#include <QDate>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

namespace {

// A fresh database with the program-wide state opened on it, as after the location step.
struct Fixture
{
    Fixture()
    {
        state.setLocation(db.folder(), db.fileName());
        state.connection().open(state.connectionText());
    }
    TestDatabase db;
    AppState state;
};

QStringList itemNames(const QMenu *menu)
{
    QStringList names;
    for (const QAction *a : menu->actions())
        names << a->objectName();
    return names;
}

QStringList itemTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *a : menu->actions())
        texts << a->text();
    return texts;
}

QMenu *reportMenu(const form_main &w)
{
    return w.findChild<QMenu *>(QStringLiteral("menu_f"));
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void menuBarOrder();
    void menus_data();
    void menus();
    void items_data();
    void items();
    void controlledActionsStartDisabled();
    void statusBar();
    void caption();
    void reportMenuFromCatalogue();
    void emptyCatalogueLeavesPlaceholder();
    void missingCatalogueStopsLoading();
    void pictureShown();
    void loadWithoutPicture();
    void aboutBox();
    void aboutOpensOnce();
};

void MainWindowTest::menuBarOrder()
{
    Fixture f;
    form_main w(f.state);
    QStringList names;
    for (const QAction *a : w.menuBar()->actions())
        names << a->objectName();
    QCOMPARE(names, (QStringList{"file", "menu_shezhi", "djlr", "menu_find", "menu_f", "sys_set", "hlep"}));
}

void MainWindowTest::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("file") << "file" << "文件(&F)"
                          << QStringList{"file1", "file3", "file4", "menu_reportSet", "file5"};
    QTest::newRow("setup") << "menu_shezhi" << "初始设置(&T)" << QStringList{"menu_set_0", "menu_set_1"};
    QTest::newRow("customers") << "djlr" << "客户信息(&D)" << QStringList{"HYDJ", "ll", "HYQK", "skmx", "hyyq"};
    QTest::newRow("summaries") << "menu_find" << "汇总查询(&S)"
                               << QStringList{"hyjstj", "hykxstj", "menu_gerenchupiao", "menu_daoda", "menu_hyxc",
                                              "MENU_SDSRfIND"};
    QTest::newRow("reports") << "menu_f" << "查询(&F)" << QStringList{"mFind_0", "mFind_1", "mFind_2", "mFind_3"};
    QTest::newRow("system") << "sys_set" << "系统设置(&M)"
                            << QStringList{"menu_sys_0", "menu_sys_1", "menu_sys_2", "menu_sys_3",
                                           "menu_sys_4", "menu_sys_5", "menu_sys_6", "menu_sys_7"};
    QTest::newRow("help") << "hlep" << "帮助(&H)" << QStringList{"hlep1", "help2", "hlep3", "hlep4", "hlep5"};
}

void MainWindowTest::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QStringList, items);

    Fixture f;
    form_main w(f.state);
    w.load();
    const auto *m = w.findChild<QMenu *>(menu);
    QVERIFY(m);
    QCOMPARE(m->title(), title);
    QCOMPARE(itemNames(m), items);
}

void MainWindowTest::items_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text"); // null: not checked here
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("separator");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("alwaysDisabled");

    const QString any;
    QTest::newRow("file1") << "file1" << "打印设置" << "" << false << true << false;
    QTest::newRow("file3") << "file3" << "重新登陆" << "" << false << true << false;
    QTest::newRow("file4") << "file4" << any << "" << true << true << false;
    QTest::newRow("menu_reportSet") << "menu_reportSet" << "报表设计" << "" << false << true << false;
    QTest::newRow("file5") << "file5" << "退出" << "Ctrl+Q" << false << true << false;
    QTest::newRow("menu_set_0") << "menu_set_0" << "&1.编码设置" << "Ctrl+U" << false << true << false;
    QTest::newRow("menu_set_1") << "menu_set_1" << any << "" << false << false << false;
    QTest::newRow("HYDJ") << "HYDJ" << any << "Ctrl+X" << false << true << false;
    QTest::newRow("ll") << "ll" << any << "" << true << false << false;
    QTest::newRow("HYQK") << "HYQK" << "&2.积分转让" << "Ctrl+S" << false << true << false;
    QTest::newRow("skmx") << "skmx" << any << "" << false << false << true;
    QTest::newRow("hyyq") << "hyyq" << any << "" << false << false << true;
    QTest::newRow("hyjstj") << "hyjstj" << any << "" << false << false << false;
    QTest::newRow("hykxstj") << "hykxstj" << any << "" << false << true << false;
    QTest::newRow("menu_gerenchupiao") << "menu_gerenchupiao" << any << "" << false << true << false;
    QTest::newRow("menu_daoda") << "menu_daoda" << any << "" << false << true << false;
    QTest::newRow("menu_hyxc") << "menu_hyxc" << any << "" << false << true << false;
    QTest::newRow("MENU_SDSRfIND") << "MENU_SDSRfIND" << any << "" << false << false << false;
    for (int i = 0; i < 8; ++i) {
        const QString name = QStringLiteral("menu_sys_%1").arg(i);
        QTest::newRow(qPrintable(name)) << name << any << "" << (i == 3 || i == 6) << true << false;
    }
    QTest::newRow("hlep1") << "hlep1" << "内容" << "" << false << true << false;
    QTest::newRow("help2") << "help2" << "索引" << "" << false << true << false;
    QTest::newRow("hlep3") << "hlep3" << any << "" << true << true << false;
    QTest::newRow("hlep4") << "hlep4" << "技术支持" << "" << false << true << false;
    QTest::newRow("hlep5") << "hlep5" << "关于Avelor" << "" << false << true << false;
}

void MainWindowTest::items()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, shortcut);
    QFETCH(bool, separator);
    QFETCH(bool, visible);
    QFETCH(bool, alwaysDisabled);

    Fixture f;
    form_main w(f.state);
    w.load();
    QAction *a = w.action(name);
    QVERIFY(a);
    if (!text.isNull())
        QCOMPARE(a->text(), text);
    QCOMPARE(a->shortcut(), QKeySequence(shortcut));
    QCOMPARE(a->isSeparator(), separator);
    QCOMPARE(a->isVisible(), visible);
    if (alwaysDisabled) {
        QVERIFY(!commandEnabled(a));
        // Not even every right opens these.
        Rights::mCzyqx(f.state.connection(), &w, QStringLiteral("admin"));
        QVERIFY(!commandEnabled(a));
    }
}

void MainWindowTest::controlledActionsStartDisabled()
{
    Fixture f;
    form_main w(f.state);
    w.load();
    const QStringList controlled = Rights::controlledActions();
    QCOMPARE(controlled.size(), 12);
    for (const QString &name : controlled) {
        QAction *a = w.action(name);
        QVERIFY2(a, qPrintable(name));
        QVERIFY2(!commandEnabled(a), qPrintable(name));
    }
    // Commands outside the rights are usable from the start.
    for (const char *name : {"file1", "file3", "file5", "menu_sys_2", "menu_sys_7", "hlep5"})
        QVERIFY2(w.action(QString::fromLatin1(name))->isEnabled(), name);
}

void MainWindowTest::statusBar()
{
    Fixture f;
    const QDate before = QDate::currentDate();
    form_main w(f.state);
    const QDate after = QDate::currentDate();

    auto *bar = w.findChild<QStatusBar *>(QStringLiteral("StatusBar1"));
    QVERIFY(bar);
    QList<QLabel *> panels;
    for (int i = 1; i <= 8; ++i) {
        auto *panel = bar->findChild<QLabel *>(QStringLiteral("StatusBar1_%1").arg(i));
        QVERIFY2(panel, qPrintable(QString::number(i)));
        QCOMPARE(w.panelText(i), panel->text());
        panels << panel;
    }
    QCOMPARE(panels[0]->text(), QStringLiteral("数据管理系统"));
    QCOMPARE(panels[1]->text(), QStringLiteral("管理人:"));
    QVERIFY(QTime::fromString(panels[5]->text(), QStringLiteral("HH:mm")).isValid());
    const QString date = panels[6]->text();
    QVERIFY2(date == before.toString(Qt::ISODate) || date == after.toString(Qt::ISODate), qPrintable(date));

    w.setPanelText(2, QStringLiteral("操做员:x"));
    QCOMPARE(panels[1]->text(), QStringLiteral("操做员:x"));
}

void MainWindowTest::caption()
{
    Fixture f;
    form_main w(f.state);
    w.load();
    QCOMPARE(w.windowTitle(), QStringLiteral("Avelor 数据位置 ") + f.db.folder() + QStringLiteral("kvora.db"));
}

void MainWindowTest::reportMenuFromCatalogue()
{
    Fixture f;
    QCOMPARE(f.db.count(QStringLiteral("pr_report")), 4);
    QStringList names;
    Recordset rs;
    rs.open(QStringLiteral("select report_name from pr_report order by xh"), &f.db.connection());
    for (int i = 0; i < rs.recordCount(); ++i)
        names << rs.valueAt(i, 0).toString();

    form_main w(f.state);
    w.load();
    QCOMPARE(itemTexts(reportMenu(w)), names);
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(w.action(QStringLiteral("mFind_%1").arg(i))->text(), names.at(i));

    // Loading again rebuilds the menu rather than adding to it.
    w.menu_load();
    QCOMPARE(itemTexts(reportMenu(w)), names);
    QCOMPARE(w.action(QStringLiteral("mFind_0"))->text(), names.first());
}

void MainWindowTest::emptyCatalogueLeavesPlaceholder()
{
    Fixture f;
    f.state.connection().execute(QStringLiteral("delete from pr_report"));
    form_main w(f.state);
    w.menu_load();
    QMenu *menu = reportMenu(w);
    QCOMPARE(itemNames(menu), QStringList{QStringLiteral("mFind_0")});
    QCOMPARE(itemTexts(menu), QStringList{QStringLiteral("caxune")});
}

void MainWindowTest::missingCatalogueStopsLoading()
{
    Fixture f;
    f.state.connection().execute(QStringLiteral("drop table pr_report"));
    {
        form_main w(f.state);
        QVERIFY_THROWS_EXCEPTION(DbException, w.load());
    }
    // The busy pointer of the failed load goes with the window.
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void MainWindowTest::pictureShown()
{
    if (!QFileInfo::exists(programPicturePath()))
        QSKIP("this copy runs without the program picture");
    Fixture f;
    form_main w(f.state);
    w.load();
    QVERIFY(w.backgroundArea()->hasPicture());
}

void MainWindowTest::loadWithoutPicture()
{
    if (QFileInfo::exists(programPicturePath())) {
        // The picture sits beside the program; run this case again from a copy
        // of the program in a folder without one.
        QTemporaryDir dir;
        const QString copy = dir.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(copy, {QStringLiteral("loadWithoutPicture")});
        QVERIFY(child.waitForFinished(50000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : MainWindowTest::loadWithoutPicture()"), output.constData());
        return;
    }
    Fixture f;
    form_main w(f.state);
    try {
        w.load();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    QVERIFY(!w.backgroundArea()->hasPicture());
    QCOMPARE(itemNames(reportMenu(w)).size(), 4);
}

void MainWindowTest::aboutBox()
{
    frmAbout about;
    QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(about.windowTitle(), QStringLiteral("关于 Avelor"));
    // The version is the project's, as CMakeLists.txt gives it.
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(QStringLiteral(TORVANE_VERSION)).hasMatch());
    QCOMPARE(about.findChild<QLabel *>(QStringLiteral("lblVersion"))->text(),
             QStringLiteral("版本 ") + QStringLiteral(TORVANE_VERSION));

    MessageLog messages;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "");
    ModalScript::click(&about, QStringLiteral("cmdSysInfo"));
    qputenv("PATH", path);
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.text(), QStringLiteral("此时系统信息不可用"));
    QCOMPARE(messages.icon(), Msg::Icon::None);
}

void MainWindowTest::aboutOpensOnce()
{
    Fixture f;
    form_main w(f.state);
    w.load();
    w.action(QStringLiteral("hlep5"))->trigger();
    QCOMPARE(w.findChildren<frmAbout *>().size(), 1);
    QWidget *first = w.findChild<frmAbout *>();
    QVERIFY(first->isVisible());
    w.action(QStringLiteral("hlep5"))->trigger();
    QCOMPARE(w.findChildren<frmAbout *>().size(), 1);
    QCOMPARE(w.findChild<frmAbout *>(), first);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
