// The start routine and the database location window: where the program looks
// for its database, what it does when the file cannot be opened, and what it
// leaves in the settings for the next start.

#include "shell/appstate.h"
#include "shell/form_main.h"
#include "shell/frm_pathset.h"
#include "shell/startup.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/modalscript.h"
#include "support/testdatabase.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

namespace {

const QString kGeneralFailure = QStringLiteral("-2147467259");

// The settings file the program writes, read on its own rather than through
// the program's settings code.
QString settingsFile(const TestDatabase &db) { return db.tempDir() + QStringLiteral("/settings/Avelor.ini"); }

QString storedSetting(const TestDatabase &db, const QString &key)
{
    QSettings ini(settingsFile(db), QSettings::IniFormat);
    return ini.value(QStringLiteral("main_path/") + key).toString();
}

void store(const TestDatabase &db, const QString &folder, const QString &file)
{
    QSettings ini(settingsFile(db), QSettings::IniFormat);
    ini.setValue(QStringLiteral("main_path/path"), folder);
    ini.setValue(QStringLiteral("main_path/data"), file);
}

void logIn(QWidget *login, const QString &name, const QString &password)
{
    child<QComboBox>(login, QStringLiteral("combname"))->setCurrentText(name);
    box(login, QStringLiteral("txtPassword"))->setText(password);
    ModalScript::click(login, QStringLiteral("cmdOK"));
}

bool mainWindowVisible()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("form_main") && w->isVisible())
            return true;
    return false;
}

// What the store itself says about a connection text that does not open.
QString openFailureText(const QString &folder, const QString &file)
{
    Connection probe;
    try {
        probe.open(Connection::connectionText(folder, file));
    } catch (const DbException &e) {
        return e.description() + QString::number(e.number());
    }
    return QString();
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void startRoutes_data();
    void startRoutes();
    void firstStartCreatesDatabase_data();
    void firstStartCreatesDatabase();
    void openFailure_data();
    void openFailure();

    void locationFile_data();
    void locationFile();
};

void StartupTest::startRoutes_data()
{
    QTest::addColumn<bool>("stored");       // a good location in the settings from an earlier start
    QTest::addColumn<QStringList>("steps"); // window:what the operator does there
    QTest::addColumn<bool>("running");
    QTest::newRow("first start: a file chosen, then login")
        << false << QStringList{"Frm_pathset:choose", "frmLogin:admin"} << true;
    QTest::newRow("first start cancelled") << false << QStringList{"Frm_pathset:cancel"} << false;
    QTest::newRow("stored folder with its separator") << true << QStringList{"frmLogin:admin"} << true;
    QTest::newRow("login cancelled") << true << QStringList{"frmLogin:cancel"} << false;
}

void StartupTest::startRoutes()
{
    QFETCH(bool, stored);
    QFETCH(QStringList, steps);
    QFETCH(bool, running);
    TestDatabase db;
    if (stored)
        store(db, db.folder(), db.fileName());
    AppState state;
    FakeDialogs dialogs(db.path());
    QStringList events, windows;
    MessageLog messages(&events);
    bool mainShownBeforeLogin = false;
    ModalScript script(&events);
    for (const QString &step : steps) {
        const QString window = step.section(':', 0, 0), act = step.section(':', 1);
        windows << window;
        script.then(window, [&, act](QWidget *w) {
            mainShownBeforeLogin = mainWindowVisible();
            if (act == QLatin1String("choose"))
                ModalScript::click(w, QStringLiteral("CmdFlHelp"));
            if (act == QLatin1String("admin"))
                logIn(w, QStringLiteral("admin"), QStringLiteral("admin123"));
            else
                ModalScript::click(w, act == QLatin1String("cancel") ? QStringLiteral("cmdCancel") : QStringLiteral("cmdOK"));
        });
    }
    Startup startup(state);
    QCOMPARE(startup.run(), running);
    QCOMPARE(events, windows);
    QCOMPARE(dialogs.fileAsked, steps.join(' ').contains("choose") ? 1 : 0);
    QCOMPARE(QApplication::overrideCursor(), nullptr); // however quickly the operator logs in
    QCOMPARE(state.connection().isOpen(), stored || running);
    if (!running) {
        QVERIFY(!startup.mainWindow());
        QVERIFY(state.currentOperator().isEmpty());
        QCOMPARE(QFile::exists(settingsFile(db)), stored);
        return;
    }
    QCOMPARE(storedSetting(db, QStringLiteral("path")), db.folder());
    QCOMPARE(storedSetting(db, QStringLiteral("data")), QStringLiteral("kvora.db"));
    QCOMPARE(QFileInfo(state.connection().location()).canonicalFilePath(), QFileInfo(db.path()).canonicalFilePath());
    QVERIFY(mainShownBeforeLogin);
    QCOMPARE(startup.mainWindow()->windowTitle(), QStringLiteral("Avelor 数据位置 ") + db.folder() + "kvora.db");
    QCOMPARE(state.currentOperator(), QStringLiteral("admin"));
}

