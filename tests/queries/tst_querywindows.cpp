// The condition block and the query windows on a demo database: what they
// list, what they bind, what they preview or print, and what they tell the operator.
#include "queries/conditionblock.h"
#include "queries/frmhuiyuanfind.h"
#include "queries/frmkhfind.h"
#include "queries/frmsdsrfind.h"
#include "queries/statisticsfind.h"
#include "reports/modreport.h"
#include "reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "shell/appstate.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/shownreport.h"
#include "support/testdatabase.h"
#include "support/windowload.h"

#include <QComboBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace {

QComboBox *fieldBox(const QWidget *w, int i) { return child<QComboBox>(w, QStringLiteral("DataCombo1_%1").arg(i)); }
QComboBox *opBox(const QWidget *w, int i) { return child<QComboBox>(w, QStringLiteral("Combo1_%1").arg(i)); }
QLineEdit *valueBox(const QWidget *w, int i) { return box(w, QStringLiteral("txtsj_%1").arg(i)); }
QComboBox *connectorBox(const QWidget *w, int k) { return child<QComboBox>(w, QStringLiteral("Combljtj_%1").arg(k)); }
QString connectorWord(const QWidget *w, int k) { return box(w, QStringLiteral("Txttj_%1").arg(k))->text(); }

// One condition row as the operator fills it: picks the field from the list.
bool fillRow(QWidget *w, int i, const QString &caption, const QString &op, const QString &value)
{
    QComboBox *field = fieldBox(w, i);
    const int at = field->findText(caption);
    if (at < 0)
        return false;
    field->setCurrentIndex(at);
    opBox(w, i)->setCurrentText(op);
    valueBox(w, i)->setText(value);
    return true;
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// pdftotext output without blanks and line breaks, which it puts between glyph runs at will.
QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).remove(QRegularExpression(QStringLiteral("\\s")));
}

int boxOf(const ReportDocument &doc, const QString &field)
{
    int box = 0;
    for (const ReportControl &c : doc.section(3)) {
        if (c.kind != ReportControl::Kind::TextBox)
            continue;
        if (c.dataField.compare(field, Qt::CaseInsensitive) == 0)
            return box;
        ++box;
    }
    return -1;
}

QString captionIn(const ReportDocument &doc, int section, const QString &name)
{
    for (const ReportControl &c : doc.section(section))
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return doc.captionOf(c);
    return QStringLiteral("<hidden>");
}

std::unique_ptr<QueryWindow> makeWindow(AppState &state, const QString &type)
{
    if (type == QLatin1String("frmhangkongFind"))
        return std::make_unique<frmhangkongFind>(state);
    if (type == QLatin1String("frmgerenFind"))
        return std::make_unique<frmgerenFind>(state);
    if (type == QLatin1String("frmdaodaFind"))
        return std::make_unique<frmdaodaFind>(state);
    if (type == QLatin1String("frmkhFind"))
        return std::make_unique<frmkhFind>(state);
    return std::make_unique<frmsdSRFind>(state, type.right(1).toInt());
}

} // namespace

class TestQueryWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void blockShape_data();
    void blockShape();
    void connectorsFollowTheirValues();
    void connectorWordsAndClearing();
    void blockBuildsFromItsDictionary();

    void conditionsToReport_data();
    void conditionsToReport();
    void fieldsInStoredOrder_data();
    void fieldsInStoredOrder();
    void airlineReportRead();
    void print_data();
    void print();

    void itinerarySearch_data();
    void itinerarySearch();
    void incomeSetUpFromCatalogue();
    void incomeUnknownReport();
    void incomeFailingStatement();

private:
    QString scalar(const QString &sql) { return m_db->scalar(sql).toString(); }
    // Gives the dictionary rows of a source the reverse xh order; doing it twice restores them.
    void reverseOrder(const QString &source);

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<MessageLog> m_messages;
    std::unique_ptr<FakeDialogs> m_dialogs;
};

void TestQueryWindows::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QFAIL("pdftotext (poppler-utils) is needed to read the reports back");
    m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{40, 600});
    m_state = std::make_unique<AppState>();
    m_state->connection().open(Connection::connectionText(m_db->folder(), m_db->fileName()));
    m_state->setLocation(m_db->folder(), m_db->fileName());
}

