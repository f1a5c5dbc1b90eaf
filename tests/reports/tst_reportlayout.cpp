// What the report builders lay out beyond one plain listing (the title over a
// wide report, the slot limit, slots left from a wider report, the statistics
// totals, the itinerary's name line and totals), and the reports on paper: a
// long report page by page, the pages and paper the print dialog chose, what
// is no report, and a preview outliving its window. The chart page of the
// statistics and period income reports, and the statistics by month or period.
#include "reports/modreport.h"
#include "reports/reportchart.h"
#include "reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "reports/reportrenderer.h"
#include "reports/reporttemplate.h"
#include "store/recordset.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/shownreport.h"

#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

PrintColumn column(const QString &code, int width, const QString &type = QStringLiteral("CHAR"),
                   const QString &sumTag = QStringLiteral("0"), const QString &align = QStringLiteral("C"))
{
    return PrintColumn{QStringLiteral("tjtest"), QStringLiteral("测试统计"), code, QStringLiteral("列") + code,
                       type, width, sumTag, align};
}

QVector<PrintColumn> columns(int n, int width, const QString &sumTag = QStringLiteral("0"))
{
    QVector<PrintColumn> out;
    for (int j = 1; j <= n; ++j)
        out << column(QStringLiteral("c%1").arg(j), width, QStringLiteral("CHAR"), sumTag);
    return out;
}

// Control `name` ("text%1" numbered j) of a template, or as a built report holds it (hidden: not there).
ReportControl ctl(const ReportTemplate &t, const char *name, int j = -1)
{
    const ReportControl *c = t.control(j < 0 ? QString::fromLatin1(name) : QString::fromLatin1(name).arg(j));
    if (!c)
        qFatal("the template has no control %s", name);
    return *c;
}

ReportControl ctl(const ReportDocument &doc, const char *name)
{
    for (int s = 1; s <= 5; ++s)
        for (const ReportControl &c : doc.section(s))
            if (c.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return c;
    return {};
}

// The standard output of a poppler tool run on `pdf`.
QString poppler(const QString &tool, QStringList arguments, const QString &pdf)
{
    QProcess p;
    p.start(tool, arguments << pdf << QStringLiteral("-"));
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qFatal("%s failed on %s", qPrintable(tool), qPrintable(pdf));
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

class TestReportLayout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{80, 600}); }
    void cleanup() { closeShownReports(); }
    void titleAndSlots_data();
    void titleAndSlots();
    void narrowerReportHidesExtraSlots();
    void statisticsStyle();
    void archiveItinerary();
    void generate();
    void longReportRepeatsHeader();
    void printHonoursTheChosenPagesAndPaper();
    void noReport();
    void previewOutlivesItsWindow();
    void topBarsAndMonths();
    void chartPageInPdf_data();
    void chartPageInPdf();
    void periodTotalsAgree_data();
    void periodTotalsAgree();

private:
    Report customers() { return ModReport::archiveFindSet(m_db->connection(), QStringLiteral("hyda"), QString(), QString()); }
    std::unique_ptr<TestDatabase> m_db;
};

void TestReportLayout::titleAndSlots_data()
{
    // The title centres over (columns + 1) x 1060 twips once that passes its own 8595; 30 slots at most.
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("left");
    QTest::addColumn<int>("laidOut");
    QTest::newRow("seven columns, still narrower") << 7 << 0.0 << 7;
    QTest::newRow("eight columns") << 8 << 472.5 << 8;
    QTest::newRow("thirty") << 30 << 12132.5 << 30;
    QTest::newRow("thirty-one count as thirty") << 31 << 12132.5 << 30;
}

void TestReportLayout::titleAndSlots()
{
    QFETCH(int, count);
    QFETCH(double, left);
    QFETCH(int, laidOut);
    ReportTemplate t;
    QCOMPARE(ModReport::layout(t, columns(count, 3), ModReport::genericStyle()), laidOut);
    QCOMPARE(ctl(t, "labbt").left, left);
    for (int j = 1; j <= 30; ++j) {
        for (const char *name : {"label%1", "text%1"})
            QCOMPARE(ctl(t, name, j).visible, j <= laidOut);
        QCOMPARE(ctl(t, "line%1", j + 35).visible, j <= laidOut);
    }
    QCOMPARE(ctl(t, "text%1", laidOut).dataField, QStringLiteral("c%1").arg(laidOut));
    QCOMPARE(ctl(t, "line1").width, laidOut * 540.0);
}

void TestReportLayout::narrowerReportHidesExtraSlots()
{
    ReportTemplate t;
    ModReport::layout(t, columns(6, 4, QStringLiteral("1")), ModReport::genericStyle());
    QVERIFY(ctl(t, "function6").visible);
    QVector<PrintColumn> narrow = columns(2, 10);
    narrow[0].sumTag = QStringLiteral("1");
    QCOMPARE(ModReport::layout(t, narrow, ModReport::genericStyle()), 2);
    for (int j = 3; j <= 6; ++j)
        for (const char *name : {"label%1", "text%1", "function%1", "line%1"})
            QVERIFY2(!ctl(t, name, name[0] == 'l' && name[1] == 'i' ? j + 35 : j).visible, name);
    QVERIFY(ctl(t, "function1").visible);
    QVERIFY(!ctl(t, "function2").visible);
    QCOMPARE(ctl(t, "line2").width, 3600.0);
}

