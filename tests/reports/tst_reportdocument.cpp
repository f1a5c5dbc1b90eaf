// A laid-out, bound report as plain text, compared with the listing kept here.
#include "reports/modreport.h"
#include "domain/reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "domain/reports/reportrenderer.h"
#include "domain/reports/reporttemplate.h"
#include "store/fielddictionary.h"
#include "store/recordset.h"
#include "support/testdatabase.h"

#include <QTest>

namespace {

// Four shown columns of a small source: text on the left, a count and an
// amount on the right with totals, a rate in the middle; the note is not printed.
const char *const kSource = R"(
CREATE TABLE tjtest (mc TEXT, sl INTEGER, je REAL, bl REAL, bz TEXT);
INSERT INTO tjtest VALUES ('北京', 3, 1200.5, 0.125, '甲'), ('上海', 2, 800, 0.5, '乙'), ('广州', NULL, 99.99, 0.0333, '丙');
INSERT INTO pr_codedict (xh, table_code, table_name, colm_code, colm_name, colm_type, colm_cd, sum_tag, colm_dq, can_show, memo) VALUES
(3, 'tjtest', '测试统计', 'je', '金额', 'MON', 8, '1', 'R', '1', ''),
(1, 'tjtest', '测试统计', 'mc', '城市', 'TXT', 6, '0', 'L', '1', ''),
(5, 'tjtest', '测试统计', 'bz', '备注', 'TXT', 10, '1', 'L', '0', ''),
(2, 'tjtest', '测试统计', 'sl', '张数', 'NUME', 4, '1', 'R', '1', ''),
(4, 'tjtest', '测试统计', 'bl', '比率', 'bfl', 6, '0', 'C', '1', '');
)";

// Widths are colm_cd x 180; L and R boxes move 50 twips in and lose 50 in width;
// the date label stands over the last column; MON totals take the column's format.
const char *const kExpected = R"([2] labbt left=0 width=8595 "测试统计"
[2] labname left=45 width=8535 "二〇〇三年十月"
[2] label200 left=3240 width=1440 "2003-10-01"
[2] label1 left=0 width=1080 "城市"
[2] label2 left=1080 width=720 "张数"
[2] label3 left=1800 width=1440 "金额"
[2] label4 left=3240 width=1080 "比率"
[3] text1 left=50 width=1030 field=mc
[3] text2 left=1030 width=670 field=sl
[3] text3 left=1750 width=1390 field=je
[3] text4 left=3240 width=1080 field=bl
[5] label_total left=60 width=900 "合  计"
[5] function2 left=1080 width=720 sum=5
[5] function3 left=1800 width=1440 sum=2100.49
北京|3|1200.50|12.50%
上海|2|800.00|50.00%
广州||99.99|3.33%
)";

// The source above in a fresh database, laid out by the generic style.
struct Source
{
    Source(const QString &subtitle = QString())
    {
        db.connection().executeScript(QString::fromUtf8(kSource));
        shown = ModReport::layout(report, FieldDictionary::printColumns(db.connection(), QStringLiteral("tjtest")),
                                  ModReport::genericStyle(subtitle));
    }
    Report build(const QDate &day = QDate::currentDate())
    {
        Recordset data;
        data.open(QStringLiteral("select * from tjtest order by rowid"), &db.connection());
        return ReportDocument::build(report, data, day);
    }
    TestDatabase db;
    ReportTemplate report;
    int shown = 0;
};

} // namespace

class TestReportDocument : public QObject
{
    Q_OBJECT
private slots:
    void dumpMatchesListing()
    {
        Source s(QStringLiteral("二〇〇三年十月"));
        QCOMPARE(s.shown, 4);
        QCOMPARE(s.build(QDate(2003, 10, 1))->dump(), QString::fromUtf8(kExpected));
    }

    void totalsKeepToTheLastPage_data()
    {
        // Rows counted from the page: those that leave room for the totals under
        // them, those that fill the page, and one more of each.
        QTest::addColumn<int>("extra");
        QTest::addColumn<bool>("toFull"); // counted from a full page, else from the rows the totals still fit under
        QTest::addColumn<int>("pages");
        QTest::newRow("totals just fit") << 0 << false << 1;
        QTest::newRow("one row more: totals on a page of their own") << 1 << false << 2;
        QTest::newRow("page just full") << 0 << true << 2;
        QTest::newRow("a row on the next page, the totals under it") << 1 << true << 2;
    }

