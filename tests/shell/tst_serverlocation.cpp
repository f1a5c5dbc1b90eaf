// A server as the database location: entered in the location window, tried
// before it is kept, stored as path + data without a password. The login on a
// server is the server's: the seat then runs as the operator's role, and the
// third password it refuses ends the program.
#include "domain/shell/appstate.h"
#include "shell/form_main.h"
#include "shell/frm_pathset.h"
#include "domain/operators/rights.h"
#include "shell/frmlogin.h"
#include "store/serverroles.h"
#include "ui/settings.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"
#include "support/windowload.h"

#include <QAction>
#include <QComboBox>
#include <QMdiArea>
#include <QSettings>
#include <QTimer>
#include <QTest>

class ServerLocationTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("TORVANE_TEST_ENGINE", "postgres"); }
    void serverRow_data()
    {
        QTest::addColumn<QString>("typed");   // %1: the test archive with a password, %2: an empty database
        QTest::addColumn<QString>("message"); // empty: connected and stored
        QTest::newRow("the archive, with its password") << "%1" << "";
        QTest::newRow("no server there") << "postgresql://torvane@/kvora?host=/nonexistent&port=1" << "无法连接数据库服务器";
        QTest::newRow("not an archive") << "%2" << "不是本系统的数据库";
    }

    void serverRow()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        TestDatabase db;
        ServerDatabase empty;
        const QString expected = ServerRoles::withUser(db.path(), QStringLiteral("torvane_pw"));
        const QString withPassword = QString(expected).replace(QLatin1String("//torvane_pw@"), QLatin1String("//torvane_pw:secret@"));
        AppState state;
        state.setLocation(QStringLiteral("/old/"), QStringLiteral("old.db"));
        Settings::saveLocation(QStringLiteral("/old/"), QStringLiteral("old.db"));
        Frm_pathset window(state);
        MessageLog messages;
        box(&window, QStringLiteral("Text2"))->setText(typed.replace("%1", withPassword).replace("%2", empty.uri()));
        click(&window, QStringLiteral("CmdServer"));
        if (!message.isEmpty()) {
            QCOMPARE(messages.count(), 1);
            QVERIFY2(messages.text().contains(message), qPrintable(messages.text()));
            QCOMPARE(Settings::dataFolder() + Settings::databaseFile(), QStringLiteral("/old/old.db"));
            return;
        }
        QCOMPARE(messages.count(), 0);
        QCOMPARE(Connection::dataSourceOf(Connection::connectionText(Settings::dataFolder(), Settings::databaseFile())), expected);
        QCOMPARE(box(&window, QStringLiteral("Text1"))->text(), expected);
        // The settings file never holds a password, yet this run opens the archive without asking again.
        QFile ini(QSettings(QSettings::IniFormat, QSettings::UserScope, Msg::programTitle()).fileName());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("secret"));
        Connection::setPasswordProvider([](const QString &) { return QStringLiteral("asked"); });
        state.connection().open(state.connectionText());
        Connection::setPasswordProvider({});
        QCOMPARE(state.connection().location(), expected);
    }

    // Each right's window (or command) works for an operator holding that right alone: its grants are wide enough.
    void rightOpensItsWindow_data()
    {
        QTest::addColumn<QString>("right");
        for (const QString &right : Rights::functionNames())
            QTest::newRow(qPrintable(right)) << right;
    }
    void rightOpensItsWindow()
    {
        QFETCH(QString, right);
        AppFixture f;
        f.exec(QStringLiteral("delete from czy where name=? and nr<>?"), {kOperator, right});
        form_main main(f.state);
        main.load();
        QAction *command = main.action(Rights::actionFor(right));
        command->setVisible(true);
        command->setEnabled(true);
        int modal = 0; // a modal window (积分转让) is up while the command runs
        QObject scope; // the check dies with this test when no window was modal
        QTimer::singleShot(200, &scope, [&modal] {
            if (QWidget *w = QApplication::activeModalWidget())
                modal += w->close();
        });
        command->trigger();
        // The backup is a command: a whole copy of the archive, said when done.
        const bool backup = right == QStringLiteral("数据备份");
        QCOMPARE(f.messages.texts().join(QString()).startsWith(QStringLiteral("数据备份完成")), backup);
        QCOMPARE(f.messages.count(), backup ? 1 : 0);
        QCOMPARE(main.mdiArea()->subWindowList().size() + modal, backup ? 0 : 1);
    }

    void login_data()
    {
        QTest::addColumn<QStringList>("typed"); // the right one is wf1234
        QTest::newRow("right at once") << QStringList{"wf1234"};
        QTest::newRow("right at the third try") << QStringList{"WF1234", "wf1234 ", "wf1234"};
        QTest::newRow("three wrong") << QStringList{"", "wf123", "WF1234"};
        QTest::newRow("right after three wrong") << QStringList{"", "wf123", "WF1234", "wf1234"};
    }

    void login()
    {
        QFETCH(QStringList, typed);
        TestDatabase db;
        ServerRoles::setPassword(db.connection(), QStringLiteral("王芳"), QStringLiteral("wf1234"));
        AppState state;
        MessageLog messages;
        // The seat comes in as the lobby, which reads the names and nothing more.
        const QString lobby = db.scalar(QStringLiteral("select torvane_role_name('group', 'lobby')")).toString();
        const auto [folder, file] = Frm_pathset::splitLocation(ServerRoles::withUser(db.path(), lobby));
        ServerRoles::rememberPassword(folder + file, lobby);
        state.setLocation(folder, file);
        state.connection().open(state.connectionText());
        QVERIFY_THROWS_EXCEPTION(DbException, state.connection().scalar(QStringLiteral("select count(*) from hyda")));
        frmLogin login(state, nullptr);
        child<QComboBox>(&loaded(login), "combname")->setCurrentText(QStringLiteral("王芳"));
        for (const QString &password : typed) {
            box(&login, "txtPassword")->setText(password);
            login.cmdOK_Click();
        }
        const bool accepted = typed.last() == QLatin1String("wf1234");
        QCOMPARE(messages.count(), typed.size() - (accepted ? 1 : 0));
        QCOMPARE(login.result() == QDialog::Accepted, accepted);
        // Every session of the seat runs as the operator: this one and a query window's own.
        const QString role = ServerRoles::roleOf(db.connection(), QStringLiteral("王芳"));
        Connection own;
        own.open(state.connectionText());
        for (Connection *c : {&state.connection(), &own})
            QCOMPARE(c->scalar(QStringLiteral("select session_user")).toString(), accepted ? role : lobby);
    }
};

QTEST_MAIN(ServerLocationTest)
#include "tst_serverlocation.moc"