void TestReportLayout::statisticsStyle()
{
    // The totals belong to the three amount columns wherever they stand and whatever SUM_TAG says; nothing formats.
    const QVector<PrintColumn> cols = {
        column(QStringLiteral("hangkong"), 6, QStringLiteral("CHAR"), "1", QStringLiteral("L")),
        column(QStringLiteral("AMOUNT3OFSUM"), 10, QStringLiteral("MON"), "0", QStringLiteral("R")),
        column(QStringLiteral("amount1ofsum"), 8, QStringLiteral("NUME"), "0", QStringLiteral("L")),
        column(QStringLiteral("AMOUNT2OFSUM"), 9, QStringLiteral("BFL"), "1", QStringLiteral("R")),
    };
    ReportTemplate t;
    ModReport::layout(t, cols, ModReport::statisticsStyle());
    QCOMPARE(ctl(t, "labbt").caption, QStringLiteral("测试统计报告 "));
    QVERIFY(!ctl(t, "labname").visible);
    for (int j = 1; j <= cols.size(); ++j) {
        QCOMPARE(ctl(t, "text%1", j).alignment, int(ReportControl::AlignCenter));
        QCOMPARE(ctl(t, "text%1", j).format, QString());
    }
    const QStringList sums = {QStringLiteral("amount1ofsum"), QStringLiteral("AMOUNT2OFSUM"), QStringLiteral("AMOUNT3OFSUM")};
    const double lefts[] = {2880, 4320, 1080};
    for (int k = 1; k <= 3; ++k) {
        QCOMPARE(ctl(t, "function%1", k).dataField, sums.at(k - 1));
        QCOMPARE(ctl(t, "function%1", k).left, lefts[k - 1]);
    }
    QVERIFY(!ctl(t, "function4").visible);
}

void TestReportLayout::archiveItinerary()
{
    const QString kh = m_db->scalar(QStringLiteral("select kh from hyxc order by id limit 1")).toString();
    const QString rows = QStringLiteral("hyxc where kh='") + kh + QLatin1Char('\'');
    const Report doc = ModReport::archiveFindSet(m_db->connection(), QStringLiteral("hyxc"),
                                                 QStringLiteral("kh='") + kh + QLatin1Char('\''), QStringLiteral("郭明"));
    QCOMPARE(ctl(*doc, "labname").caption, QStringLiteral("姓名： 郭明"));
    QCOMPARE(ctl(*doc, "labbt").caption, QStringLiteral("会员行程报告 "));
    QCOMPARE(doc->rowCount(), m_db->count(rows));
    QCOMPARE(doc->sumText(QStringLiteral("function1")), expectedTotal(*m_db, QStringLiteral("jifen"), rows));
    QCOMPARE(doc->sumText(QStringLiteral("function2")), expectedTotal(*m_db, QStringLiteral("jifenyue"), rows));
    QVERIFY(!ctl(*doc, "function3").visible);
    // The customer list names nobody.
    const Report list = ModReport::archiveFindSet(m_db->connection(), QStringLiteral("hyda"), QString(), QStringLiteral("郭明"));
    QVERIFY(!ctl(*list, "labname").visible);
}

void TestReportLayout::generate()
{
    FakeDialogs dialogs;
    MessageLog messages;
    Recordset data;
    data.open(QStringLiteral("select * from hyda order by kh"), &m_db->connection());
    QVERIFY(ModReport::generate(m_db->connection(), QStringLiteral("hyda"), data, QStringLiteral("v"), nullptr,
                                QStringLiteral("二〇〇三年十月")));
    QCOMPARE(dialogs.printAsked, 0);
    const auto doc = shownReport();
    QCOMPARE(ctl(*doc, "labname").caption, QStringLiteral("二〇〇三年十月"));
    QCOMPARE(doc->cell(0, 0), data.valueAt(0, data.fieldIndex(QStringLiteral("kh"))).toString());
    QVERIFY(!openPreviews().first()->isModal());
    // Printing goes through the print dialog; cancelled there, nothing was printed.
    QVERIFY(!ModReport::generate(m_db->connection(), QStringLiteral("hyda"), data, QStringLiteral("P")));
    QCOMPARE(dialogs.printAsked, 1);
    // A source without print rows is named to the operator; no data is no report, silently.
    QVERIFY(!ModReport::generate(m_db->connection(), QStringLiteral("nosuchsource"), data, QStringLiteral("V")));
    QCOMPARE(messages.count(), 1);
    QVERIFY(messages.text().contains(QStringLiteral("nosuchsource")));
    Recordset empty;
    empty.open(QStringLiteral("select * from hyda where 1=0"), &m_db->connection());
    QVERIFY(!ModReport::generate(m_db->connection(), QStringLiteral("hyda"), empty, QStringLiteral("V")));
    QCOMPARE(messages.count(), 1);
    QCOMPARE(openPreviews().size(), 1);
}

