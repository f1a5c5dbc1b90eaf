// A server as the database location: entered in the location window, tried
// before it is kept, stored as path + data without a password.
#include "domain/shell/appstate.h"
#include "shell/frm_pathset.h"
#include "ui/settings.h"
#include "support/controls.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"

#include <QSettings>
#include <QTest>

class ServerLocationTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("TORVANE_TEST_ENGINE", "postgres"); }
    void serverRow_data();
    void serverRow();
};

void ServerLocationTest::serverRow_data()
{
    QTest::addColumn<QString>("typed");   // %1: the test archive with a password, %2: an empty database
    QTest::addColumn<QString>("message"); // empty: connected and stored
    QTest::newRow("the archive, with its password") << "%1" << "";
    QTest::newRow("no server there") << "postgresql://torvane@/kvora?host=/nonexistent&port=1" << "无法连接数据库服务器";
    QTest::newRow("not an archive") << "%2" << "不是本系统的数据库";
}

void ServerLocationTest::serverRow()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    TestDatabase db;
    ServerDatabase empty;
    const QString expected = QString(db.path()).replace(QLatin1String("//torvane@"), QLatin1String("//torvane_pw@"));
    const QString withPassword = QString(db.path()).replace(QLatin1String("//torvane@"), QLatin1String("//torvane_pw:secret@"));
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

QTEST_MAIN(ServerLocationTest)
#include "tst_serverlocation.moc"
