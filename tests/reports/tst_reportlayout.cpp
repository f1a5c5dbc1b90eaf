// Layout numbers of the report builders, read straight from the template's
// controls: positions, widths, rules, formats, totals and the title.
#include "support/shownreport.h"
#include "reports/modreport.h"
#include "reports/reportdocument.h"
#include "reports/reporttemplate.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "store/recordset.h"

#include <QTest>

namespace {

PrintColumn column(const QString &code, int width, const QString &type = QStringLiteral("CHAR"),
                   const QString &sumTag = QStringLiteral("0"), const QString &align = QStringLiteral("C"))
{
    return PrintColumn{QStringLiteral("tjtest"), QStringLiteral("测试统计"), code, QStringLiteral("列") + code,
                       type, width, sumTag, align};
}

QVector<PrintColumn> columns(int n, int width)
{
    QVector<PrintColumn> out;
    for (int j = 1; j <= n; ++j)
        out << column(QStringLiteral("c%1").arg(j), width);
    return out;
}

// Control `name`, or control `name` numbered j ("text%1").
const ReportControl &ctl(const ReportTemplate &t, const char *name, int j = -1)
{
    const QString n = j < 0 ? QString::fromLatin1(name) : QString::fromLatin1(name).arg(j);
    const ReportControl *c = t.control(n);
    if (!c)
        qFatal("the template has no control %s", qPrintable(n));
    return *c;
}

// A control as a built report holds it; a hidden one is not in the report.
ReportControl ctl(const ReportDocument &doc, const char *name, int j = -1)
{
    const QString n = j < 0 ? QString::fromLatin1(name) : QString::fromLatin1(name).arg(j);
    for (int s = 1; s <= 5; ++s)
        for (const ReportControl &c : doc.section(s))
            if (c.name.compare(n, Qt::CaseInsensitive) == 0)
                return c;
    return {};
}

} // namespace

class TestReportLayout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{8, 40}); }
    void cleanup();

    void oneColumn();
    void titleCentring_data();
    void titleCentring();
    void alignment_data();
    void alignment();
    void formats_data();
    void formats();
    void totalsBySumTag();
    void slotCounts_data();
    void slotCounts();
    void narrowerReportHidesExtraSlots();
    void statisticsStyle();
    void archiveItinerary();
    void codeList();
    void generateClearsSubtitle();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestReportLayout::cleanup()
{
    closeShownReports();
}

void TestReportLayout::oneColumn()
{
    ReportTemplate t;
    QCOMPARE(ModReport::layout(t, {column(QStringLiteral("kh"), 10)}, ModReport::genericStyle()), 1);
    QVERIFY(ctl(t, "label1").visible);
    QCOMPARE(ctl(t, "label1").left, 0.0);
    QCOMPARE(ctl(t, "label1").width, 1800.0);
    QCOMPARE(ctl(t, "label1").caption, QStringLiteral("列kh"));
    QCOMPARE(ctl(t, "text1").dataField, QStringLiteral("kh"));
    for (const char *rule : {"line1", "line2", "line3", "line66"}) {
        QVERIFY2(ctl(t, rule).visible, rule);
        QCOMPARE(ctl(t, rule).width, 1800.0);
    }
    for (const char *rule : {"line36", "line5", "line68"}) {
        QVERIFY2(ctl(t, rule).visible, rule);
        QCOMPARE(ctl(t, rule).left, 1800.0);
    }
    QCOMPARE(ctl(t, "line36").top, ctl(t, "line1").top);
    QCOMPARE(ctl(t, "line36").height, 440.0);
    QVERIFY(!ctl(t, "label2").visible);
    QVERIFY(!ctl(t, "line37").visible);
    QCOMPARE(ctl(t, "labbt").caption, QStringLiteral("测试统计"));
    QCOMPARE(ctl(t, "labbt").left, 0.0);
}

void TestReportLayout::titleCentring_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("left");
    // The title centres over (columns + 1) x 1060 twips once that passes its own 8595.
    QTest::newRow("one column") << 1 << 0.0;
    QTest::newRow("seven columns, still narrower") << 7 << 0.0;
    QTest::newRow("eight columns") << 8 << 472.5;
    QTest::newRow("thirty columns") << 30 << 12132.5;
    QTest::newRow("forty columns count as thirty") << 40 << 12132.5;
}

void TestReportLayout::titleCentring()
{
    QFETCH(int, count);
    QFETCH(double, left);
    ReportTemplate t;
    ModReport::layout(t, columns(count, 5), ModReport::genericStyle());
    QCOMPARE(ctl(t, "labbt").left, left);
}

