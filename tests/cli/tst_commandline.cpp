// The command line as the administrator types it: each row runs the built
// program and checks its exit code, what it wrote to stdout and to stderr, and
// that it made no file it should not have.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void options_data();
    void options();

private:
    struct Run
    {
        int code = -1;
        QString out;
        QString err;
    };
    Run program(const QStringList &arguments);

    QTemporaryDir m_dir;
};

CommandLineTest::Run CommandLineTest::program(const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(TORVANE_PROGRAM), arguments);
    Run run;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
        run.code = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void CommandLineTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const Run made = program({QStringLiteral("--create-database"), m_dir.filePath(QStringLiteral("demo.db")),
                              QStringLiteral("--demo")});
    QCOMPARE(made.code, 0);
    QVERIFY2(made.out.startsWith(QStringLiteral("created demo database ")), qPrintable(made.out + made.err));
    // The demo logins the README lists are in the file as hashes only.
    QFile demo(m_dir.filePath(QStringLiteral("demo.db")));
    QVERIFY(demo.open(QIODevice::ReadOnly));
    const QByteArray bytes = demo.readAll();
    QVERIFY(!bytes.contains("admin123") && !bytes.contains("wf1234"));
}

void CommandLineTest::options_data()
{
    QTest::addColumn<QStringList>("arguments"); // %DB% is the demo database, %DIR% the test folder
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out"); // patterns; empty: nothing may be written
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("makes"); // the file the run leaves in %DIR%, if any

    const QString usage = QStringLiteral("\n\nUsage: torvane \\[options\\]\n");
    QTest::newRow("version") << QStringList{"--version"} << 0
                             << "^torvane " + QRegularExpression::escape(TORVANE_VERSION) + "\n$" << "" << "";
    QTest::newRow("help") << QStringList{"-h"} << 0
                          << "^Usage: torvane \\[options\\]\n(.*\n)*  --sql " << "" << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << ""
                                    << "^torvane: Unknown option 'bogus'\\." + usage << "";
    QTest::newRow("value missing") << QStringList{"--create-database"} << 2 << ""
                                   << "^torvane: Missing value after '--create-database'\\." + usage << "";
    QTest::newRow("option taken as the file") << QStringList{"--create-database", "--demo"} << 2 << ""
                                              << "^torvane: --create-database needs a FILE\\." + usage << "";
    QTest::newRow("demo alone") << QStringList{"--demo"} << 2 << "" << "^torvane: --demo goes only with" << "";
    QTest::newRow("two commands") << QStringList{"--create-database", "%DIR%/new.db", "--sql", "%DB%", "select 1"}
                                  << 2 << "" << "^torvane: --create-database and --sql do not go together" << "";
    QTest::newRow("database with a command") << QStringList{"--database", "%DB%", "--sql", "%DB%", "select 1"} << 2
                                             << "" << "^torvane: --database starts the windows" << "";
    QTest::newRow("stray argument") << QStringList{"%DB%"} << 2 << "" << "^torvane: Unexpected argument '.*demo.db'"
                                    << "";
    QTest::newRow("sql rows") << QStringList{"--sql", "%DB%", "select count(*) as n from czyzd where sys_tag=true"}
                              << 0 << "^n\n1\n$" << "" << "";
    QTest::newRow("sql in the Jet dialect")
        << QStringList{"--sql", "%DB%", "delete * from czyrz where last_time < #2000-1-1#"} << 0
        << "^0 row\\(s\\) changed\n$" << "" << "";
    QTest::newRow("sql error") << QStringList{"--sql", "%DB%", "select nosuchcolumn from hyda"} << 1 << ""
                               << "^-2147467259 .*nosuchcolumn" << "";
    QTest::newRow("sql on a missing file") << QStringList{"--sql", "%DIR%/absent.db", "select 1"} << 1 << ""
                                           << "^-?\\d+ \\S" << "";
    QTest::newRow("create over a database") << QStringList{"--create-database", "%DB%"} << 1 << "" << "^-?\\d+ \\S"
                                            << "";
    QTest::newRow("create") << QStringList{"--create-database", "%DIR%/new.db"} << 0
                            << "^created empty database .*/new\\.db\n$" << "" << "new.db";
}

void CommandLineTest::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, makes);

    arguments.replaceInStrings(QStringLiteral("%DB%"), m_dir.filePath(QStringLiteral("demo.db")));
    arguments.replaceInStrings(QStringLiteral("%DIR%"), m_dir.path());
    const Run run = program(arguments);
    const QString seen = QStringLiteral("stdout: %1\nstderr: %2").arg(run.out, run.err);
    QVERIFY2(run.code == code, qPrintable(QStringLiteral("exit %1\n").arg(run.code) + seen));
    for (const auto &[pattern, text] : {std::pair{out, run.out}, std::pair{err, run.err}})
        QVERIFY2(pattern.isEmpty() ? text.isEmpty() : QRegularExpression(pattern).match(text).hasMatch(),
                 qPrintable(pattern + QStringLiteral("\n") + seen));

    QDir dir(m_dir.path());
    QStringList expected{QStringLiteral("demo.db")};
    if (!makes.isEmpty())
        expected << makes;
    expected.sort();
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name), expected);
    if (!makes.isEmpty())
        QVERIFY(dir.remove(makes));
}

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
