// What the report builders lay out beyond one plain listing (the slot limit,
// slots left from a wider report, the itinerary's name line and totals), and
// the reports on paper: a long report page by page, what is no report, the
// statistics by month or period.
#include "reports/modreport.h"
#include "domain/reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "domain/reports/reportrenderer.h"
#include "domain/reports/reporttemplate.h"
#include "store/recordset.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/shownreport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

PrintColumn column(const QString &code, int width, const QString &sumTag)
{
    return PrintColumn{"tjtest", "测试统计", code, "列" + code, "CHAR", width, sumTag, "C"};
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

// Cents per group and amount column; a group is every text column but the date.
QMap<QString, qint64> groupTotals(const ReportDocument &doc, const QRegularExpression &date)
{
    QMap<QString, qint64> totals;
    for (int r = 0; r < doc.rowCount(); ++r) {
        QString key;
        QList<int> amounts;
        for (int b = 0; b < doc.boxCount(); ++b) {
            const QVariant v = doc.value(r, b);
            if (v.typeId() == QMetaType::Double)
                amounts << b;
            else if (!date.match(v.toString()).hasMatch())
                key += v.toString() + u'|';
        }
        for (int b : amounts)
            totals[key + QString::number(b)] += qRound64(doc.value(r, b).toDouble() * 100);
    }
    return totals;
}
} // namespace