void TestQueryWindows::init()
{
    closeShownReports();
    m_messages = std::make_unique<MessageLog>();
    m_dialogs.reset();
    m_dialogs = std::make_unique<FakeDialogs>();
    m_dialogs->printTo = m_db->tempDir() + QStringLiteral("/printed.pdf");
    QFile::remove(m_dialogs->printTo);
}

void TestQueryWindows::cleanup()
{
    closeShownReports();
    m_messages.reset();
    m_dialogs.reset();
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!QApplication::overrideCursor());
}

void TestQueryWindows::reverseOrder(const QString &source)
{
    const int top = m_db->scalar(QStringLiteral("select max(xh) from pr_codedict where table_code=") + sqlQuote(source))
                        .toInt();
    m_db->connection().execute(QStringLiteral("update pr_codedict set xh=%1-xh where table_code=").arg(top + 1)
                               + sqlQuote(source));
}

void TestQueryWindows::blockShape_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("three rows") << 3;
    QTest::newRow("eight rows") << 8;
}

void TestQueryWindows::blockShape()
{
    QFETCH(int, rows);
    ConditionBlock block(rows);
    for (int i = 0; i < rows; ++i) {
        QCOMPARE(itemsOf(opBox(&block, i)), (QStringList{"<", "<=", ">", ">=", "=", "like", "<>"}));
        QCOMPARE(opBox(&block, i)->currentText(), QStringLiteral("="));
    }
    QCOMPARE(block.findChildren<QComboBox *>(QRegularExpression("^DataCombo1_\\d+$")).size(), rows);
    QCOMPARE(block.findChildren<QComboBox *>(QRegularExpression("^Combljtj_\\d+$")).size(), rows - 1);
    QCOMPARE(block.findChildren<QLineEdit *>(QRegularExpression("^Txttj_\\d+$")).size(), rows - 1);
    for (int k = 0; k < rows - 1; ++k) {
        QCOMPARE(itemsOf(connectorBox(&block, k)), (QStringList{"并且", "或者"}));
        QCOMPARE(connectorWord(&block, k), QStringLiteral("and"));
    }
}

void TestQueryWindows::connectorsFollowTheirValues()
{
    ConditionBlock block(8);
    block.show();
    for (int k = 0; k < 7; ++k) {
        QTest::keyClicks(valueBox(&block, k), QStringLiteral("9"));
        // Only the connector after the filled value.
        for (int other = 0; other < 7; ++other)
            QCOMPARE(connectorBox(&block, other)->isEnabled(), other == k);
        QTest::keyClick(valueBox(&block, k), Qt::Key_Backspace);
        QVERIFY(!connectorBox(&block, k)->isEnabled());
    }
    // The last row has no connector after it; filling it enables none.
    valueBox(&block, 7)->setText(QStringLiteral("x"));
    for (int k = 0; k < 7; ++k)
        QVERIFY(!connectorBox(&block, k)->isEnabled());
}

void TestQueryWindows::connectorWordsAndClearing()
{
    ConditionBlock block(3);
    for (int i = 0; i < 3; ++i) {
        fieldBox(&block, i)->setEditText(QStringLiteral("项%1").arg(i));
        opBox(&block, i)->setCurrentText(QStringLiteral("like"));
        valueBox(&block, i)->setText(QStringLiteral("v%1").arg(i));
    }
    connectorBox(&block, 0)->setCurrentText(QStringLiteral("或者"));
    block.txtsjclear();
    for (int i = 0; i < 3; ++i) {
        QVERIFY(valueBox(&block, i)->text().isEmpty());
        QCOMPARE(fieldBox(&block, i)->currentText(), QStringLiteral("项%1").arg(i));
        QCOMPARE(opBox(&block, i)->currentText(), QStringLiteral("like"));
    }
    QCOMPARE(connectorBox(&block, 0)->currentText(), QStringLiteral("或者"));
    QCOMPARE(connectorWord(&block, 0), QStringLiteral("or"));
    QCOMPARE(connectorWord(&block, 1), QStringLiteral("and"));
    connectorBox(&block, 0)->setCurrentText(QStringLiteral("并且"));
    QCOMPARE(connectorWord(&block, 0), QStringLiteral("and"));
}

