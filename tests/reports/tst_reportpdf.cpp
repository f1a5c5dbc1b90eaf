// Bound reports on paper: a long report page by page, the pages and paper the
// print dialog chose, what is no report, and a preview outliving its window.
#include "reports/modreport.h"
#include "reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "reports/reportrenderer.h"
#include "store/recordset.h"
#include "support/fakedialogs.h"
#include "support/testdatabase.h"

#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {
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

class TestReportPdf : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{80, 300}); }
    void longReportRepeatsHeader();
    void printHonoursTheChosenPagesAndPaper();
    void noReport();
    void previewOutlivesItsWindow();

private:
    Report customers() { return ModReport::archiveFindSet(m_db->connection(), QStringLiteral("hyda"), QString(), QString()); }
    std::unique_ptr<TestDatabase> m_db;
};

void TestReportPdf::longReportRepeatsHeader()
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

void TestReportPdf::printHonoursTheChosenPagesAndPaper()
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

void TestReportPdf::noReport()
{
    // No rows: no report. A source without print rows, or a failing statement, is a failure, never an empty report.
    QVERIFY(!ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("SUMhangkong"),
                                          QStringLiteral("hangkong='无此航空'")));
    QVERIFY_THROWS_EXCEPTION(ReportProblem,
                             ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("nosuchsource"), QString()));
    QVERIFY_THROWS_EXCEPTION(DbException, ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("SUMhangkong"),
                                                                       QStringLiteral("nosuchcolumn='x'")));
}

void TestReportPdf::previewOutlivesItsWindow()
{
    auto *asking = new QWidget;
    QPointer<QWidget> preview(ReportOutput::preview(customers(), asking));
    delete asking;
    QVERIFY(preview && preview->isVisible());
    preview->close();
}

QTEST_MAIN(TestReportPdf)
#include "tst_reportpdf.moc"
