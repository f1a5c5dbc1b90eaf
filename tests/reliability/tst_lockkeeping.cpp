// The archive's locks stay the program's while it works: a file dialog shown
// on the archive's folder, an export there, a backup or a restore must not
// let another process write under it, and a commit made afterwards must
// survive a kill -9. The program's side runs in a child process (this test
// run with --hold), so the other process and the kill are real.
#include "domain/reports/exporttable.h"
#include "reports/modreport.h"
#include "domain/reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "domain/shell/appstate.h"
#include "shell/modulback.h"
#include "shell/modulrestore.h"
#include "store/sqlitelocks.h"
#include "store/transactionguard.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/rawsqlite.h"
#include "support/testdatabase.h"
#include "ui/dialogs.h"
#include "ui/exportfile.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <iostream>

namespace {

const QString kRowA = QStringLiteral("insert into dict(class,lx,sm) values('LK',1,'committed before')");
const QString kRowB = QStringLiteral("insert into dict(class,lx,sm) values('LK',2,'committed after')");

// Cancels the file dialog once it has listed the folder and told its files' types.
void cancelDialogSoon()
{
    QTimer::singleShot(600, [] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
            dialog->reject();
    });
}

void act(AppState &state, const QString &action, const QString &file)
{
    const QString folder = QFileInfo(file).absolutePath();
    Connection &c = state.connection();
    if (action == QLatin1String("open dialog")) {
        cancelDialogSoon();
        Dialogs::current().openFileName(nullptr, QStringLiteral("数据恢复"), QStringLiteral("所有文件 (*)"), folder);
    } else if (action == QLatin1String("save dialog")) {
        cancelDialogSoon();
        Dialogs::current().saveFileName(nullptr, QStringLiteral("导出CSV"), QStringLiteral("所有文件 (*)"));
    } else if (action == QLatin1String("location dialog")) {
        cancelDialogSoon();
        Dialogs::current().locationFileName(nullptr, QStringLiteral("设置文件"), QStringLiteral("所有文件 (*)"), file);
    } else if (action == QLatin1String("a library reads the files")) {
        // Code we do not control that opens and closes the archive's files.
        for (const char *suffix : {"", "-wal", "-shm"}) {
            QFile f(file + QLatin1String(suffix));
            if (f.open(QIODevice::ReadOnly))
                f.read(100);
        }
    } else if (action == QLatin1String("exports into the folder")) {
        ExportTable table;
        ExportColumn column;
        column.caption = QStringLiteral("值");
        table.columns = {column};
        table.rowCount = 1;
        table.cell = [](int, int) { return QVariant(1); };
        ExportFile::write(table, ExportFile::Kind::Csv, folder + QStringLiteral("/out.csv"), nullptr);
        ExportFile::write(table, ExportFile::Kind::Excel, folder + QStringLiteral("/out.xlsx"), nullptr);
        // Onto the archive itself: refused, the archive untouched.
        if (ExportFile::write(table, ExportFile::Kind::Csv, file, nullptr).ok
            || ExportFile::write(table, ExportFile::Kind::Excel, file + QStringLiteral("-wal"), nullptr).ok)
            std::_Exit(4);
        // Nor does printing into a file.
        FakeDialogs printing;
        printing.printTo = file;
        if (ReportOutput::print(*ModReport::codeListFindSet(c, QStringLiteral("dict")), nullptr, false))
            std::_Exit(4);
    } else if (action == QLatin1String("backup")) {
        Modulback::data_backup(c);
    } else if (action == QLatin1String("restore refused")) {
        QFile junk(folder + QStringLiteral("/junk.bak"));
        junk.open(QIODevice::WriteOnly);
        junk.write("not a database");
        junk.close();
        if (Modulrestore::data_restore(c, junk.fileName()))
            std::_Exit(4);
    } else if (action == QLatin1String("restore done")) {
        Modulback::data_backup(c);
        if (!Modulrestore::data_restore(c, Modulback::backupPathFor(c.location())))
            std::_Exit(4);
    }
}

// The program's side: commits row A, does `action`, holds a write transaction
// and says "ready"; on a line from the test it commits row B, says "committed"
// and waits to be killed.
int hold(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[2]), action = QString::fromUtf8(argv[3]);
    QStandardPaths::setTestModeEnabled(true);
    // Started in the archive's folder, so every file dialog shows it.
    QDir::setCurrent(QFileInfo(file).absolutePath());
    MessageLog messages;
    AppState state;
    state.setLocation(QFileInfo(file).absolutePath() + QLatin1Char('/'), QFileInfo(file).fileName());
    state.connection().open(state.connectionText());
    state.connection().execute(kRowA);
    act(state, action, file);
    {
        TransactionGuard transaction(state.connection());
        state.connection().execute(QStringLiteral("update dict set bz='held' where class='LK'"));
        std::cout << "ready" << std::endl;
        std::string line;
        std::getline(std::cin, line);
        state.connection().execute(kRowB);
        transaction.commit();
    }
    std::cout << "committed" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 0;
}

bool readLine(QProcess &process, const QByteArray &expected)
{
    while (!process.canReadLine())
        if (!process.waitForReadyRead(20000))
            return false;
    return process.readLine().trimmed() == expected;
}

} // namespace

class LockKeeping : public QObject
{
    Q_OBJECT
private slots:
    void engineLocksAreItsOwn()
    {
        QVERIFY(SqliteLocks::keptAcrossCloses());
    }

    void othersStayOut_data()
    {
        QTest::addColumn<QString>("action");
        for (const char *action : {"open dialog", "save dialog", "location dialog", "a library reads the files",
                                   "exports into the folder", "backup", "restore refused", "restore done"})
            QTest::newRow(action) << QString::fromUtf8(action);
    }

    void othersStayOut()
    {
        QFETCH(QString, action);
        TestDatabase db;
        const QString file = db.path();
        db.connection().close();

        QProcess program;
        program.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), file, action});
        QVERIFY(program.waitForStarted());
        QVERIFY2(readLine(program, "ready"), qPrintable(program.readAllStandardError()));

        // Another process's write waits for the held transaction and gives up.
        QProcess other;
        other.start(QStringLiteral("sqlite3"), {QStringLiteral("-cmd"), QStringLiteral(".timeout 300"), file,
                                                QStringLiteral("insert into dict(class,lx,sm) values('LK',3,'other');")});
        QVERIFY(other.waitForFinished(20000));
        QVERIFY2(other.exitCode() != 0, "another process wrote while the program held its transaction");
        QVERIFY(other.readAllStandardError().contains("locked"));

        program.write("commit\n");
        QVERIFY(readLine(program, "committed"));
        program.kill();
        program.waitForFinished();

        RawSqlite after(file);
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(after, "select group_concat(lx) from (select lx from dict where class='LK' order by lx)", -1,
                           &stmt, nullptr);
        QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
        const QString rows = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        QCOMPARE(rows, QStringLiteral("1,2"));
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--hold") == 0)
        return hold(argc, argv);
    QApplication app(argc, argv);
    LockKeeping test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lockkeeping.moc"
