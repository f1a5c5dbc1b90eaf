// The condition block and the query windows on a demo database: what they
// list, what they bind, what they preview or print, and what they tell the operator.
#include "queries/conditionblock.h"
#include "queries/frmkhfind.h"
#include "queries/frmsdsrfind.h"
#include "queries/statisticsfind.h"
#include "reports/modreport.h"
#include "reports/reportdocument.h"
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
#include <QTest>

namespace {

QComboBox *fieldBox(const QWidget *w, int i) { return child<QComboBox>(w, QStringLiteral("DataCombo1_%1").arg(i)); }
QLineEdit *valueBox(const QWidget *w, int i) { return box(w, QStringLiteral("txtsj_%1").arg(i)); }
QComboBox *connectorBox(const QWidget *w, int k) { return child<QComboBox>(w, QStringLiteral("Combljtj_%1").arg(k)); }

// One condition row as the operator fills it: picks the field from the list.
void fillRow(QWidget *w, int i, const QString &caption, const QString &op, const QString &value)
{
    QVERIFY2(fieldBox(w, i)->findText(caption) >= 0, qPrintable(caption));
    fieldBox(w, i)->setCurrentIndex(fieldBox(w, i)->findText(caption));
    child<QComboBox>(w, QStringLiteral("Combo1_%1").arg(i))->setCurrentText(op);
    valueBox(w, i)->setText(value);
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
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
    void connectorsFollowTheirValues();
    void blockBuildsFromItsDictionary();
    void conditionsToReport_data();
    void conditionsToReport();
    void print_data();
    void print();
    void incomeSetUpFromCatalogue();
    void incomeFailingStatement();

private:
    QString scalar(const QString &sql) { return m_db->scalar(sql).toString(); }

    std::unique_ptr<TestDatabase> m_db;
    AppState m_state;
    std::unique_ptr<MessageLog> m_messages;
    std::unique_ptr<FakeDialogs> m_dialogs;
};

void TestQueryWindows::initTestCase()
{
    m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{40, 600});
    m_state.setLocation(m_db->folder(), m_db->fileName());
    m_state.connection().open(m_state.connectionText());
}

