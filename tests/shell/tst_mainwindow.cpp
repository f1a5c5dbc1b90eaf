// The main window by what it does: each command opens its window (once), the
// rights-controlled commands start disabled, the report menu comes from the
// catalogue, and a missing catalogue stops loading.

#include "shell/form_main.h"
#include "shell/rights.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/modalscript.h"

#include <QMenu>
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
    void reportMenuFromCatalogue();
    void missingCatalogueStopsLoading();
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

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