void TestReportLayout::alignment_data()
{
    QTest::addColumn<QString>("align");
    QTest::addColumn<int>("slot");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("width");
    QTest::addColumn<int>("alignment");
    QTest::newRow("R first") << "R" << 1 << -50.0 << 1750.0 << int(ReportControl::AlignRight);
    QTest::newRow("L first") << "L" << 1 << 50.0 << 1750.0 << int(ReportControl::AlignLeft);
    QTest::newRow("C first") << "C" << 1 << 0.0 << 1800.0 << int(ReportControl::AlignCenter);
    QTest::newRow("none first") << "" << 1 << 0.0 << 1800.0 << int(ReportControl::AlignCenter);
    QTest::newRow("R second") << "R" << 2 << 850.0 << 1750.0 << int(ReportControl::AlignRight);
    QTest::newRow("L second") << "L" << 2 << 950.0 << 1750.0 << int(ReportControl::AlignLeft);
}

void TestReportLayout::alignment()
{
    QFETCH(QString, align);
    QFETCH(int, slot);
    QFETCH(double, left);
    QFETCH(double, width);
    QFETCH(int, alignment);
    QVector<PrintColumn> cols;
    if (slot == 2)
        cols << column(QStringLiteral("first"), 5);
    cols << column(QStringLiteral("aligned"), 10, QStringLiteral("CHAR"), QStringLiteral("0"), align);
    ReportTemplate t;
    ModReport::layout(t, cols, ModReport::genericStyle());
    QCOMPARE(ctl(t, "text%1", slot).left, left);
    QCOMPARE(ctl(t, "text%1", slot).width, width);
    QCOMPARE(ctl(t, "text%1", slot).alignment, alignment);
    // The caption above keeps the column's own place.
    QCOMPARE(ctl(t, "label%1", slot).left, slot == 2 ? 900.0 : 0.0);
}

void TestReportLayout::formats_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("format");
    QTest::newRow("INT") << "INT" << "#####0.00";
    QTest::newRow("int, lower case") << "int" << "#####0.00";
    QTest::newRow("Mon, mixed case") << "Mon" << "#####0.00";
    QTest::newRow("BFL") << "BFL" << "#####0.00%";
    QTest::newRow("bfl, lower case") << "bfl" << "#####0.00%";
    QTest::newRow("TXT") << "TXT" << "";
    QTest::newRow("NUME") << "NUME" << "";
}

void TestReportLayout::formats()
{
    QFETCH(QString, type);
    QFETCH(QString, format);
    ReportTemplate t;
    ModReport::layout(t, {column(QStringLiteral("v"), 6, type)}, ModReport::genericStyle());
    QCOMPARE(ctl(t, "text1").format, format);
    // The statistics builders never format.
    ModReport::layout(t, {column(QStringLiteral("v"), 6, type)}, ModReport::statisticsStyle());
    QCOMPARE(ctl(t, "text1").format, QString());
}

void TestReportLayout::totalsBySumTag()
{
    ReportTemplate t;
    ModReport::layout(t,
                      {column(QStringLiteral("a"), 4), column(QStringLiteral("b"), 6, QStringLiteral("NUME"), "1"),
                       column(QStringLiteral("c"), 5, QStringLiteral("NUME"), "0"),
                       column(QStringLiteral("d"), 8, QStringLiteral("MON"), "1", QStringLiteral("R"))},
                      ModReport::genericStyle());
    QVERIFY(!ctl(t, "function1").visible);
    QVERIFY(!ctl(t, "function3").visible);
    QVERIFY(ctl(t, "function2").visible);
    QCOMPARE(ctl(t, "function2").left, 720.0);
    QCOMPARE(ctl(t, "function2").width, 1080.0);
    QCOMPARE(ctl(t, "function2").dataField, QStringLiteral("b"));
    // A total sits under its column, not under the column's shifted text box.
    QVERIFY(ctl(t, "function4").visible);
    QCOMPARE(ctl(t, "function4").left, 2700.0);
    QCOMPARE(ctl(t, "function4").width, 1440.0);
    QCOMPARE(ctl(t, "function4").dataField, QStringLiteral("d"));
    QCOMPARE(ctl(t, "line66").width, 4140.0);
}

void TestReportLayout::slotCounts_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("laidOut");
    QTest::newRow("25") << 25 << 25;
    QTest::newRow("30") << 30 << 30;
    QTest::newRow("31") << 31 << 30;
}