void TestQueryWindows::init()
{
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

void TestQueryWindows::connectorsFollowTheirValues()
{
    // Only the connector after a filled value can be chosen; the last row has none.
    ConditionBlock block(3);
    block.show();
    for (int k = 0; k < 3; ++k) {
        QTest::keyClicks(valueBox(&block, k), QStringLiteral("9"));
        for (int other = 0; other < 2; ++other)
            QCOMPARE(connectorBox(&block, other)->isEnabled(), other == k);
        QTest::keyClick(valueBox(&block, k), Qt::Key_Backspace);
    }
    QVERIFY(!connectorBox(&block, 0)->isEnabled());
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
    dictionary.open(QStringLiteral("select * from pr_codedict where table_code='tjtest' order by xh"), &m_db->connection());
    ConditionBlock block(3);
    block.setDictionary(&dictionary);
    QCOMPARE(itemsOf(fieldBox(&block, 2)), (QStringList{"航空公司", "张数", "备注"}));
    fillRow(&block, 0, "备注", "=", "007");
    fillRow(&block, 2, "张数", ">", "3");
    connectorBox(&block, 1)->setCurrentText(QStringLiteral("或者"));
    QCOMPARE(block.strtjset(TypeWordTables::statistics()).text, QStringLiteral("E='007' or B>3"));
    QCOMPARE(block.text4()->text(), QStringLiteral("E='007' or B>3"));
    QCOMPARE(m_messages->count(), 0);

    // A refused value: the message, the text so far in Text4, every value as typed.
    valueBox(&block, 2)->setText(QStringLiteral("3x"));
    block.strtjset(TypeWordTables::statistics());
    QCOMPARE(m_messages->texts(), QStringList{"请输入数字"});
    QCOMPARE(block.text4()->text(), QStringLiteral("E='007'"));
    QCOMPARE(valueBox(&block, 2)->text(), QStringLiteral("3x"));

    // A field typed into the box that the dictionary does not know is named.
    fieldBox(&block, 0)->setEditText(QStringLiteral("无此项"));
    QVERIFY(block.strtjset(TypeWordTables::statistics()).unknownField);
    QVERIFY2(m_messages->last().contains(QStringLiteral("无此项")), qPrintable(m_messages->last()));
    QVERIFY(block.text4()->text().isEmpty());

    // Clearing empties the values only.
    block.txtsjclear();
    QVERIFY(valueBox(&block, 1)->text().isEmpty() && valueBox(&block, 2)->text().isEmpty());
    QCOMPARE(fieldBox(&block, 2)->currentText() + connectorBox(&block, 1)->currentText(), QStringLiteral("张数或者"));
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
    auto w = makeWindow(m_state, window);
    loaded(*w);
    w->show();
    QStringList values;
    for (int i = 0; i < conditions.size(); ++i) {
        const QStringList row = conditions.at(i).split('|');
        values << (row[2].startsWith('?') ? scalar(row[2].mid(1)) : row[2]);
        fillRow(w.get(), i, row[0], row[1], values.last());
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
}

void TestQueryWindows::print()
{
    QFETCH(QString, window);
    QFETCH(QString, caption);
    QFETCH(QString, value);
    QFETCH(QString, printed);
    QFETCH(QString, absent);
    auto w = makeWindow(m_state, window);
    loaded(*w);
    w->show();
    fillRow(w.get(), 0, caption, "=", value);
    click(w.get(), "Command1");
    QCOMPARE(m_dialogs->printAsked, printed.isEmpty() ? 0 : 1);
    QCOMPARE(openPreviews().size(), 0);
    QCOMPARE(m_messages->count(), 0);
    if (printed.isEmpty())
        return;
    QVERIFY(valueBox(w.get(), 0)->text().isEmpty());
    // pdftotext puts blanks and line breaks between glyph runs at will.
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), m_dialogs->printTo, "-"});
    QVERIFY2(p.waitForFinished(20000) && p.exitCode() == 0, "pdftotext (poppler-utils) reads the paper back");
    const QString paper = QString::fromUtf8(p.readAllStandardOutput()).remove(QRegularExpression(QStringLiteral("\\s")));
    QVERIFY2(paper.contains(printed), qPrintable(paper.left(200)));
    QVERIFY(absent.isEmpty() || !paper.contains(absent));
    if (window == QLatin1String("frmhangkongFind"))
        QVERIFY(paper.contains(ModReport::statisticsFindSet(m_db->connection(), "SUMhangkong", "hangkong='东航'")
                                   ->sumText(QStringLiteral("function2"))));
}

void TestQueryWindows::incomeSetUpFromCatalogue()
{
    const QStringList captions = {"起始日期", "截止日期", "张数", "销售额", "毛利"};
    frmsdSRFind w(m_state, 1);
    loaded(w);
    QCOMPARE(m_messages->count(), 0);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(itemsOf(fieldBox(&w, i)), captions);
        QCOMPARE(fieldBox(&w, i)->currentText(), captions.value(i));
    }
    // A number the catalogue lacks is named, and the window does not open.
    frmsdSRFind unknown(m_state, 9);
    QVERIFY(!unknown.load());
    QCOMPARE(m_messages->texts(), QStringList{"报表目录中没有编号为“9”的报表"});
}

void TestQueryWindows::incomeFailingStatement()
{
    frmsdSRFind w(m_state, 2);
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
    // Still usable: the same conditions run once the statement is right again.
    valueBox(&w, 2)->setText(QStringLiteral("国航"));
    click(&w, "cmdyes");
    QCOMPARE(m_messages->count(), 1);
    const auto doc = shownReport();
    QVERIFY(doc);
    QCOMPARE(doc->rowCount(), m_db->count(QStringLiteral("SRhangkong where hangkong='国航'")));
    QCOMPARE(captionIn(*doc, 2, QStringLiteral("labname")), QStringLiteral("航空公司='国航'"));
}

QTEST_MAIN(TestQueryWindows)
#include "tst_querywindows.moc"