void TestQueryWindows::blockBuildsFromItsDictionary()
{
    // A dictionary of our own, one type word in lower case as a hand-edited row may hold it.
    m_db->connection().execute(QStringLiteral(
        "insert into pr_codedict (xh, table_code, table_name, colm_code, colm_name, colm_type, can_show) values "
        "(1, 'tjtest', '测试', 'A', '航空公司', 'CHAR', '1'), (2, 'tjtest', '测试', 'B', '张数', 'NUME', '1'), "
        "(3, 'tjtest', '测试', 'E', '备注', 'char', '1')"));
    const auto restore = qScopeGuard(
        [this] { m_db->connection().execute(QStringLiteral("delete from pr_codedict where table_code='tjtest'")); });
    Recordset dictionary;
    dictionary.open(QStringLiteral("select * from pr_codedict where table_code='tjtest' order by xh"),
                    &m_db->connection());
    ConditionBlock block(3);
    block.setDictionary(&dictionary);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(itemsOf(fieldBox(&block, i)), (QStringList{"航空公司", "张数", "备注"}));
        QCOMPARE(fieldBox(&block, i)->currentText(), QStringLiteral("航空公司"));
    }
    QVERIFY(fillRow(&block, 0, QStringLiteral("备注"), QStringLiteral("="), QStringLiteral("007")));
    QVERIFY(fillRow(&block, 2, QStringLiteral("张数"), QStringLiteral(">"), QStringLiteral("3")));
    connectorBox(&block, 1)->setCurrentText(QStringLiteral("或者"));
    ConditionText result = block.strtjset(TypeWordTables::statistics());
    QCOMPARE(result.text, QStringLiteral("E='007' or B>3"));
    QCOMPARE(block.text4()->text(), result.text);
    QCOMPARE(m_messages->count(), 0);

    // A refused value: the message, the text so far in Text4, every value as typed.
    valueBox(&block, 2)->setText(QStringLiteral("3x"));
    result = block.strtjset(TypeWordTables::statistics());
    QCOMPARE(m_messages->texts(), QStringList{"请输入数字"});
    QCOMPARE(block.text4()->text(), QStringLiteral("E='007'"));
    QCOMPARE(valueBox(&block, 0)->text(), QStringLiteral("007"));
    QCOMPARE(valueBox(&block, 2)->text(), QStringLiteral("3x"));

    // A field typed into the box that the dictionary does not know.
    m_messages->clear();
    fieldBox(&block, 0)->setEditText(QStringLiteral("无此项"));
    result = block.strtjset(TypeWordTables::statistics());
    QVERIFY(result.unknownField);
    QCOMPARE(m_messages->count(), 1);
    QVERIFY2(m_messages->text().contains(QStringLiteral("无此项")), qPrintable(m_messages->text()));
    QVERIFY(block.text4()->text().isEmpty());
}

void TestQueryWindows::conditionsToReport_data()
{
    // Conditions are "caption|operator|value" rows; a value "?sql" is read from
    // the archive first. `count` counts the rows the report must hold (%1, %2:
    // the values), null when no report may open; `caption` is label=text of the
    // report head (Text4 for the statistics windows).
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("conditions");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("caption");
    QTest::newRow("airline") << "frmhangkongFind" << QStringList{"航空公司|=|国航"} << ""
                             << "SUMhangkong where hangkong='国航'" << "Text4=hangkong='国航'";
    QTest::newRow("empty filter") << "frmgerenFind" << QStringList{"航空公司|=|"} << "" << QString() << "";
    QTest::newRow("no matching rows") << "frmgerenFind" << QStringList{"航空公司|=|无此航空"} << "" << QString() << "";
    QTest::newRow("bad number") << "frmdaodaFind" << QStringList{"张数|>|两张", "出发|=|北京"} << "请输入数字"
                                << QString() << "";
    QTest::newRow("bad number after an accepted row")
        << "frmdaodaFind" << QStringList{"出发|=|?select kaishi from SUMdaoda limit 1", "张数|>|两张"} << "请输入数字"
        << "SUMdaoda where kaishi='%1'" << "";
    QTest::newRow("income between two dates")
        << "frmsdSRFind1"
        << QStringList{"起始日期|>=|?select cprq from SRriqi order by cprq limit 1 offset 2",
                       "截止日期|<=|?select cprq from SRriqi order by cprq limit 1 offset 9"}
        << "" << "SRriqi where cprq>='%1' and cprq<='%2'" << "labname=起始日期>=#%1# and 截止日期<=#%2#";
    QTest::newRow("points of one customer")
        << "frmkhFind" << QStringList{"卡号|=|?select kh from hyda order by id limit 1 offset 3"} << ""
        << "hyda where kh='%1'" << "";
}

