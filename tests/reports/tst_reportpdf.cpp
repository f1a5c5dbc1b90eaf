// Bound reports written as PDF and read back with pdftotext: titles, column
// captions, rows, totals and page numbers, page by page.
#include "reports/modreport.h"
#include "reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "reports/reportrenderer.h"
#include "reports/reporttemplate.h"
#include "support/fakedialogs.h"
#include "support/shownreport.h"
#include "store/recordset.h"
#include "ui/dialogs.h"
#include "support/testdatabase.h"

#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {
// "第 N 页 共 M 页"; pdftotext may drop the narrow blanks between the characters.
QRegularExpression pageFooter(int page, int pages)
{
    return QRegularExpression(QStringLiteral("第\\s*%1\\s*页\\s*共\\s*%2\\s*页").arg(page).arg(pages));
}
} // namespace

class TestReportPdf : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void airlineStatistics();
    void longReportRepeatsHeader();
    void codeList();
    void emptyResultBindsNothing();
    void errorThenGoodRun();
    void printHonoursTheChosenPagesAndPaper();
    void previewOutlivesItsWindow();

private:
    // The text of each page of the last report built, or an empty list on failure.
    QStringList renderedPages(const QString &name);

    std::unique_ptr<TestDatabase> m_db;
    Report m_report;
};

void TestReportPdf::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QFAIL("pdftotext (poppler-utils) is needed to read the reports back");
    m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{80, 300});
}

QStringList TestReportPdf::renderedPages(const QString &name)
{
    const auto doc = m_report;
    if (!doc)
        return {};
    const QString path = m_db->tempDir() + QLatin1Char('/') + name + QStringLiteral(".pdf");
    QString error;
    if (!ReportOutput::exportPdf(*doc, path, &error)) {
        qWarning() << "export failed:" << error;
        return {};
    }
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0) {
        qWarning() << "pdftotext failed:" << pdftotext.readAllStandardError();
        return {};
    }
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(QLatin1Char('\f'));
    // pdftotext ends every page with a form feed, the last one too.
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

void TestReportPdf::airlineStatistics()
{
    const QString where = QStringLiteral("hangkong='国航'");
    QVERIFY(m_report = ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("SUMhangkong"), where));
    const QStringList pages = renderedPages(QStringLiteral("sumhangkong"));
    QVERIFY(!pages.isEmpty());
    const QString text = pages.join(QLatin1Char('\n'));

    QVERIFY(pages.first().contains(QStringLiteral("航空公司出票统计报告")));
    for (const char *caption : {"航空公司", "出票日期", "内外", "张数", "公布价合计", "销售价合计", "净价合计"})
        QVERIFY2(pages.first().contains(QString::fromUtf8(caption)), caption);

    // The dearest day shows on one line with its date and amount.
    Recordset top;
    top.open(QStringLiteral("select cprq, neivai, AMOUNT1OFSUM from SUMhangkong where ") + where
                 + QStringLiteral(" order by AMOUNT1OFSUM desc limit 1"),
             &m_db->connection());
    QCOMPARE(top.recordCount(), 1);
    const QString day = top.text(QStringLiteral("cprq"));
    const QString amount = QString::number(top.value(QStringLiteral("AMOUNT1OFSUM")).toLongLong());
    const QRegularExpression rowLine(QStringLiteral("国航\\s+") + QRegularExpression::escape(day) + QStringLiteral("\\s+")
                                     + top.text(QStringLiteral("neivai")) + QStringLiteral("\\s+\\d+\\s+")
                                     + amount + QStringLiteral("\\b"));
    QVERIFY2(text.contains(rowLine), qPrintable(rowLine.pattern()));
    // Only that airline's rows.
    QVERIFY(!text.contains(QStringLiteral("东航")));

    // The footer totals are the sums of the rows shown.
    const QString from = QStringLiteral("SUMhangkong where ") + where;
    const QString totals = QStringLiteral("合\\s*计\\s+%1\\s+%2\\s+%3\\s*$")
                               .arg(expectedTotal(*m_db, QStringLiteral("AMOUNT1OFSUM"), from),
                                    expectedTotal(*m_db, QStringLiteral("AMOUNT2OFSUM"), from),
                                    expectedTotal(*m_db, QStringLiteral("AMOUNT3OFSUM"), from));
    const QRegularExpression totalsLine(totals, QRegularExpression::MultilineOption);
    // The chart has the last page; the totals close the table before it.
    const QString lastTable = pages.value(pages.size() - 2);
    QVERIFY2(lastTable.contains(totalsLine), qPrintable(totals + QStringLiteral("\n") + lastTable));

    const int pageCount = ReportRenderer(*m_report).pageCount();
    QCOMPARE(pages.size(), pageCount);
    QVERIFY(pages.first().contains(pageFooter(1, pageCount)));
}

