// The command line as the administrator types it: each row runs the built
// program and checks its exit code, what it wrote to stdout and to stderr, and
// that it made no file it should not have.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class CommandLineTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QProcess made;
        made.start(QStringLiteral(TORVANE_PROGRAM), {QStringLiteral("--create-database"), m_dir.filePath(QStringLiteral("demo.db")), QStringLiteral("--demo")});
        QVERIFY(made.waitForFinished(30000) && made.exitCode() == 0);
        QVERIFY(made.readAllStandardOutput().startsWith("created demo database "));
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments"); // %DB% is the demo database, %DIR% the test folder
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out"); // patterns; empty: nothing may be written
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("makes"); // the file the run leaves in %DIR%, if any
        const QString usage = QStringLiteral("\n\nUsage: torvane \\[options\\]\n");
        QTest::newRow("version") << QStringList{"--version"} << 0 << "^torvane " + QRegularExpression::escape(TORVANE_VERSION) + "\n$" << "" << "";
        QTest::newRow("help") << QStringList{"-h"} << 0 << "^Usage: torvane \\[options\\]\n(.*\n)*  --sql " << "" << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "" << "^torvane: Unknown option 'bogus'\\." + usage << "";
        QTest::newRow("option taken as the file") << QStringList{"--create-database", "--demo"} << 2 << ""
                                                  << "^torvane: --create-database needs a FILE\\." + usage << "";
        QTest::newRow("demo alone") << QStringList{"--demo"} << 2 << "" << "^torvane: --demo goes only with" << "";
        QTest::newRow("two commands") << QStringList{"--create-database", "%DIR%/new.db", "--sql", "%DB%", "select 1"} << 2 << ""
                                      << "^torvane: --create-database and --sql do not go together" << "";
        QTest::newRow("database with a command") << QStringList{"--database", "%DB%", "--sql", "%DB%", "select 1"} << 2 << ""
                                                 << "^torvane: --database starts the windows" << "";
        QTest::newRow("stray argument") << QStringList{"%DB%"} << 2 << "" << "^torvane: Unexpected argument '.*demo.db'" << "";
        QTest::newRow("sql in the Jet dialect") << QStringList{"--sql", "%DB%", "delete * from czyrz where last_time < #2000-1-1#"} << 0
                                                << "^0 row\\(s\\) changed\n$" << "" << "";
        QTest::newRow("sql numbers read back as stored") << QStringList{"--sql", "%DB%", "select 0.1 + 0.2 a, 85.00000000000001 b, 1000000.0 c"}
                                                         << 0 << "^a\tb\tc\n0\\.30000000000000004\t85\\.00000000000001\t1000000\n$" << "" << "";
        QTest::newRow("sql on a missing file") << QStringList{"--sql", "%DIR%/absent.db", "select 1"} << 1 << "" << "^-?\\d+ \\S" << "";
        QTest::newRow("create over a database") << QStringList{"--create-database", "%DB%"} << 1 << "" << "^-?\\d+ \\S" << "";
        QTest::newRow("create") << QStringList{"--create-database", "%DIR%/new.db"} << 0 << "^created empty database .*/new\\.db\n$" << "" << "new.db";
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QString, makes);
        arguments.replaceInStrings(QStringLiteral("%DB%"), m_dir.filePath(QStringLiteral("demo.db")));
        arguments.replaceInStrings(QStringLiteral("%DIR%"), m_dir.path());
        QProcess run;
        run.setWorkingDirectory(m_dir.path());
        run.start(QStringLiteral(TORVANE_PROGRAM), arguments);
        QVERIFY(run.waitForFinished(30000) && run.exitStatus() == QProcess::NormalExit);
        const QString stdOut = QString::fromUtf8(run.readAllStandardOutput()), stdErr = QString::fromUtf8(run.readAllStandardError());
        const QString seen = QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(run.exitCode()).arg(stdOut, stdErr);
        QVERIFY2(run.exitCode() == code, qPrintable(seen));
        for (const auto &[pattern, text] : {std::pair{out, stdOut}, std::pair{err, stdErr}})
            QVERIFY2(pattern.isEmpty() ? text.isEmpty() : QRegularExpression(pattern).match(text).hasMatch(), qPrintable(pattern + '\n' + seen));
        QDir dir(m_dir.path());
        QStringList expected{QStringLiteral("demo.db"), makes};
        expected.removeAll(QString());
        QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name), expected);
        if (!makes.isEmpty())
            QVERIFY(dir.remove(makes));
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