void TestReportLayout::slotCounts()
{
    QFETCH(int, count);
    QFETCH(int, laidOut);
    ReportTemplate t;
    QCOMPARE(ModReport::layout(t, columns(count, 3), ModReport::genericStyle()), laidOut);
    for (int j = 1; j <= 30; ++j) {
        const bool shown = j <= laidOut;
        QCOMPARE(ctl(t, "label%1", j).visible, shown);
        QCOMPARE(ctl(t, "text%1", j).visible, shown);
        QCOMPARE(ctl(t, "line%1", j + 35).visible, shown);
        QCOMPARE(ctl(t, "line%1", j + 4).visible, shown);
        QCOMPARE(ctl(t, "line%1", j + 67).visible, shown);
        if (shown) {
            QCOMPARE(ctl(t, "label%1", j).left, (j - 1) * 540.0);
            QCOMPARE(ctl(t, "text%1", j).dataField, QStringLiteral("c%1").arg(j));
            QCOMPARE(ctl(t, "line%1", j + 35).left, j * 540.0);
        }
    }
    QCOMPARE(ctl(t, "line1").width, laidOut * 540.0);
    // The left borders stay where they are drawn.
    for (const char *border : {"line35", "line4", "line67"})
        QCOMPARE(ctl(t, border).left, 0.0);
    QVERIFY(!ctl(t, "line98").visible);
}

void TestReportLayout::narrowerReportHidesExtraSlots()
{
    ReportTemplate t;
    QVector<PrintColumn> wide = columns(6, 4);
    for (PrintColumn &c : wide)
        c.sumTag = QStringLiteral("1");
    ModReport::layout(t, wide, ModReport::genericStyle());
    QVERIFY(ctl(t, "function6").visible);

    QVector<PrintColumn> narrow = columns(2, 10);
    narrow[0].sumTag = QStringLiteral("1");
    QCOMPARE(ModReport::layout(t, narrow, ModReport::genericStyle()), 2);
    for (int j = 3; j <= 6; ++j) {
        for (const char *name : {"label%1", "text%1", "function%1"})
            QVERIFY2(!ctl(t, name, j).visible, qPrintable(QString::fromLatin1(name).arg(j)));
        for (int rule : {j + 35, j + 4, j + 67})
            QVERIFY2(!ctl(t, "line%1", rule).visible, qPrintable(QString::number(rule)));
    }
    QVERIFY(ctl(t, "function1").visible);
    QVERIFY(!ctl(t, "function2").visible);
    QCOMPARE(ctl(t, "line2").width, 3600.0);
}

void TestReportLayout::statisticsStyle()
{
    // The totals belong to the three amount columns wherever they stand and whatever SUM_TAG says.
    const QVector<PrintColumn> cols = {
        column(QStringLiteral("hangkong"), 6, QStringLiteral("CHAR"), "1", QStringLiteral("L")),
        column(QStringLiteral("ZSOFSUM"), 5, QStringLiteral("NUME"), "1", QStringLiteral("R")),
        column(QStringLiteral("AMOUNT3OFSUM"), 10, QStringLiteral("MON"), "0", QStringLiteral("R")),
        column(QStringLiteral("amount1ofsum"), 8, QStringLiteral("NUME"), "0", QStringLiteral("L")),
        column(QStringLiteral("AMOUNT2OFSUM"), 9, QStringLiteral("BFL"), "1", QStringLiteral("R")),
    };
    ReportTemplate t;
    ModReport::layout(t, cols, ModReport::statisticsStyle());
    QCOMPARE(ctl(t, "labbt").caption, QStringLiteral("测试统计报告 "));
    QVERIFY(!ctl(t, "labname").visible);
    const double lefts[] = {0, 1080, 1980, 3780, 5220};
    for (int j = 1; j <= cols.size(); ++j) {
        QCOMPARE(ctl(t, "text%1", j).alignment, int(ReportControl::AlignCenter));
        QCOMPARE(ctl(t, "text%1", j).left, lefts[j - 1]);
        QCOMPARE(ctl(t, "text%1", j).format, QString());
    }
    const QList<std::pair<QString, double>> sums = {
        {QStringLiteral("amount1ofsum"), 3780}, {QStringLiteral("AMOUNT2OFSUM"), 5220}, {QStringLiteral("AMOUNT3OFSUM"), 1980}};
    for (int k = 1; k <= 3; ++k) {
        QVERIFY(ctl(t, "function%1", k).visible);
        QCOMPARE(ctl(t, "function%1", k).dataField, sums.at(k - 1).first);
        QCOMPARE(ctl(t, "function%1", k).left, sums.at(k - 1).second);
    }
    QCOMPARE(ctl(t, "function3").width, 1800.0);
    QVERIFY(!ctl(t, "function4").visible);
    QVERIFY(!ctl(t, "function5").visible);
}