    void totalsKeepToTheLastPage()
    {
        QFETCH(int, extra);
        QFETCH(bool, toFull);
        QFETCH(int, pages);
        Source s;
        const auto rowsOf = [&s](int n) {
            s.db.connection().execute(QStringLiteral("delete from tjtest"));
            for (int i = 0; i < n; ++i)
                s.db.connection().execute(QStringLiteral("insert into tjtest values ('北京', 1, 10, 0.5, '')"));
            return s.build();
        };
        const auto one = rowsOf(1);
        const ReportRenderer first(*one);
        const double body = first.pageLayout().paintRect(QPageLayout::Inch).height() * 1440.0 - one->sectionHeight(2)
                            - one->sectionHeight(4);
        const int full = first.rowsPerPage();
        const int fit = static_cast<int>((body - one->sectionHeight(5)) / one->sectionHeight(3));
        QVERIFY(fit > 1 && fit < full && full * one->sectionHeight(3) <= body);
        QCOMPARE(ReportRenderer(*rowsOf((toFull ? full : fit) + extra)).pageCount(), pages);
    }

    void longReportGrows_data()
    {
        QTest::addColumn<int>("finish");
        QTest::newRow("read while idle") << 0;
        QTest::newRow("the window's connection closes") << 1;
        QTest::newRow("exported to PDF at once") << 2;
        QTest::newRow("a row further on fails") << 3;
    }

    void longReportGrows()
    {
        QFETCH(int, finish);
        TestDatabase db;
        db.connection().executeScript(QStringLiteral(
            "INSERT INTO SUMhangkong (hangkong, cprq, neivai, ZSOFSUM, AMOUNT2OFSUM, AMOUNT3OFSUM, tickets) "
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
            "SELECT 'CA', date('2020-01-01', '+' || i || ' days'), 'N', 1, 2.5, 1, 1 FROM n;"));
        Connection own;
        own.openLocation(db.path());
        // The failing row's condition overflows once its dates pass 2022.
        const QString condition = finish == 3 ? "cprq < '2022-01-01' or abs(-9223372036854775808) > 0" : "";
        const Report report = ModReport::statisticsFindSet(own, QStringLiteral("SUMhangkong"), condition);
        QVERIFY(report && !report->isComplete());
        const ReportRenderer first(*report);
        QCOMPARE(first.pageCount(), (report->rowsRead() + first.rowsPerPage() - 1) / first.rowsPerPage());
        const QString pdf = db.tempDir() + QStringLiteral("/long.pdf");
        int pdfPages = 0;
        if (finish == 3) {
            // Rows cut short are never printed as if they were all.
            QTRY_VERIFY(report->isComplete());
            QVERIFY(!report->readError().isEmpty());
            QString error;
            QVERIFY(!ReportOutput::exportPdf(*report, pdf, &error));
            QVERIFY2(error.contains(report->readError()), qPrintable(error));
            QVERIFY(!QFile::exists(pdf));
            return;
        }
        if (finish == 0) {
            QTRY_VERIFY(report->isComplete());
        } else if (finish == 1) {
            own.close();
        } else {
            QVERIFY(ReportOutput::exportPdf(*report, pdf));
            QFile file(pdf);
            QVERIFY(file.open(QIODevice::ReadOnly));
            pdfPages = static_cast<int>(file.readAll().count("/Type /Page\n"));
        }
        QVERIFY(report->isComplete());
        QCOMPARE(report->rowCount(), 1200);
        QCOMPARE(report->sumText(QStringLiteral("function2")), QStringLiteral("3000.00"));
        // Every row's page, then the chart's.
        const ReportRenderer whole(*report);
        QVERIFY(whole.pageCount() > (1200 + whole.rowsPerPage() - 1) / whole.rowsPerPage());
        if (finish == 2)
            QCOMPARE(pdfPages, whole.pageCount());
    }
};

// A long report is shown from its first rows; the rest, the totals and the
// chart come however the reading ends.
QTEST_MAIN(TestReportDocument)
#include "tst_reportdocument.moc"
