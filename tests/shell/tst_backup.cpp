// Data backup from the system menu, and the error report every window uses.

#include "shell/appstate.h"
#include "shell/form_main.h"
#include "ui/modcwcl.h"
#include "shell/modulback.h"
#include "shell/rights.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/modalscript.h"
#include "store/recordset.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString kDone = QStringLiteral("数据备份完成!");

void addOperator(Connection &connection, const QString &name)
{
    connection.execute(
        QStringLiteral("insert into czyzd (czy_name, czy_pass, sys_tag) values ('%1', 'pw', 0)").arg(name));
}

// The operator names in a backup, read through a connection of its own; the
// open itself proves the copy is one of our databases.
QStringList operatorsIn(const QString &backup)
{
    Connection copy;
    copy.openLocation(backup);
    Recordset rs;
    rs.open(QStringLiteral("select czy_name from czyzd order by czy_no"), &copy);
    QStringList names;
    for (int i = 0; i < rs.recordCount(); ++i)
        names << rs.valueAt(i, 0).toString();
    return names;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class BackupTest : public QObject
{
    Q_OBJECT

private slots:
    void backupPath_data();
    void backupPath();
    void backupHoldsCommittedRowsOnly();
    void backupReplacesOlderBackup();
    void failedBackupKeepsWhatWasThere();
    void backupFromMenu();

    void errorText_data();
    void errorText();
    void errShowUsesStopBox();
};

void BackupTest::backupPath_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("backup");
    QTest::newRow("delivered name") << "/x/kvora.db" << "/x/kvora.bak";
    QTest::newRow("double separator") << "/x//kvora.db" << "/x/kvora.bak";
    QTest::newRow("other name") << "/data/agency/avelor.db" << "/data/agency/avelor.bak";
}

void BackupTest::backupPath()
{
    QFETCH(QString, database);
    QFETCH(QString, backup);
    QCOMPARE(Modulback::backupPathFor(database), backup);
}

void BackupTest::backupHoldsCommittedRowsOnly()
{
    TestDatabase db;
    addOperator(db.connection(), QStringLiteral("committed"));
    const QStringList committed = operatorsIn(db.path());
    QVERIFY(committed.contains(QStringLiteral("committed")));

    MessageLog messages;
    {
        // An edit still open on the shared connection when the backup runs.
        TransactionGuard pending(db.connection());
        addOperator(db.connection(), QStringLiteral("pending"));
        Modulback::data_backup(db.connection());
    }
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.text(), kDone);
    QCOMPARE(messages.icon(), Msg::Icon::Question);

    const QString backup = db.tempDir() + QStringLiteral("/kvora.bak");
    QCOMPARE(operatorsIn(backup), committed);
    QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));
    // Rolling back left the database as it was.
    QCOMPARE(db.count(QStringLiteral("czyzd where czy_name='pending'")), 0);
}

void BackupTest::backupReplacesOlderBackup()
{
    TestDatabase db;
    const QString backup = db.tempDir() + QStringLiteral("/kvora.bak");
    {
        QFile old(backup);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(4096, 'x'));
    }
    MessageLog messages;
    Modulback::data_backup(db.connection());
    QCOMPARE(messages.text(), kDone);
    QCOMPARE(operatorsIn(backup), operatorsIn(db.path()));

    // A second backup takes the rows committed since.
    addOperator(db.connection(), QStringLiteral("later"));
    Modulback::data_backup(db.connection());
    QCOMPARE(messages.count(), 2);
    QVERIFY(operatorsIn(backup).contains(QStringLiteral("later")));
}

void BackupTest::failedBackupKeepsWhatWasThere()
{
    TestDatabase db;
    // A folder where the backup belongs cannot be replaced by a file.
    const QString backup = db.tempDir() + QStringLiteral("/kvora.bak");
    QVERIFY(QDir().mkdir(backup));
    {
        QFile kept(backup + QStringLiteral("/kept.txt"));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write("earlier");
    }
    MessageLog messages;
    Modulback::data_backup(db.connection());
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.icon(), Msg::Icon::Stop);
    QVERIFY(messages.text() != kDone);
    QVERIFY(QFileInfo(backup).isDir());
    QCOMPARE(readAll(backup + QStringLiteral("/kept.txt")), QByteArray("earlier"));
    QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void BackupTest::backupFromMenu()
{
    TestDatabase db;
    AppState state;
    state.setLocation(db.folder(), db.fileName());
    state.connection().open(state.connectionText());
    form_main w(state);
    MessageLog messages;
    const QString backup = db.tempDir() + QStringLiteral("/kvora.bak");

    // Without the right the command does nothing.
    w.action(QStringLiteral("menu_sys_4"))->trigger();
    QCOMPARE(messages.count(), 0);
    QVERIFY(!QFile::exists(backup));

    Rights::mCzyqx(state.connection(), &w, QStringLiteral("admin"));
    w.action(QStringLiteral("menu_sys_4"))->trigger();
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.text(), kDone);
    QCOMPARE(operatorsIn(backup), operatorsIn(db.path()));
}

void BackupTest::errorText_data()
{
    QTest::addColumn<qlonglong>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("text");
    QTest::newRow("general failure") << qlonglong(-2147467259) << "X" << "数据有误，请重新输入!-2147467259X";
    QTest::newRow("no current record") << qlonglong(3021) << "Y" << "错误号 3021Y，退出";
    QTest::newRow("not updatable") << qlonglong(3251) << "" << "错误号 3251，退出";
}

void BackupTest::errorText()
{
    QFETCH(qlonglong, number);
    QFETCH(QString, description);
    QFETCH(QString, text);
    QCOMPARE(ModCWCl::errorText(DbError{static_cast<long>(number), description}), text);
}

void BackupTest::errShowUsesStopBox()
{
    MessageLog messages;
    ModCWCl::err_show(DbError{DbErrorCode::NoCurrentRecord, QStringLiteral("Y")});
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.text(), QStringLiteral("错误号 3021Y，退出"));
    QCOMPARE(messages.icon(), Msg::Icon::Stop);
    QCOMPARE(messages.shown().first().title, QStringLiteral("Avelor"));
}

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