void TestReportLayout::archiveItinerary()
{
    const QString kh = m_db->scalar(QStringLiteral("select kh from hyxc order by id limit 1")).toString();
    const QString rows = QStringLiteral("hyxc where kh='") + kh + QLatin1Char('\'');
    const Report doc = ModReport::archiveFindSet(m_db->connection(), QStringLiteral("hyxc"),
                                                 QStringLiteral("kh='") + kh + QLatin1Char('\''), QStringLiteral("郭明"));
    QVERIFY(doc);
    const ReportDocument &t = *doc;
    QVERIFY(ctl(t, "labname").visible);
    QCOMPARE(ctl(t, "labname").caption, QStringLiteral("姓名： 郭明"));
    QCOMPARE(ctl(t, "labbt").caption, QStringLiteral("会员行程报告 "));
    // Shown rows of hyxc: cprq kaishi daoda hangkong ZS amount2 amount3 zt JIFEN JIFENYUE.
    QCOMPARE(ctl(t, "function1").dataField, QStringLiteral("JIFEN"));
    QCOMPARE(ctl(t, "function1").left, ctl(t, "label9").left);
    QCOMPARE(ctl(t, "function2").dataField, QStringLiteral("JIFENYUE"));
    QCOMPARE(ctl(t, "function2").left, ctl(t, "label10").left);
    QVERIFY(!ctl(t, "function3").visible);
    QVERIFY(!ctl(t, "function9").visible);

    QCOMPARE(doc->rowCount(), m_db->count(rows));
    QCOMPARE(doc->sumText(QStringLiteral("function1")), expectedTotal(*m_db, QStringLiteral("jifen"), rows));
    QCOMPARE(doc->sumText(QStringLiteral("function2")), expectedTotal(*m_db, QStringLiteral("jifenyue"), rows));

    // The customer list names nobody.
    const Report list = ModReport::archiveFindSet(m_db->connection(), QStringLiteral("hyda"), QString(), QStringLiteral("郭明"));
    QVERIFY(!ctl(*list, "labname").visible);
    QCOMPARE(ctl(*list, "labbt").caption, QStringLiteral("客户档案报告 "));
}

void TestReportLayout::codeList()
{
    const Report doc = ModReport::codeListFindSet(m_db->connection(), QStringLiteral("dict"));
    QVERIFY(doc);
    const ReportDocument &t = *doc;
    QCOMPARE(ctl(t, "labbt").caption, QStringLiteral("编码表报告 "));
    const QStringList fields = {QStringLiteral("class"), QStringLiteral("lx"), QStringLiteral("jm"),
                                QStringLiteral("sm"), QStringLiteral("bz")};
    for (int j = 1; j <= fields.size(); ++j) {
        QCOMPARE(ctl(t, "text%1", j).dataField, fields.at(j - 1));
        QCOMPARE(ctl(t, "text%1", j).left, (j - 1) * 1060.0);
        QCOMPARE(ctl(t, "text%1", j).width, 1060.0);
        QCOMPARE(ctl(t, "label%1", j).width, 1060.0);
    }
    QVERIFY(!ctl(t, "text6").visible);
    for (const ReportControl &c : t.section(5))
        QVERIFY2(c.kind != ReportControl::Kind::Function, qPrintable(c.name));
    QCOMPARE(t.rowCount(), m_db->count(QStringLiteral("dict")));
}

void TestReportLayout::generateClearsSubtitle()
{
    FakeDialogs dialogs;
    MessageLog messages;
    Recordset data;
    data.open(QStringLiteral("select * from hyda order by kh"), &m_db->connection());
    QVERIFY(data.recordCount() > 0);

    QVERIFY(ModReport::generate(m_db->connection(), QStringLiteral("hyda"), data, QStringLiteral("v"), nullptr,
                                QStringLiteral("二〇〇三年十月")));
    QCOMPARE(dialogs.printAsked, 0);
    const auto doc = shownReport();
    QCOMPARE(doc->title(), QStringLiteral("客户档案"));
    QCOMPARE(ctl(*doc, "labname").caption, QStringLiteral("二〇〇三年十月"));
    QCOMPARE(doc->cell(0, 0), data.valueAt(0, data.fieldIndex(QStringLiteral("kh"))).toString());
    // The preview stays open after the call, modeless.
    QCOMPARE(openPreviews().size(), 1);
    QVERIFY(openPreviews().first()->isVisible() && !openPreviews().first()->isModal());

    // Printing goes through the print dialog; cancelled there, nothing was printed.
    QVERIFY(!ModReport::generate(m_db->connection(), QStringLiteral("hyda"), data, QStringLiteral("P")));
    QCOMPARE(dialogs.printAsked, 1);
    QCOMPARE(openPreviews().size(), 1);
    QCOMPARE(messages.count(), 0);

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

QTEST_MAIN(TestReportLayout)
#include "tst_reportlayout.moc"