void TestReportLayout::longReportRepeatsHeader()
{
    const Report report = customers();
    const QString path = m_db->tempDir() + QStringLiteral("/hyda.pdf");
    QVERIFY(ReportOutput::exportPdf(*report, path));
    QStringList pages = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout")}, path).split(u'\f');
    pages.removeLast(); // after the last page's form feed
    QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
    QCOMPARE(pages.size(), ReportRenderer(*report).pageCount());
    for (int i = 0; i < pages.size(); ++i) {
        const QString &page = pages.at(i);
        QVERIFY2(page.count(QStringLiteral("客户档案报告")) == 1 && page.count(QStringLiteral("工作单位")) == 1,
                 qPrintable(page));
        // "第 N 页 共 M 页"; pdftotext may drop the narrow blanks between the characters.
        QVERIFY(page.contains(QRegularExpression(QStringLiteral("第\\s*%1\\s*页\\s*共\\s*%2\\s*页").arg(i + 1).arg(pages.size()))));
        // The totals come once, after the last row.
        QCOMPARE(page.contains(QRegularExpression(QStringLiteral("合\\s*计"))), i == pages.size() - 1);
    }
    // Every customer once, none lost or repeated at a page break.
    const QString text = pages.join(u'\n');
    Recordset cards;
    cards.open(QStringLiteral("select kh from hyda"), &m_db->connection());
    QCOMPARE(cards.recordCount(), 80);
    for (int r = 0; r < cards.recordCount(); ++r)
        QVERIFY2(text.count(cards.valueAt(r, 0).toString()) == 1, qPrintable(cards.valueAt(r, 0).toString()));
}

void TestReportLayout::printHonoursTheChosenPagesAndPaper()
{
    const QString path = m_db->tempDir() + QStringLiteral("/page2.pdf");
    // The operator picks page 2 only, on landscape Letter paper.
    FakeDialogs dialogs;
    dialogs.printTo = path;
    dialogs.onPrint = [](QPrinter *printer) {
        printer->setPrintRange(QPrinter::PageRange);
        printer->setFromTo(2, 2);
        printer->setPageSize(QPageSize(QPageSize::Letter));
        printer->setPageOrientation(QPageLayout::Landscape);
    };
    QVERIFY(ReportOutput::print(*customers(), nullptr));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    QVERIFY(info.waitForFinished(20000));
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    // Letter, turned: 792 x 612 points.
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n(.*\\n)*Page size:\\s+792 x 612"))), qPrintable(text));
}

void TestReportLayout::noReport()
{
    // No rows: no report. A source without print rows, or a failing statement, is a failure, never an empty report.
    QVERIFY(!ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("SUMhangkong"),
                                          QStringLiteral("hangkong='无此航空'")));
    QVERIFY_THROWS_EXCEPTION(ReportProblem,
                             ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("nosuchsource"), QString()));
    QVERIFY_THROWS_EXCEPTION(DbException, ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("SUMhangkong"),
                                                                       QStringLiteral("nosuchcolumn='x'")));
}

void TestReportLayout::previewOutlivesItsWindow()
{
    auto *asking = new QWidget;
    QPointer<QWidget> preview(ReportOutput::preview(customers(), asking));
    delete asking;
    QVERIFY(preview && preview->isVisible());
    preview->close();
}

void TestReportLayout::topBarsAndMonths()
{
    // 17 airlines, the i-th selling i × 0.1 in 2025-11 and again in 2026-01; December sells nothing.
    const auto plan = ReportCharts::planFor(QStringLiteral("srhangkong"));
    QVERIFY(plan);
    const ReportChart chart = ReportCharts::compute(*plan, 34, [](int row, const QString &field) -> QVariant {
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
    QVERIFY(!ReportCharts::planFor(QStringLiteral("hyxc")));
}

void TestReportLayout::chartPageInPdf_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("bars");
    QTest::newRow("airline statistics") << "SUMhangkong" << true;
    QTest::newRow("daily income") << "SRriqi" << false;
}

void TestReportLayout::chartPageInPdf()
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
    const QString last = poppler(QStringLiteral("pdftotext"), {"-f", QString::number(pages), "-l", QString::number(pages)}, pdf);
    QCOMPARE(last.contains(QStringLiteral("销售额前15名")), bars);
    QVERIFY(last.contains(QStringLiteral("月度销售额")));
}

void TestReportLayout::periodTotalsAgree_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("period");
    QTest::addColumn<QString>("label");
    QTest::newRow("airlines by month") << "SUMhangkong" << int(PeriodTotals::Period::Month) << "^\\d{4}-\\d{2}$";
    QTest::newRow("routes, whole period") << "SUMdaoda" << int(PeriodTotals::Period::Whole)
                                          << "^\\d{4}-\\d{2}-\\d{2} 至 \\d{4}-\\d{2}-\\d{2}$";
}

void TestReportLayout::periodTotalsAgree()
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

QTEST_MAIN(TestReportLayout)
#include "tst_reportlayout.moc"