void TestReportPdf::longReportRepeatsHeader()
{
    QVERIFY(m_report = ModReport::archiveFindSet(m_db->connection(), QStringLiteral("hyda"), QString(), QString()));
    const QStringList pages = renderedPages(QStringLiteral("hyda"));
    QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
    QCOMPARE(pages.size(), ReportRenderer(*m_report).pageCount());

    const QRegularExpression totalLabel(QStringLiteral("合\\s*计"));
    for (int i = 0; i < pages.size(); ++i) {
        const QString &page = pages.at(i);
        const QString where = QStringLiteral("page %1").arg(i + 1);
        QVERIFY2(page.count(QStringLiteral("客户档案报告")) == 1, qPrintable(where));
        QVERIFY2(page.count(QStringLiteral("卡号")) == 1, qPrintable(where));
        QVERIFY2(page.count(QStringLiteral("工作单位")) == 1, qPrintable(where));
        QVERIFY2(page.contains(pageFooter(i + 1, pages.size())), qPrintable(where));
        // The totals come once, after the last row.
        QCOMPARE(page.contains(totalLabel), i == pages.size() - 1);
    }

    // Every customer once, none lost or repeated at a page break.
    Recordset cards;
    cards.open(QStringLiteral("select kh from hyda"), &m_db->connection());
    QCOMPARE(cards.recordCount(), 80);
    const QString text = pages.join(QLatin1Char('\n'));
    for (int r = 0; r < cards.recordCount(); ++r) {
        const QString kh = cards.valueAt(r, 0).toString();
        QVERIFY2(text.count(kh) == 1, qPrintable(kh));
    }
}

void TestReportPdf::codeList()
{
    QVERIFY(m_report = ModReport::codeListFindSet(m_db->connection(), QStringLiteral("dict")));
    const QStringList pages = renderedPages(QStringLiteral("dict"));
    QVERIFY(!pages.isEmpty());
    QVERIFY(pages.first().contains(QStringLiteral("编码表报告")));
    for (const char *caption : {"类别", "编号", "简码", "名称", "备注"})
        QVERIFY2(pages.first().contains(QString::fromUtf8(caption)), caption);
    const QString text = pages.join(QLatin1Char('\n'));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("会员级别\\s+3\\s+JK\\s+金卡"))));
    QVERIFY(pages.last().contains(pageFooter(pages.size(), pages.size())));
}

void TestReportPdf::emptyResultBindsNothing()
{
    // No rows: no report. A source without print rows, or a failing statement,
    // is a failure the window reports, never an empty report.
    QVERIFY(!ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("SUMhangkong"),
                                          QStringLiteral("hangkong='无此航空'")));
    QVERIFY_THROWS_EXCEPTION(ReportProblem,
                             ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("nosuchsource"), QString()));
    QVERIFY_THROWS_EXCEPTION(DbException, ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("SUMhangkong"),
                                                                       QStringLiteral("nosuchcolumn='x'")));
}

void TestReportPdf::errorThenGoodRun()
{
    QVERIFY(m_report = ModReport::statisticsFindSet(m_db->connection(), QStringLiteral("SUMhangkong"),
                                                    QStringLiteral("hangkong='南航'")));
    const QStringList pages = renderedPages(QStringLiteral("after-error"));
    QVERIFY(!pages.isEmpty());
    QVERIFY(pages.first().contains(QStringLiteral("航空公司出票统计报告")));
    QVERIFY(pages.first().contains(QStringLiteral("南航")));
    QVERIFY(!pages.first().contains(QStringLiteral("国航")));
}

namespace {

QString pdfInfo(const QString &path)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    info.waitForFinished(20000);
    return QString::fromUtf8(info.readAllStandardOutput());
}

} // namespace

void TestReportPdf::printHonoursTheChosenPagesAndPaper()
{
    const Report report = ModReport::archiveFindSet(m_db->connection(), QStringLiteral("hyda"), QString(), QString());
    QVERIFY(ReportRenderer(*report).pageCount() >= 3);
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
    QVERIFY(ReportOutput::print(*report, nullptr));
    const QString info = pdfInfo(path);
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    // Letter, turned: 792 x 612 points.
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+792 x 612"))), qPrintable(info));
}

void TestReportPdf::previewOutlivesItsWindow()
{
    const Report report = ModReport::codeListFindSet(m_db->connection(), QStringLiteral("dict"));
    auto *asking = new QWidget;
    QWidget *preview = ReportOutput::preview(report, asking);
    QVERIFY(preview);
    QPointer<QWidget> alive(preview);
    delete asking;
    QVERIFY(alive);
    QVERIFY(alive->isVisible());
    alive->close();
}

QTEST_MAIN(TestReportPdf)
#include "tst_reportpdf.moc"
