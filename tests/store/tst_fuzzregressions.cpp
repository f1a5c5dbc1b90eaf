// Replays the fuzz targets' seed inputs and every input they once failed on
// through the same checks, in the ordinary build: what was fixed stays fixed.
#include "fuzzchecks.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestFuzzRegressions : public QObject
{
    Q_OBJECT
private slots:
    void replay_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("path");
        for (const QString &target : FuzzChecks::targets()) {
            const QDir corpus(QStringLiteral(TORVANE_FUZZ_DIR "/corpus/") + target);
            // A moved folder must not turn the replay into a test of nothing.
            QVERIFY2(corpus.entryList(QDir::Files).size() >= 10, qPrintable(target));
            for (const QDir &dir : {corpus, QDir(QStringLiteral(TORVANE_FUZZ_DIR "/regressions/") + target)})
                for (const QFileInfo &file : dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
                    QTest::addRow("%s/%s", qPrintable(dir.path().section(QLatin1Char('/'), -2)), qPrintable(file.fileName())) << target << file.filePath();
        }
    }
    void replay()
    {
        QFETCH(QString, target);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QString failure = FuzzChecks::check(target, file.readAll());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
