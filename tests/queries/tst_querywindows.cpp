// The condition block and the query windows on a demo database: what they
// list, what they bind, what they preview, and what they tell the operator.
#include "queries/conditionblock.h"
#include "queries/frmhuiyuanfind.h"
#include "queries/frmkhfind.h"
#include "queries/frmsdsrfind.h"
#include "queries/statisticsfind.h"
#include "domain/reports/reportdocument.h"
#include "domain/reports/reportexport.h"
#include "domain/reports/xlsxexport.h"
#include "domain/shell/appstate.h"
#include "store/recordset.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/shownreport.h"
#include "support/testdatabase.h"
#include "support/windowload.h"
#include "support/xlsxsheet.h"

#include <QCheckBox>
#include <QComboBox>
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

std::unique_ptr<QueryWindow> makeWindow(AppState &state, const QString &type)
{
    if (type == QLatin1String("frmhangkongFind"))
        return std::make_unique<frmhangkongFind>(state);
    if (type == QLatin1String("frmgerenFind"))
        return std::make_unique<frmgerenFind>(state);
    if (type == QLatin1String("frmkhFind"))
        return std::make_unique<frmkhFind>(state);
    return std::make_unique<frmsdSRFind>(state, type.right(1).toInt());
}

} // namespace

class TestQueryWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{40, 600});
        m_state.setLocation(m_db->folder(), m_db->fileName());
        m_state.connection().open(m_state.connectionText());
    }

    void init()
    {
        m_messages = std::make_unique<MessageLog>();
    }

    void cleanup()
    {
        closeShownReports();
        m_messages.reset();
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!QApplication::overrideCursor());
    }

    void blockBuildsFromItsDictionary()
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
        QCOMPARE(fieldBox(&block, 2)->count(), 3);
        fillRow(&block, 0, "备注", "=", "007");
        fillRow(&block, 2, "张数", ">", "3");
        connectorBox(&block, 1)->setCurrentText(QStringLiteral("或者"));
        QCOMPARE(block.strtjset(TypeWordTables::statistics()).text, QStringLiteral("E='007' or B>3"));
        QCOMPARE(block.text4()->text(), QStringLiteral("E='007' or B>3"));
        QCOMPARE(m_messages->count(), 0);

        // Clearing empties the values only.
        block.txtsjclear();
        QVERIFY(valueBox(&block, 1)->text().isEmpty() && valueBox(&block, 2)->text().isEmpty());
        QCOMPARE(fieldBox(&block, 2)->currentText() + connectorBox(&block, 1)->currentText(), QStringLiteral("张数或者"));
    }

    void conditionsToReport_data()
    {
        // Conditions are "caption|operator|value" rows; a value "?sql" is read from
        // the archive first. `count` counts the rows the report must hold (%1, %2:
        // the values), null when no report may open.
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("conditions");
        QTest::addColumn<QString>("count");
        QTest::newRow("airline") << "frmhangkongFind" << QStringList{"航空公司|=|国航"} << "SUMhangkong where hangkong='国航'";
        QTest::newRow("no matching rows") << "frmgerenFind" << QStringList{"航空公司|=|无此航空"} << QString();
        QTest::newRow("income between two dates")
            << "frmsdSRFind1"
            << QStringList{"起始日期|>=|?select cprq from SRriqi order by cprq limit 1 offset 2",
                           "截止日期|<=|?select cprq from SRriqi order by cprq limit 1 offset 9"}
            << "SRriqi where cprq>='%1' and cprq<='%2'";
        QTest::newRow("points of one customer")
            << "frmkhFind" << QStringList{"卡号|=|?select kh from hyda order by id limit 1 offset 3"} << "hyda where kh='%1'";
    }

    void conditionsToReport()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, conditions);
        QFETCH(QString, count);
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
        QCOMPARE(m_messages->count(), 0);
        QCOMPARE(openPreviews().size(), count.isNull() ? 0 : 1);
        for (int i = 0; i < values.size(); ++i) // kept when nothing was shown, cleared after a report
            QCOMPARE(valueBox(w.get(), i)->text(), count.isNull() ? values.at(i) : QString());
        if (!count.isNull())
            QCOMPARE(shownReport()->rowCount(), m_db->count(count.arg(values.value(0), values.value(1))));
    }

    void memberItineraryClearsItsValues()
    {
        frmHuiYuanFind w(m_state);
        loaded(w);
        const QString kh = scalar(QStringLiteral("select kh from hyxc order by id limit 1"));
        fillRow(&w, 0, "卡号", "=", kh);
        w.Cmdfind_Click();
        QCOMPARE(w.results()->recordCount(), m_db->connection().scalar("select count(*) from hyxc where kh=?", {kh}).toInt());
        QVERIFY(valueBox(&w, 0)->text().isEmpty());
    }

    // Letters typed as a card number also find, by pinyin, the tickets of every
    // customer bearing a name they spell, and of no one else.
    void memberItineraryByPinyin()
    {
        m_db->connection().execute(QStringLiteral("insert into hyda (kh, xm) values ('PY1','鑫鑫鑫'), ('PY2','鑫鑫鑫'), ('PY3','鑫鑫')"));
        m_db->connection().execute(QStringLiteral("insert into hyxc (kh, ZS) values ('PY1',1), ('PY1',1), ('PY2',1), ('PY3',1)"));
        const auto restore = qScopeGuard([this] {
            m_db->connection().execute(QStringLiteral("delete from hyxc where kh like 'PY%'"));
            m_db->connection().execute(QStringLiteral("delete from hyda where kh like 'PY%'"));
        });
        frmHuiYuanFind w(m_state);
        loaded(w);
        fillRow(&w, 0, "卡号", "=", "xinxinxin");
        w.Cmdfind_Click();
        QCOMPARE(w.results()->recordCount(), 3);
        QCOMPARE(m_messages->count(), 0);
    }

    void incomeFailingStatement()
    {
        frmsdSRFind w(m_state, 2);
        loaded(w);
        w.show();
        valueBox(&w, 2)->setText(QStringLiteral("国航"));
        const QString sql = scalar(QStringLiteral("select report_sql from pr_report where xh=2"));
        m_db->connection().execute(QStringLiteral("update pr_report set report_sql='select * from SRnowhere' where xh=2"));
        click(&w, "cmdyes");
        m_db->connection().execute(QStringLiteral("update pr_report set report_sql=? where xh=2"), {sql});
        QCOMPARE(m_messages->count(), 1);
        QCOMPARE(m_messages->icon(), Msg::Icon::Stop);
        QCOMPARE(openPreviews().size(), 0);
        // A number the catalogue lacks is named, and the window does not open.
        frmsdSRFind unknown(m_state, 9);
        QVERIFY(!unknown.load());
        QCOMPARE(m_messages->last(), QStringLiteral("报表目录中没有编号为“9”的报表"));
    }

    void statisticsSayWhatTheyCover()
    {
        frmhangkongFind w(m_state);
        loaded(w);
        fillRow(&w, 0, "航空公司", "=", "国航");
        fillRow(&w, 1, "出票日期", ">=", "2000-1-1");
        connectorBox(&w, 0)->setCurrentText(QStringLiteral("或者"));
        child<QComboBox>(&w, "Cmbperiod")->setCurrentIndex(1);
        const QString covers = "条件：航空公司 等于 “国航” 或者 出票日期 大于等于 2000-01-01；统计方式：按月";
        const QString pdf = m_db->tempDir() + "/covers.pdf", xlsx = m_db->tempDir() + "/covers.xlsx";
        const Report report = w.strtjset();
        QVERIFY(XlsxExport::write(ReportExport::table(*report), xlsx).ok);
        QCOMPARE(XlsxSheet(xlsx).at("A2").value, covers);
        // The chart page is left out of the preview at a click, and so out of this report's next print.
        ReportPreview preview(report);
        const int pages = preview.pageCount();
        child<QCheckBox>(&preview, "withChart")->setChecked(false);
        QCOMPARE(preview.pageCount(), pages - 1);
        FakeDialogs dialogs;
        dialogs.printTo = pdf;
        click(&w, "Command1");
        QProcess pdftotext;
        pdftotext.start("pdftotext", {pdf, "-"});
        QVERIFY(pdftotext.waitForFinished(30000) && pdftotext.exitCode() == 0);
        const QString printed = QString::fromUtf8(pdftotext.readAllStandardOutput()).remove(QRegularExpression("\\s"));
        QVERIFY2(printed.contains(QString(covers).remove(' ')) && !printed.contains("图表"), qPrintable(printed));
    }

private:
    QString scalar(const QString &sql) { return m_db->scalar(sql).toString(); }

    std::unique_ptr<TestDatabase> m_db;
    AppState m_state;
    std::unique_ptr<MessageLog> m_messages;
};

QTEST_MAIN(TestQueryWindows)
#include "tst_querywindows.moc"