void TestQueryWindows::conditionsToReport()
{
    QFETCH(QString, window);
    QFETCH(QStringList, conditions);
    QFETCH(QString, message);
    QFETCH(QString, count);
    QFETCH(QString, caption);
    auto w = makeWindow(*m_state, window);
    loaded(*w);
    w->show();
    QStringList values;
    for (int i = 0; i < conditions.size(); ++i) {
        const QStringList row = conditions.at(i).split('|');
        values << (row[2].startsWith('?') ? scalar(row[2].mid(1)) : row[2]);
        QVERIFY(!values.last().isEmpty() || row[2].isEmpty());
        QVERIFY(fillRow(w.get(), i, row[0], row[1], values.last()));
    }
    click(w.get(), "cmdyes");
    QCOMPARE(m_messages->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(openPreviews().size(), count.isNull() ? 0 : 1);
    for (int i = 0; i < values.size(); ++i) // kept when nothing was shown, cleared after a report
        QCOMPARE(valueBox(w.get(), i)->text(), count.isNull() ? values.at(i) : QString());
    if (count.isNull())
        return;
    const auto doc = shownReport();
    QVERIFY(doc);
    QCOMPARE(doc->rowCount(), m_db->count(count.arg(values.value(0), values.value(1))));
    QVERIFY(doc->rowCount() > 0);
    const QString label = caption.section('=', 0, 0), text = caption.section('=', 1).arg(values.value(0), values.value(1));
    if (label == QLatin1String("Text4"))
        QCOMPARE(box(w.get(), label)->text(), text);
    else if (!label.isEmpty())
        QCOMPARE(captionIn(*doc, 2, label), text);
    if (window == QLatin1String("frmkhFind"))
        QCOMPARE(doc->cell(0, boxOf(*doc, "xm")), scalar("select xm from hyda where kh=" + sqlQuote(values[0])));
}

void TestQueryWindows::fieldsInStoredOrder_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("source");
    QTest::newRow("airline") << "frmhangkongFind" << "SUMhangkong";
    QTest::newRow("points") << "frmkhFind" << "SUMJIFEN";
}

void TestQueryWindows::fieldsInStoredOrder()
{
    // Stored order and xh order differ: the field list and the points grid take
    // the rows as stored, the report columns still follow xh.
    QFETCH(QString, window);
    QFETCH(QString, source);
    reverseOrder(source);
    const auto restore = qScopeGuard([&] { reverseOrder(source); });
    Recordset rows;
    rows.open("select colm_code, colm_name from pr_codedict where table_code=? order by rowid", &m_db->connection(),
              LockType::ReadOnly, {source});
    QStringList codes, captions;
    for (int r = 0; r < rows.recordCount(); ++r) {
        codes << rows.valueAt(r, 0).toString();
        captions << rows.valueAt(r, 1).toString();
    }
    auto w = makeWindow(*m_state, window);
    loaded(*w);
    w->show();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(itemsOf(fieldBox(w.get(), i)), captions);
        QCOMPARE(fieldBox(w.get(), i)->currentText(), captions.first());
    }
    if (auto *points = qobject_cast<frmkhFind *>(w.get())) {
        auto *grid = child<QTableWidget>(points, "MsFl");
        QCOMPARE(grid->columnCount(), captions.size() + 1);
        QVERIFY(grid->isColumnHidden(0));
        for (int i = 1; i <= captions.size(); ++i)
            QCOMPARE(grid->horizontalHeaderItem(i)->text(), captions.at(i - 1));
        QCOMPARE(points->columnList(), codes.join(','));
        return;
    }
    QVERIFY(fillRow(w.get(), 0, QStringLiteral("航空公司"), QStringLiteral("="), QStringLiteral("国航")));
    click(w.get(), "cmdyes");
    const auto doc = shownReport();
    QVERIFY(doc);
    QCOMPARE(captionIn(*doc, 2, QStringLiteral("label1")), captions.last());
}

