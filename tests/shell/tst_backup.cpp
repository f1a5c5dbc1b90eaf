// Data backup from the system menu, and the error report every window uses.

#include "shell/appstate.h"
#include "shell/form_main.h"
#include "shell/modulback.h"
#include "shell/rights.h"
#include "store/recordset.h"
#include "store/transactionguard.h"
#include "support/appfixture.h"
#include "ui/modcwcl.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString kDone = QStringLiteral("数据备份完成!");

// The operator names in a database, read through a connection of its own; the
// open itself proves a backup is one of our databases.
QStringList operatorsIn(const QString &path)
{
    Connection copy;
    copy.openLocation(path);
    Recordset rs;
    rs.open(QStringLiteral("select czy_name from czyzd order by czy_no"), &copy);
    QStringList names;
    for (int i = 0; i < rs.recordCount(); ++i)
        names << rs.valueAt(i, 0).toString();
    return names;
}

} // namespace

class BackupTest : public QObject
{
    Q_OBJECT

private slots:
    void backupFromMenuHoldsCommittedRowsOnly();
    void failedBackupKeepsWhatWasThere();
    void errorText_data();
    void errorText();
};

void BackupTest::backupFromMenuHoldsCommittedRowsOnly()
{
    AppFixture f;
    const auto addOperator = [&f](const char *name) {
        f.exec(QStringLiteral("insert into czyzd (czy_name, czy_pass, sys_tag) values (?, 'pw', 0)"), {QString::fromUtf8(name)});
    };
    const QString backup = f.db.tempDir() + QStringLiteral("/kvora.bak");
    QFile old(backup); // an older backup is replaced
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(4096, 'x')));
    old.close();
    form_main w(f.state);
    w.action(QStringLiteral("menu_sys_4"))->trigger(); // without the right: nothing
    QCOMPARE(f.messages.count(), 0);
    Rights::mCzyqx(f.state.connection(), &w, QStringLiteral("admin"));
    addOperator("committed");
    const QStringList committed = operatorsIn(f.db.path());
    {
        // An edit still open on the shared connection when the backup runs.
        TransactionGuard pending(f.state.connection());
        f.state.connection().execute(QStringLiteral("insert into czyzd (czy_name, czy_pass, sys_tag) values ('pending', 'pw', 0)"));
        w.action(QStringLiteral("menu_sys_4"))->trigger();
    }
    QCOMPARE(f.messages.texts(), QStringList{kDone});
    QCOMPARE(f.messages.icon(), Msg::Icon::Question);
    QVERIFY(committed.contains(QStringLiteral("committed")));
    QCOMPARE(operatorsIn(backup), committed);
    QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));
    QCOMPARE(f.count("czyzd where czy_name='pending'"), 0);
    // A second backup takes the rows committed since.
    addOperator("later");
    w.action(QStringLiteral("menu_sys_4"))->trigger();
    QVERIFY(operatorsIn(backup).contains(QStringLiteral("later")));
}

void BackupTest::failedBackupKeepsWhatWasThere()
{
    AppFixture f;
    // A folder where the backup belongs cannot be replaced by a file.
    const QString backup = f.db.tempDir() + QStringLiteral("/kvora.bak");
    QVERIFY(QDir().mkdir(backup));
    Modulback::data_backup(f.db.connection());
    QCOMPARE(f.messages.count(), 1);
    QCOMPARE(f.messages.icon(), Msg::Icon::Stop);
    QVERIFY(f.messages.text() != kDone);
    QVERIFY(QFileInfo(backup).isDir());
    QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void BackupTest::errorText_data()
{
    QTest::addColumn<qlonglong>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("text");
    QTest::newRow("general failure") << qlonglong(-2147467259) << "X" << "数据有误，请重新输入!-2147467259X";
    QTest::newRow("no current record") << qlonglong(3021) << "Y" << "错误号 3021Y，退出";
}

void BackupTest::errorText()
{
    QFETCH(qlonglong, number);
    QFETCH(QString, description);
    QFETCH(QString, text);
    MessageLog messages;
    ModCWCl::err_show(DbError{static_cast<long>(number), description});
    QCOMPARE(messages.texts(), QStringList{text});
    QCOMPARE(messages.icon(), Msg::Icon::Stop);
}

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