class TestReportLayout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{80, 600}); }
    void cleanup() { closeShownReports(); }
    void slotLimit_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("laidOut");
        QTest::newRow("two") << 2 << 2;
        QTest::newRow("thirty") << 30 << 30;
        QTest::newRow("thirty-one count as thirty") << 31 << 30;
    }

    void slotLimit()
    {
        // Laid out over a wider report with totals everywhere: its extra slots go.
        QFETCH(int, count);
        QFETCH(int, laidOut);
        QVector<PrintColumn> wide, cols;
        for (int j = 1; j <= 31; ++j) {
            wide << column(QString("w%1").arg(j), 4, "1");
            if (j <= count)
                cols << column(QString("c%1").arg(j), 3, j == 1 ? "1" : "0");
        }
        ReportTemplate t;
        ModReport::layout(t, wide, ModReport::genericStyle());
        QCOMPARE(ModReport::layout(t, cols, ModReport::genericStyle()), laidOut);
        for (int j = 1; j <= 30; ++j) {
            for (const char *name : {"label%1", "text%1"})
                QCOMPARE(ctl(t, name, j).visible, j <= laidOut);
            QCOMPARE(ctl(t, "line%1", j + 35).visible, j <= laidOut);
            QCOMPARE(ctl(t, "function%1", j).visible, j == 1);
        }
        QCOMPARE(ctl(t, "text%1", laidOut).dataField, QString("c%1").arg(laidOut));
    }

    void archiveItinerary()
    {
        const QString where = "kh='" + m_db->scalar("select kh from hyxc order by id limit 1").toString() + "'";
        const Report doc = ModReport::archiveFindSet(c(), "hyxc", where, "郭明");
        QCOMPARE(ctl(*doc, "labname").caption, "姓名： 郭明");
        QCOMPARE(doc->rowCount(), m_db->count("hyxc where " + where));
        QCOMPARE(doc->sumText("function1"), expectedTotal(*m_db, "jifen", "hyxc where " + where));
        QCOMPARE(doc->sumText("function2"), expectedTotal(*m_db, "jifenyue", "hyxc where " + where));
        QVERIFY(!ctl(*doc, "function3").visible);
    }

    void generate()
    {
        FakeDialogs dialogs;
        MessageLog messages;
        Recordset data;
        data.open("select * from hyda order by kh", &c());
        QVERIFY(ModReport::generate(c(), "hyda", data, "v", nullptr, "二〇〇三年十月"));
        QCOMPARE(dialogs.printAsked, 0);
        QCOMPARE(ctl(*shownReport(), "labname").caption, "二〇〇三年十月");
        QCOMPARE(shownReport()->cell(0, 0), data.valueAt(0, data.fieldIndex("kh")).toString());
        QVERIFY(!openPreviews().first()->isModal());
        // Printing goes through the print dialog; cancelled there, nothing was printed.
        QVERIFY(!ModReport::generate(c(), "hyda", data, "P"));
        QCOMPARE(dialogs.printAsked, 1);
        // A source without print rows is named to the operator.
        QVERIFY(!ModReport::generate(c(), "nosuchsource", data, "V"));
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.text().contains("nosuchsource"));
        QCOMPARE(openPreviews().size(), 1);
    }

    void longReportRepeatsHeader()
    {
        // Texts set glyph by glyph and texts that need shaping or another font, side by side.
        const QStringList names{"O'Brien Ωmega", "한국 고객", "AV To Wa"};
        Recordset first;
        first.open("select kh from hyda order by kh", &c());
        for (int i = 0; i < names.size(); ++i)
            c().execute("update hyda set xm = ? where kh = ?", {names.at(i), first.valueAt(i, 0)});
        const Report report = ModReport::archiveFindSet(c(), "hyda", QString(), QString());
        const QString path = m_db->tempDir() + "/hyda.pdf";
        QVERIFY(ReportOutput::exportPdf(*report, path));
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-layout", path, "-"});
        QVERIFY(pdftotext.waitForFinished(30000) && pdftotext.exitCode() == 0);
        QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(u'\f');
        pages.removeLast(); // after the last page's form feed
        QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
        QCOMPARE(pages.size(), ReportRenderer(*report).pageCount());
        for (int i = 0; i < pages.size(); ++i) {
            const QString &page = pages.at(i);
            QVERIFY2(page.count("客户档案报告") == 1 && page.count("工作单位") == 1, qPrintable(page));
            // "第 N 页 共 M 页"; pdftotext may drop the narrow blanks between the characters.
            QVERIFY(page.contains(QRegularExpression(QString("第\\s*%1\\s*页\\s*共\\s*%2\\s*页").arg(i + 1).arg(pages.size()))));
            // The totals come once, after the last row.
            QCOMPARE(page.contains(QRegularExpression("合\\s*计")), i == pages.size() - 1);
        }
        // Every customer once, none lost or repeated at a page break.
        const QString text = pages.join(u'\n');
        Recordset cards;
        cards.open("select kh from hyda", &c());
        QCOMPARE(cards.recordCount(), 80);
        for (int r = 0; r < cards.recordCount(); ++r)
            QVERIFY2(text.count(cards.valueAt(r, 0).toString()) == 1, qPrintable(cards.valueAt(r, 0).toString()));
        for (const QString &name : names)
            QVERIFY2(text.contains(name), qPrintable(name));
    }

    void noReport()
    {
        // No rows: no report. A source without print rows, or a failing statement, is a failure, never an empty report.
        QVERIFY(!ModReport::statisticsFindSet(c(), "SUMhangkong", "hangkong='无此航空'"));
        QVERIFY_THROWS_EXCEPTION(ReportProblem, ModReport::statisticsFindSet(c(), "nosuchsource", QString()));
        QVERIFY_THROWS_EXCEPTION(DbException, ModReport::statisticsFindSet(c(), "SUMhangkong", "nosuchcolumn='x'"));
    }

    void periodTotalsAgree_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("period");
        QTest::addColumn<QString>("label");
        QTest::newRow("airlines by month") << "SUMhangkong" << int(PeriodTotals::Period::Month) << "^\\d{4}-\\d{2}$";
        QTest::newRow("routes, whole period") << "SUMdaoda" << int(PeriodTotals::Period::Whole)
                                              << "^\\d{4}-\\d{2}-\\d{2} 至 \\d{4}-\\d{2}-\\d{2}$";
    }

    void periodTotalsAgree()
    {
        // Per group, in cents, the grouped rows add up to the daily ones; a row without its period label is a group of its own.
        QFETCH(QString, source);
        QFETCH(int, period);
        QFETCH(QString, label);
        const Report daily = ModReport::statisticsFindSet(c(), source, "cprq>=#2024-01-01#");
        const Report grouped = ModReport::statisticsFindSet(c(), source, "cprq>=#2024-01-01#", PeriodTotals::Period(period));
        QVERIFY(grouped->rowCount() < daily->rowCount());
        QCOMPARE(groupTotals(*grouped, QRegularExpression(label)), groupTotals(*daily, QRegularExpression("^\\d{4}-\\d{2}-\\d{2}$")));
        for (const char *sum : {"function1", "function2", "function3"})
            QCOMPARE(grouped->sumText(sum), daily->sumText(sum));
    }

private:
    Connection &c() { return m_db->connection(); }
    std::unique_ptr<TestDatabase> m_db;
};

QTEST_MAIN(TestReportLayout)
#include "tst_reportlayout.moc"