void TestQueryWindows::airlineReportRead()
{
    frmhangkongFind w(*m_state);
    loaded(w);
    w.show();
    valueBox(&w, 0)->setText(QStringLiteral("国航"));
    click(&w, "cmdyes");
    const auto doc = shownReport();
    QVERIFY(doc);
    const int airline = boxOf(*doc, QStringLiteral("hangkong"));
    for (int r = 0; r < doc->rowCount(); ++r)
        QCOMPARE(doc->cell(r, airline), QStringLiteral("国航"));
    const QString pdfPath = m_db->tempDir() + QStringLiteral("/airline.pdf");
    QVERIFY(ReportOutput::exportPdf(*doc, pdfPath));
    const QString pdf = pdfText(pdfPath);
    QVERIFY(pdf.contains(QStringLiteral("航空公司出票统计报告")));
    QVERIFY(!pdf.contains(QStringLiteral("东航")));
    for (int k = 1; k <= 3; ++k) {
        const double expected =
            m_db->scalar(QStringLiteral("select sum(AMOUNT%1OFSUM) from SUMhangkong where hangkong='国航'").arg(k)).toDouble();
        const QString text = doc->sumText(QStringLiteral("function%1").arg(k));
        QVERIFY2(qFuzzyCompare(text.toDouble(), expected), qPrintable(text));
        QVERIFY2(pdf.contains(text), qPrintable(text));
    }
}

void TestQueryWindows::print_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("printed"); // must be on paper; empty: nothing printed
    QTest::addColumn<QString>("absent");
    QTest::newRow("airline") << "frmhangkongFind" << "航空公司" << "东航" << "东航" << "国航";
    QTest::newRow("nothing to print") << "frmgerenFind" << "航空公司" << "无此航空" << "" << "";
    const QString card = "?select kh from hyda order by id limit 1 offset 3";
    QTest::newRow("points") << "frmkhFind" << "卡号" << card << "?select xm from hyda where kh='%1'" << "";
}

void TestQueryWindows::print()
{
    QFETCH(QString, window);
    QFETCH(QString, caption);
    QFETCH(QString, value);
    QFETCH(QString, printed);
    QFETCH(QString, absent);
    if (value.startsWith('?'))
        value = scalar(value.mid(1));
    if (printed.startsWith('?'))
        printed = scalar(printed.mid(1).arg(value));
    auto w = makeWindow(*m_state, window);
    loaded(*w);
    w->show();
    QVERIFY(fillRow(w.get(), 0, caption, "=", value));
    click(w.get(), "Command1");
    QCOMPARE(m_dialogs->printAsked, printed.isEmpty() ? 0 : 1);
    QCOMPARE(openPreviews().size(), 0);
    QCOMPARE(m_messages->count(), 0);
    if (printed.isEmpty())
        return;
    QVERIFY(valueBox(w.get(), 0)->text().isEmpty());
    const QString paper = pdfText(m_dialogs->printTo);
    QVERIFY2(paper.contains(printed), qPrintable(paper.left(200)));
    QVERIFY(absent.isEmpty() || !paper.contains(absent));
    if (window == QLatin1String("frmhangkongFind"))
        QVERIFY(paper.contains(ModReport::statisticsFindSet(m_db->connection(), "SUMhangkong", "hangkong='东航'")
                                   ->sumText(QStringLiteral("function2"))));
}

void TestQueryWindows::itinerarySearch_data()
{
    QTest::addColumn<QString>("card");
    QTest::newRow("the customer with most tickets")
        << "?select kh from hyxc group by kh order by count(*) desc limit 1";
    QTest::newRow("no such card") << "0000000000";
}