void StartupTest::firstStartCreatesDatabase_data()
{
    QTest::addColumn<QString>("chosen"); // in the test folder
    QTest::addColumn<bool>("accept");    // the answer to the offer
    QTest::addColumn<QStringList>("passwords"); // typed in turn, then the box is cancelled
    QTest::addColumn<QString>("made"); // empty when nothing may be made
    // The messages shown, by icon: Question, Exclamation, Information, Stop.
    QTest::addColumn<QString>("shown");

    const QStringList twice{QStringLiteral("s3cret"), QStringLiteral("s3cret")};
    QTest::newRow("empty folder") << "fresh" << true << twice << "fresh/kvora.db" << "QI";
    QTest::newRow("new name, blank and a slip first")
        << "fresh/agency.db" << true << (QStringList{"  ", "s3cret", "s3cre"} + twice) << "fresh/agency.db" << "QEEI";
    QTest::newRow("offer declined") << "fresh" << false << twice << "" << "Q";
    QTest::newRow("second password cancelled") << "fresh" << true << QStringList{"s3cret"} << "" << "Q";
    QTest::newRow("folder does not exist") << "fresh/gone/agency.db" << true << twice << "" << "QS";
}

void StartupTest::firstStartCreatesDatabase()
{
    QFETCH(QString, chosen);
    QFETCH(bool, accept);
    QFETCH(QStringList, passwords);
    QFETCH(QString, made);
    QFETCH(QString, shown);

    TestDatabase db;
    const QDir dir(db.tempDir());
    QVERIFY(dir.mkpath(QStringLiteral("fresh")));
    AppState state;
    FakeDialogs dialogs(dir.filePath(chosen));
    dialogs.passwords = passwords;
    QString icons;
    Msg::setHandler([&](const Msg::Shown &m) {
        icons += QStringLiteral(" IESQ").at(static_cast<int>(m.icon));
        return m.buttons == Msg::Buttons::YesNo ? (accept ? Msg::Answer::Yes : Msg::Answer::No) : Msg::Answer::Ok;
    });
    QStringList events;
    ModalScript script(&events);
    script.then(QStringLiteral("Frm_pathset"), [&made](QWidget *w) {
        ModalScript::click(w, QStringLiteral("CmdFlHelp"));
        ModalScript::click(w, made.isEmpty() ? QStringLiteral("cmdCancel") : QStringLiteral("cmdOK"));
    });
    if (!made.isEmpty())
        script.then(QStringLiteral("frmLogin"), [](QWidget *w) {
            logIn(w, QStringLiteral("admin"), QStringLiteral("s3cret"));
            if (w->isVisible()) // refused: end instead of waiting
                w->close();
        });

    Startup startup(state);
    const bool running = startup.run();
    Msg::setHandler({});
    QCOMPARE(icons, shown);
    QVERIFY(script.finished());
    if (made.isEmpty()) {
        QVERIFY(!running);
        QVERIFY(QDir(dir.filePath(QStringLiteral("fresh"))).isEmpty());
        QVERIFY(!QFile::exists(settingsFile(db)));
        return;
    }
    // The new database is the one in use, and admin logs in with the password just set.
    QVERIFY(running);
    QCOMPARE(QDir::cleanPath(state.connection().location()), dir.filePath(made));
    QCOMPARE(storedSetting(db, QStringLiteral("data")), QFileInfo(made).fileName());
    QCOMPARE(state.currentOperator(), QStringLiteral("admin"));
}

