// A server as the database location: entered in the location window, tried
// before it is kept, stored as path + data without a password; its backup
// goes to the program's data folder.
#include "shell/appstate.h"
#include "shell/frm_pathset.h"
#include "shell/modulback.h"
#include "shell/settings.h"
#include "support/controls.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

class ServerLocationTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("TORVANE_TEST_ENGINE", "postgres"); }
    void splitLocation_data();
    void splitLocation();
    void serverRow_data();
    void serverRow();
    void backupPathOfServer();
};

void ServerLocationTest::splitLocation_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("folder");
    QTest::newRow("host and port") << "postgresql://clerk@db.local:5432/kvora" << "postgresql://clerk@db.local:5432/";
    QTest::newRow("no database named") << "postgres://db.local?sslmode=require" << "postgres://db.local/";
    QTest::newRow("a file") << "/data/kvora.db" << "/data/";
}

void ServerLocationTest::splitLocation()
{
    QFETCH(QString, location);
    QFETCH(QString, folder);
    const auto [path, data] = Frm_pathset::splitLocation(location);
    QCOMPARE(path, folder);
    // The settings' two values give the location back through the connection text.
    QString back = Connection::dataSourceOf(Connection::connectionText(path, data));
    if (!Connection::isServerLocation(back))
        back = QDir::cleanPath(back); // a file opens through the doubled separator
    QCOMPARE(back, QString(location).replace(QLatin1String("local?"), QLatin1String("local/?")));
}

void ServerLocationTest::serverRow_data()
{
    QTest::addColumn<QString>("typed"); // %1: the test archive's URI
    QTest::addColumn<QString>("message"); // empty: connected and stored
    QTest::newRow("the archive") << "%1" << "";
    QTest::newRow("with its password") << "%1" << "";
    QTest::newRow("no server there") << "postgresql://torvane@/kvora?host=/nonexistent&port=1" << "无法连接数据库服务器";
    QTest::newRow("not an archive") << "%1" << "不是本系统的数据库";
    QTest::newRow("not a server location") << "kvora.db" << "postgresql://";
}

void ServerLocationTest::serverRow()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    const QString row = QString::fromLatin1(QTest::currentDataTag());
    TestDatabase db;
    ServerDatabase empty;
    QString uri = row == QLatin1String("not an archive") ? empty.uri() : db.path();
    QString expected = uri;
    if (row == QLatin1String("with its password")) {
        uri.replace(QLatin1String("//torvane@"), QLatin1String("//torvane_pw:secret@"));
        expected.replace(QLatin1String("//torvane@"), QLatin1String("//torvane_pw@"));
    }
    AppState state;
    state.setLocation(QStringLiteral("/old/"), QStringLiteral("old.db"));
    Settings::saveLocation(QStringLiteral("/old/"), QStringLiteral("old.db"));
    Frm_pathset window(state);
    MessageLog messages;
    box(&window, QStringLiteral("Text2"))->setText(typed.contains(QLatin1String("%1")) ? typed.arg(uri) : typed);
    click(&window, QStringLiteral("CmdServer"));

    if (!message.isEmpty()) {
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.text().contains(message), qPrintable(messages.text()));
        QCOMPARE(Settings::dataFolder() + Settings::databaseFile(), QStringLiteral("/old/old.db"));
        return;
    }
    QCOMPARE(messages.count(), 0);
    QCOMPARE(Connection::dataSourceOf(Connection::connectionText(Settings::dataFolder(), Settings::databaseFile())),
             expected);
    QCOMPARE(state.dataFolder() + state.databaseFile(), expected);
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

void ServerLocationTest::backupPathOfServer()
{
    TestDatabase db;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(Modulback::backupPathFor(QStringLiteral("postgresql://clerk@db.local:5432/kvora?sslmode=require")),
             folder + QStringLiteral("/kvora.bak"));
    QCOMPARE(Modulback::backupPathFor(QStringLiteral("postgresql://db.local")), folder + QStringLiteral("/kvora.bak"));
    QCOMPARE(Modulback::backupPathFor(QStringLiteral("/x//branch.db")), QStringLiteral("/x/branch.bak"));
    // The backup itself: an archive file of what the server holds.
    MessageLog messages;
    Modulback::data_backup(db.connection());
    QCOMPARE(messages.text(), QStringLiteral("数据备份完成!"));
    Connection copy;
    copy.openLocation(Modulback::backupPathFor(db.path()));
    QCOMPARE(copy.scalar(QStringLiteral("select count(*) from czy")), db.scalar(QStringLiteral("select count(*) from czy")));
}

QTEST_MAIN(ServerLocationTest)
#include "tst_serverlocation.moc"