void TestQueryWindows::itinerarySearch()
{
    QFETCH(QString, card);
    if (card.startsWith('?'))
        card = scalar(card.mid(1));
    frmHuiYuanFind w(*m_state);
    loaded(w);
    w.show();
    auto *tabs = child<QTabWidget>(&w, "SSTab1");
    QCOMPARE(fieldBox(&w, 0)->currentText(), QStringLiteral("卡号"));
    valueBox(&w, 0)->setText(card);
    click(&w, "Cmdfind");
    QCOMPARE(m_messages->count(), 0);
    QVERIFY(valueBox(&w, 0)->text().isEmpty());
    QAbstractItemModel *grid = child<QTableView>(&w, "MsFl")->model();
    int idColumn = -1;
    for (int c = 0; c < grid->columnCount(); ++c)
        if (grid->headerData(c, Qt::Horizontal).toString() == QLatin1String("id"))
            idColumn = c;
    QStringList listed;
    for (int r = 0; r < grid->rowCount(); ++r)
        listed << grid->index(r, idColumn).data().toString();
    listed.sort();
    Recordset ids;
    ids.open("select id from hyxc where kh=? order by cast(id as text)", &m_db->connection(), LockType::ReadOnly, {card});
    QStringList expected;
    for (int r = 0; r < ids.recordCount(); ++r)
        expected << ids.valueAt(r, 0).toString();
    expected.sort();
    QVERIFY(expected.size() > 1 || card == QLatin1String("0000000000"));
    QCOMPARE(listed, expected);
    // Found tickets turn to the results page; nothing found stays on the conditions.
    QCOMPARE(tabs->currentIndex(), expected.isEmpty() ? 0 : 1);
}

void TestQueryWindows::incomeSetUpFromCatalogue()
{
    const QStringList captions = {"起始日期", "截止日期", "张数", "销售额", "毛利"};
    frmsdSRFind w(*m_state, 1);
    QCOMPARE(fieldBox(&w, 0)->count(), 0);
    loaded(w);
    QCOMPARE(box(&w, "Txtxh")->text(), QStringLiteral("1"));
    QCOMPARE(m_messages->count(), 0);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(itemsOf(fieldBox(&w, i)), captions);
        QCOMPARE(fieldBox(&w, i)->currentText(), captions.value(i));
    }
    // As in the points window: a hidden id column, then the captions.
    auto *grid = child<QTableWidget>(&w, "MsFl");
    QCOMPARE(grid->columnCount(), captions.size() + 1);
    QVERIFY(grid->isColumnHidden(0));
    for (int c = 0; c < captions.size(); ++c)
        QCOMPARE(grid->horizontalHeaderItem(c + 1)->text(), captions.at(c));
}

void TestQueryWindows::incomeUnknownReport()
{
    // A number the catalogue lacks is named, and the window does not open.
    frmsdSRFind w(*m_state, 9);
    QVERIFY(!w.load());
    QCOMPARE(m_messages->texts(), QStringList{"报表目录中没有编号为“9”的报表"});
    QCOMPARE(fieldBox(&w, 0)->count(), 0);
}

void TestQueryWindows::incomeFailingStatement()
{
    frmsdSRFind w(*m_state, 2);
    loaded(w);
    w.show();
    QCOMPARE(fieldBox(&w, 2)->currentText(), QStringLiteral("航空公司"));
    valueBox(&w, 2)->setText(QStringLiteral("国航"));
    const QString sql = scalar(QStringLiteral("select report_sql from pr_report where xh=2"));
    m_db->connection().execute(QStringLiteral("update pr_report set report_sql='select * from SRnowhere' where xh=2"));
    click(&w, "cmdyes");
    m_db->connection().execute(QStringLiteral("update pr_report set report_sql=? where xh=2"), {sql});
    QCOMPARE(m_messages->count(), 1);
    QCOMPARE(m_messages->icon(), Msg::Icon::Stop);
    QCOMPARE(openPreviews().size(), 0);
    QVERIFY(!QApplication::overrideCursor());

    // Still usable: the same conditions run once the statement is right again.
    m_messages->clear();
    valueBox(&w, 2)->setText(QStringLiteral("国航"));
    click(&w, "cmdyes");
    QCOMPARE(m_messages->count(), 0);
    const auto doc = shownReport();
    QVERIFY(doc);
    QCOMPARE(doc->rowCount(), m_db->count(QStringLiteral("SRhangkong where hangkong='国航'")));
    QCOMPARE(captionIn(*doc, 2, QStringLiteral("labname")), QStringLiteral("航空公司='国航'"));
}

QTEST_MAIN(TestQueryWindows)
#include "tst_querywindows.moc"