void StartupTest::openFailure_data()
{
    // Whether the operator picks the good database in the location window that follows.
    QTest::addColumn<bool>("chooseAgain");
    QTest::newRow("another file chosen") << true;
    QTest::newRow("nothing chosen") << false;
}

void StartupTest::openFailure()
{
    QFETCH(bool, chooseAgain);
    // The stored file is missing.
    TestDatabase db;
    const QString folder = db.folder(), file = QStringLiteral("absent.db");
    store(db, folder, file);
    const QString expected = openFailureText(folder, file);
    QVERIFY(expected.endsWith(kGeneralFailure) && expected.size() > kGeneralFailure.size());

    AppState state;
    FakeDialogs dialogs(db.path());
    QStringList events;
    MessageLog messages(&events);
    ModalScript script(&events);
    script.then(QStringLiteral("Frm_pathset"), [chooseAgain](QWidget *w) {
        if (chooseAgain)
            ModalScript::click(w, QStringLiteral("CmdFlHelp"));
        ModalScript::click(w, QStringLiteral("cmdOK"));
    });

    Startup startup(state);
    QVERIFY(!startup.run());

    QCOMPARE(events, (QStringList{QStringLiteral("message"), QStringLiteral("Frm_pathset")}));
    QCOMPARE(messages.texts(), QStringList{expected});
    QCOMPARE(messages.icon(), Msg::Icon::None);
    QVERIFY(!startup.mainWindow() && !mainWindowVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // What the location window left is what the next start will use.
    QCOMPARE(storedSetting(db, QStringLiteral("path")), chooseAgain ? db.folder() : folder);
    QCOMPARE(storedSetting(db, QStringLiteral("data")), chooseAgain ? QStringLiteral("kvora.db") : file);
}

void StartupTest::locationFile_data()
{
    QTest::addColumn<bool>("chosen"); // false: the file dialog is cancelled
    QTest::newRow("a file chosen") << true;
    QTest::newRow("file dialog cancelled") << false;
}

void StartupTest::locationFile()
{
    QFETCH(bool, chosen);
    TestDatabase db;
    store(db, QStringLiteral("/old/"), QStringLiteral("old.db"));
    AppState state;
    state.setLocation(QStringLiteral("/old/"), QStringLiteral("old.db"));
    Frm_pathset window(state);
    QLineEdit *text = box(&window, QStringLiteral("Text1"));
    QCOMPARE(text->text(), QStringLiteral("/old/old.db"));
    FakeDialogs dialogs(chosen ? db.path() : QString());
    ModalScript::click(&window, QStringLiteral("CmdFlHelp"));
    QCOMPARE(dialogs.fileAsked, 1);
    const QString folder = chosen ? db.folder() : QStringLiteral("/old/");
    const QString file = chosen ? QStringLiteral("kvora.db") : QStringLiteral("old.db");
    QCOMPARE(state.dataFolder(), folder);
    QCOMPARE(state.databaseFile(), file);
    QCOMPARE(text->text(), folder + file);
    // Stored at once, not on OK: the choice holds for the next start.
    QCOMPARE(storedSetting(db, QStringLiteral("path")), folder);
    QCOMPARE(storedSetting(db, QStringLiteral("data")), file);
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
