// Replays the fuzz targets' seed inputs and every input they once failed on
// through the same checks, in the ordinary build: what was fixed stays fixed.
#include "fuzzchecks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

class TestFuzzRegressions : public QObject
{
    Q_OBJECT
private slots:
    void everyTargetHasSeeds();
    void replay_data();
    void replay();
};

namespace {

QDir fuzzDir()
{
    return QDir(QStringLiteral(TORVANE_FUZZ_DIR));
}

QStringList inputsOf(const QString &folder, const QString &target)
{
    const QDir dir(fuzzDir().filePath(folder + QLatin1Char('/') + target));
    QStringList files;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        files << dir.filePath(name);
    return files;
}

} // namespace

void TestFuzzRegressions::everyTargetHasSeeds()
{
    // A moved folder must not turn the replay into a test of nothing.
    for (const QString &target : FuzzChecks::targets())
        QVERIFY2(inputsOf(QStringLiteral("corpus"), target).size() >= 10, qPrintable(target));
}

void TestFuzzRegressions::replay_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    for (const QString &folder : {QStringLiteral("regressions"), QStringLiteral("corpus")})
        for (const QString &target : FuzzChecks::targets())
            for (const QString &path : inputsOf(folder, target))
                QTest::addRow("%s/%s/%s", qPrintable(folder), qPrintable(target), qPrintable(QFileInfo(path).fileName()))
                    << target << path;
}

void TestFuzzRegressions::replay()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QString failure = FuzzChecks::check(target, file.readAll());
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
