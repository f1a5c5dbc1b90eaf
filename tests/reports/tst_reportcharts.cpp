// The chart page of the statistics and period income reports, and the
// statistics totalled by month or over the whole period.
#include "reports/modreport.h"
#include "reports/reportchart.h"
#include "reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "reports/reportrenderer.h"
#include "store/recordset.h"
#include "support/testdatabase.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

class TestReportCharts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void topBarsAndMonths();
    void chartPageInPdf_data();
    void chartPageInPdf();
    void periodTotalsAgree_data();
    void periodTotalsAgree();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestReportCharts::initTestCase()
{
    m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{60, 600});
}

void TestReportCharts::topBarsAndMonths()
{
    // 17 airlines, the i-th selling i × 0.1 in 2025-11 and again in 2026-01; December sells nothing.
    const auto spec = ReportCharts::specFor(QStringLiteral("srhangkong"));
    QVERIFY(spec);
    const ReportChart chart = ReportCharts::compute(*spec, 34, [](int row, const QString &field) -> QVariant {
        const int airline = row % 17 + 1;
        if (field == QLatin1String("hangkong"))
            return QStringLiteral("航%1").arg(airline);
        if (field == QLatin1String("cprq"))
            return row < 17 ? QStringLiteral("2025-11-03") : QStringLiteral("2026-01-20");
        return airline * 0.1;
    });
    QCOMPARE(chart.bars.size(), ReportChart::kTopBars);
    QCOMPARE(chart.bars.first().first, QStringLiteral("航17"));
    QCOMPARE(chart.bars.first().second, 3.4);
    QCOMPARE(chart.bars.last().first, QStringLiteral("航3"));
    const QVector<QPair<QString, double>> months{{"2025-11", 15.3}, {"2025-12", 0}, {"2026-01", 15.3}};
    QCOMPARE(chart.months, months);
    QVERIFY(!ReportCharts::specFor(QStringLiteral("hyxc")));
}

void TestReportCharts::chartPageInPdf_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("bars");
    QTest::newRow("airline statistics") << "SUMhangkong" << true;
    QTest::newRow("daily income") << "SRriqi" << false;
}

void TestReportCharts::chartPageInPdf()
{
    QFETCH(QString, source);
    QFETCH(bool, bars);
    Report report;
    Recordset rows;
    if (source.startsWith(QLatin1String("SUM"))) {
        report = ModReport::statisticsFindSet(m_db->connection(), source, QString());
    } else {
        rows.open(QStringLiteral("select * from ") + source, &m_db->connection());
        report = ModReport::build(m_db->connection(), source, rows);
    }
    QVERIFY(report && report->chart());
    ReportDocument tableOnly = *report;
    tableOnly.setChart({});
    const int pages = ReportRenderer(*report).pageCount();
    QCOMPARE(pages, ReportRenderer(tableOnly).pageCount() + 1);

    // The last page holds the chart.
    const QString pdf = m_db->tempDir() + "/" + source + ".pdf";
    QVERIFY(ReportOutput::exportPdf(*report, pdf));
    const QStringList page = {"-f", QString::number(pages), "-l", QString::number(pages)};
    QProcess text;
    text.start("pdftotext", page + QStringList{pdf, "-"});
    QVERIFY(text.waitForFinished(30000));
    const QString last = QString::fromUtf8(text.readAllStandardOutput());
    QCOMPARE(last.contains(QStringLiteral("销售额前15名")), bars);
    QVERIFY(last.contains(QStringLiteral("月度销售额")));
}

void TestReportCharts::periodTotalsAgree_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("period");
    QTest::addColumn<QString>("label");
    QTest::newRow("airlines by month") << "SUMhangkong" << int(PeriodTotals::Period::Month) << "^\\d{4}-\\d{2}$";
    QTest::newRow("routes, whole period") << "SUMdaoda" << int(PeriodTotals::Period::Whole)
                                          << "^\\d{4}-\\d{2}-\\d{2} 至 \\d{4}-\\d{2}-\\d{2}$";
}

void TestReportCharts::periodTotalsAgree()
{
    QFETCH(QString, source);
    QFETCH(int, period);
    QFETCH(QString, label);
    const QString condition = QStringLiteral("cprq>=#2024-01-01#");
    const Report daily = ModReport::statisticsFindSet(m_db->connection(), source, condition);
    const Report grouped = ModReport::statisticsFindSet(m_db->connection(), source, condition,
                                                        static_cast<PeriodTotals::Period>(period));
    QVERIFY(daily && grouped);
    QVERIFY(grouped->rowCount() < daily->rowCount());

    // Per group (every column but the date and the sums), in cents, both ways.
    auto totals = [](const ReportDocument &doc, const QRegularExpression &dateShape) {
        QMap<QString, QVector<qint64>> byGroup;
        for (int r = 0; r < doc.rowCount(); ++r) {
            QString key;
            QVector<qint64> sums;
            for (int b = 0; b < doc.boxCount(); ++b) {
                const QVariant v = doc.value(r, b);
                if (v.typeId() == QMetaType::Double)
                    sums << qRound64(v.toDouble() * 100);
                else if (!dateShape.match(v.toString()).hasMatch())
                    key += v.toString() + "|";
            }
            QVector<qint64> &into = byGroup[key];
            into.resize(sums.size());
            for (int i = 0; i < sums.size(); ++i)
                into[i] += sums.at(i);
        }
        return byGroup;
    };
    const QRegularExpression groupLabel(label);
    for (int r = 0; r < grouped->rowCount(); ++r) {
        bool labelled = false;
        for (int b = 0; b < grouped->boxCount(); ++b)
            labelled = labelled || groupLabel.match(grouped->value(r, b).toString()).hasMatch();
        QVERIFY2(labelled, qPrintable(QString::number(r)));
    }
    const auto fromDays = totals(*daily, QRegularExpression("^\\d{4}-\\d{2}-\\d{2}$"));
    const auto fromGroups = totals(*grouped, groupLabel);
    QCOMPARE(fromGroups, fromDays);
    if (period == int(PeriodTotals::Period::Whole))
        QCOMPARE(grouped->rowCount(), fromGroups.size());
    for (const char *sum : {"function1", "function2", "function3"})
        QCOMPARE(grouped->sumText(sum), daily->sumText(sum));
}

QTEST_MAIN(TestReportCharts)
#include "tst_reportcharts.moc"
