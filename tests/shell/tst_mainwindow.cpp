// The main window by what it does: each command opens its window (once), the
// rights-controlled commands start disabled, the status bar and caption, the
// report menu from the catalogue, what stops loading and what does not.

#include "shell/backgroundarea.h"
#include "shell/form_main.h"
#include "shell/frmabout.h"
#include "shell/rights.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/modalscript.h"

#include <QDate>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
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

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void commandOpensItsWindow_data();
    void commandOpensItsWindow();
    void commandsOutsideTheRights();
    void statusBarAndCaption();
    void reportMenuFromCatalogue();
    void missingCatalogueStopsLoading();
    void pictureOrNone();
    void aboutBox();
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

void MainWindowTest::statusBarAndCaption()
{
    AppFixture f;
    const QDate before = QDate::currentDate();
    form_main w(f.state);
    const QDate after = QDate::currentDate();
    w.load();
    QCOMPARE(w.windowTitle(), QStringLiteral("Avelor 数据位置 ") + f.db.folder() + f.db.fileName());
    QCOMPARE(w.action("hlep5")->text(), QStringLiteral("关于Avelor"));
    QStringList panels;
    for (int i = 1; i <= 8; ++i) {
        panels << child<QLabel>(&w, QStringLiteral("StatusBar1_%1").arg(i))->text();
        QCOMPARE(w.panelText(i), panels.last());
    }
    QCOMPARE(panels.mid(0, 2), (QStringList{"数据管理系统", "管理人:"}));
    QVERIFY2(QTime::fromString(panels[5], "HH:mm").isValid(), qPrintable(panels[5]));
    QVERIFY2(panels[6] == before.toString(Qt::ISODate) || panels[6] == after.toString(Qt::ISODate), qPrintable(panels[6]));
    w.setPanelText(2, QStringLiteral("操做员:x"));
    QCOMPARE(child<QLabel>(&w, "StatusBar1_2")->text(), QStringLiteral("操做员:x"));
}

void MainWindowTest::reportMenuFromCatalogue()
{
    AppFixture f;
    const QStringList names = f.column("select report_name from pr_report order by xh");
    QCOMPARE(names.size(), 4);
    form_main w(f.state);
    w.load();
    QCOMPARE(itemTexts(w), names);
    QCOMPARE(w.action("mFind_3")->text(), names.at(3));
    // Loading again rebuilds the menu rather than adding to it.
    w.menu_load();
    QCOMPARE(itemTexts(w), names);
    QCOMPARE(w.action("mFind_0")->text(), names.first());
    // An empty catalogue leaves the placeholder.
    f.exec("delete from pr_report");
    form_main empty(f.state);
    empty.menu_load();
    QCOMPARE(itemTexts(empty), QStringList{"caxune"});
    QVERIFY(empty.action("mFind_0"));
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

void MainWindowTest::pictureOrNone()
{
    // The picture sits beside the program; the case runs again from a copy of
    // the program in a folder without one, where loading must go on without it.
    const bool beside = QFileInfo::exists(programPicturePath());
    if (beside) {
        QTemporaryDir dir;
        const QString copy = dir.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QProcess again;
        again.setProcessChannelMode(QProcess::MergedChannels);
        again.start(copy, {QStringLiteral("pictureOrNone")});
        QVERIFY(again.waitForFinished(50000));
        const QByteArray output = again.readAll();
        QVERIFY2(again.exitCode() == 0 && output.contains("PASS   : MainWindowTest::pictureOrNone()"), output.constData());
    } else {
        qInfo("no program picture beside %s: only the plain area is checked", qPrintable(programPicturePath()));
    }
    AppFixture f;
    form_main w(f.state);
    w.load();
    QCOMPARE(w.backgroundArea()->hasPicture(), beside);
    QCOMPARE(itemTexts(w).size(), 4);
}

void MainWindowTest::aboutBox()
{
    frmAbout about;
    QCOMPARE(about.windowTitle(), QStringLiteral("关于 Avelor"));
    QCOMPARE(child<QLabel>(&about, "lblVersion")->text(), QStringLiteral("版本 " TORVANE_VERSION));
    MessageLog messages;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "");
    click(&about, "cmdSysInfo");
    qputenv("PATH", path);
    QCOMPARE(messages.texts(), QStringList{"此时系统信息不可用"});
    QCOMPARE(messages.icon(), Msg::Icon::None);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
