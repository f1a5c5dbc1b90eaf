// The start routine and the database location window: where the program looks
// for its database, what it does when the file cannot be opened, and what it
// leaves in the settings for the next start.

#include "domain/shell/appstate.h"
#include "shell/form_main.h"
#include "shell/startup.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/modalscript.h"
#include "support/testdatabase.h"

#include <QComboBox>
#include <QDir>
#include <QSettings>
#include <QTest>

namespace {

// The settings file the program writes, read on its own rather than through
// the program's settings code.
QString storedSetting(const TestDatabase &db, const QString &key)
{
    QSettings ini(db.tempDir() + QStringLiteral("/settings/Avelor.ini"), QSettings::IniFormat);
    return ini.value(QStringLiteral("main_path/") + key).toString();
}

void logIn(QWidget *login, const QString &password)
{
    child<QComboBox>(login, QStringLiteral("combname"))->setCurrentText(QStringLiteral("admin"));
    box(login, QStringLiteral("txtPassword"))->setText(password);
    ModalScript::click(login, QStringLiteral("cmdOK"));
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void startRoutes_data()
    {
        QTest::addColumn<QString>("stored");    // the file in the settings from an earlier start
        QTest::addColumn<QStringList>("steps"); // window:what the operator does there
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("kept"); // the file in the settings afterwards
        QTest::newRow("first start: a file chosen, then login")
            << "" << QStringList{"Frm_pathset:choose", "frmLogin:admin"} << true << "kvora.db";
        QTest::newRow("first start cancelled") << "" << QStringList{"Frm_pathset:cancel"} << false << "";
        QTest::newRow("stored folder with its separator") << "kvora.db" << QStringList{"frmLogin:admin"} << true << "kvora.db";
        QTest::newRow("login cancelled") << "kvora.db" << QStringList{"frmLogin:cancel"} << false << "kvora.db";
        // A stored file that cannot be opened: said, then the location window, then the program ends.
        QTest::newRow("file missing, another chosen") << "absent.db" << QStringList{"Frm_pathset:choose"} << false << "kvora.db";
        QTest::newRow("file missing, nothing chosen") << "absent.db" << QStringList{"Frm_pathset:ok"} << false << "absent.db";
    }

    void startRoutes()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, steps);
        QFETCH(bool, running);
        QFETCH(QString, kept);
        TestDatabase db;
        if (!stored.isEmpty()) {
            QSettings ini(db.tempDir() + QStringLiteral("/settings/Avelor.ini"), QSettings::IniFormat);
            ini.setValue(QStringLiteral("main_path/path"), db.folder());
            ini.setValue(QStringLiteral("main_path/data"), stored);
        }
        const bool missing = stored == QLatin1String("absent.db");
        AppState state;
        FakeDialogs dialogs(db.path());
        QStringList events, expected = missing ? QStringList{QStringLiteral("message")} : QStringList();
        MessageLog messages(&events);
        bool mainShownBeforeLogin = false;
        Startup startup(state);
        ModalScript script(&events);
        for (const QString &step : steps) {
            const QString window = step.section(':', 0, 0), act = step.section(':', 1);
            expected << window;
            script.then(window, [&, act](QWidget *w) {
                mainShownBeforeLogin = startup.mainWindow() && startup.mainWindow()->isVisible();
                if (act == QLatin1String("choose"))
                    ModalScript::click(w, QStringLiteral("CmdFlHelp"));
                if (act == QLatin1String("admin"))
                    logIn(w, QStringLiteral("admin123"));
                else
                    ModalScript::click(w, act == QLatin1String("cancel") ? QStringLiteral("cmdCancel") : QStringLiteral("cmdOK"));
            });
        }
        QCOMPARE(startup.run(), running);
        QCOMPARE(events, expected);
        // The store's own description of the failure and its number.
        QCOMPARE(messages.count(), missing ? 1 : 0);
        QVERIFY(!missing || messages.text().endsWith(QStringLiteral("-2147467259")));
        QCOMPARE(dialogs.fileAsked, steps.join(' ').contains("choose") ? 1 : 0);
        QCOMPARE(QApplication::overrideCursor(), nullptr); // however quickly the operator logs in
        QCOMPARE(state.connection().isOpen(), stored == QLatin1String("kvora.db") || running);
        // What the location window left is what the next start will use.
        QCOMPARE(storedSetting(db, QStringLiteral("data")), kept);
        QCOMPARE(storedSetting(db, QStringLiteral("path")), kept.isEmpty() ? QString() : db.folder());
        if (!running) {
            QVERIFY(!startup.mainWindow());
            QVERIFY(state.currentOperator().isEmpty());
            return;
        }
        QCOMPARE(QFileInfo(state.connection().location()).canonicalFilePath(), QFileInfo(db.path()).canonicalFilePath());
        QVERIFY(mainShownBeforeLogin);
        QCOMPARE(startup.mainWindow()->windowTitle(), QStringLiteral("Avelor 数据位置 ") + db.folder() + "kvora.db");
        QCOMPARE(state.currentOperator(), QStringLiteral("admin"));
    }

    void firstStartCreatesDatabase_data()
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

    void firstStartCreatesDatabase()
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
                logIn(w, QStringLiteral("s3cret"));
                if (w->isVisible()) // refused: end instead of waiting
                    w->close();
            });
        Startup startup(state);
        const bool running = startup.run();
        Msg::setHandler({});
        QCOMPARE(icons, shown);
        QVERIFY(script.finished());
        // The new database is the one in use, and admin logs in with the password just set.
        QCOMPARE(running, !made.isEmpty());
        QCOMPARE(storedSetting(db, QStringLiteral("data")), QFileInfo(made).fileName());
        if (made.isEmpty()) {
            QVERIFY(QDir(dir.filePath(QStringLiteral("fresh"))).isEmpty());
            return;
        }
        QCOMPARE(QDir::cleanPath(state.connection().location()), dir.filePath(made));
        QCOMPARE(state.currentOperator(), QStringLiteral("admin"));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
