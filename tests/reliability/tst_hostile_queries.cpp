// Hostile text as query conditions: the condition text builder on its own,
// and the value boxes of every query window. A text value finds exactly the
// rows a bound parameter finds (and the terms after it still count); a value
// a date or number field cannot take is refused with the window's message.

#include "support/shownreport.h"
#include "support/windowload.h"
#include "hostilesupport.h"
#include "queries/conditionblock.h"
#include "queries/conditiontext.h"
#include "queries/frmhuiyuanfind.h"
#include "queries/frmkhfind.h"
#include "queries/frmsdsrfind.h"
#include "queries/statisticsfind.h"
#include "reports/reportdocument.h"
#include "reports/reporttemplate.h"
#include "store/recordset.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

using namespace Hostile;

namespace {

// Fills condition row i as the operator does: the field picked from its list.
bool fillRow(QWidget *w, int i, const QString &caption, const QString &op, const QString &text)
{
    auto *field = w->findChild<QComboBox *>(QStringLiteral("DataCombo1_%1").arg(i));
    auto *ops = w->findChild<QComboBox *>(QStringLiteral("Combo1_%1").arg(i));
    auto *value = w->findChild<QLineEdit *>(QStringLiteral("txtsj_%1").arg(i));
    if (!field || !ops || !value)
        return false;
    const int at = field->findText(caption);
    if (at < 0)
        return false;
    field->setCurrentIndex(at);
    ops->setCurrentText(op);
    paste(value, text);
    return true;
}

int boundRows()
{
    const auto document = shownReport();
    return document ? document->rowCount() : 0;
}

// Ticket rows carrying every input in the text columns the queries search,
// with look-alikes (quotes doubled, blanks trimmed) beside them.
void addTickets(sqlite3 *db)
{
    int n = 0;
    auto ticket = [&](const QString &text) {
        write(db, QStringLiteral("insert or ignore into hyda(kh, xm) values(?1, ?2)"),
              {QStringLiteral("Q%1").arg(++n), text});
        write(db,
              QStringLiteral("insert into hyxc(kh, cprq, qfrq, daoda, kaishi, hbh, cw, piaohao, ZS, amount1, amount2, "
                             "amount3, hangkong, neivai, zt, dpy, jifen, jifenyue) values(?1, '2024-02-20', "
                             "'2024-03-01', ?2, ?2, ?2, 'Y', ?3, 1, 1000, 900, 850, ?2, '国内', '正常', ?2, 50, 50)"),
              {QStringLiteral("Q%1").arg(n), text, QStringLiteral("781-%1").arg(n)});
    };
    for (const Input &in : inputs()) {
        if (in.text.isEmpty())
            continue;
        ticket(in.text);
        QString doubled = in.text;
        doubled.replace(QLatin1Char('\''), QLatin1String("''"));
        if (doubled != in.text)
            ticket(doubled);
        if (!in.text.trimmed().isEmpty() && in.text.trimmed() != in.text)
            ticket(in.text.trimmed());
    }
    ticket(QStringLiteral("东航"));
    ticket(QStringLiteral("东航"));
}

} // namespace

class HostileQueriesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void conditionText_data();
    void conditionText();
    void statistics_data();
    void statistics();
    void statisticsRefusals_data();
    void statisticsRefusals();
    void fieldCaption_data();
    void fieldCaption();
    void memberItinerary_data();
    void memberItinerary();
    void periodIncome_data();
    void periodIncome();
    void periodIncomeRefusals_data();
    void periodIncomeRefusals();
    void customerPoints_data();
    void customerPoints();

private:
    void checkNoEngineError();

    std::unique_ptr<Fixture> m_f;
    std::unique_ptr<frmhangkongFind> m_airline;
    std::unique_ptr<frmgerenFind> m_person;
    std::unique_ptr<frmdaodaFind> m_route;
    std::unique_ptr<frmHuiYuanFind> m_itinerary;
    std::unique_ptr<frmsdSRFind> m_incomeByAirline;
    std::unique_ptr<frmsdSRFind> m_incomeByDay;
    std::unique_ptr<frmkhFind> m_points;
    Messages m_messages;
    NoDialogs m_dialogs;
};

void HostileQueriesTest::initTestCase()
{
    // Nothing here changes the data, so every query shares one database.
    m_f = std::make_unique<Fixture>();
    addTickets(m_f->raw());
    m_airline = std::make_unique<frmhangkongFind>(m_f->state);
    loaded(*m_airline);
    m_person = std::make_unique<frmgerenFind>(m_f->state);
    loaded(*m_person);
    m_route = std::make_unique<frmdaodaFind>(m_f->state);
    loaded(*m_route);
    m_itinerary = std::make_unique<frmHuiYuanFind>(m_f->state);
    loaded(*m_itinerary);
    m_incomeByAirline = std::make_unique<frmsdSRFind>(m_f->state, 2);
    loaded(*m_incomeByAirline);
    m_incomeByDay = std::make_unique<frmsdSRFind>(m_f->state, 1);
    loaded(*m_incomeByDay);
    m_points = std::make_unique<frmkhFind>(m_f->state);
    loaded(*m_points);
    QCOMPARE(m_messages.count(), 0);
}

void HostileQueriesTest::init()
{
    m_messages.clear();
    closeShownReports();
}

void HostileQueriesTest::cleanup()
{
    QVERIFY(!QApplication::overrideCursor());
}

void HostileQueriesTest::cleanupTestCase()
{
    m_points.reset();
    m_incomeByDay.reset();
    m_incomeByAirline.reset();
    m_itinerary.reset();
    m_route.reset();
    m_person.reset();
    m_airline.reset();
    m_f.reset();
}

void HostileQueriesTest::checkNoEngineError()
{
    const QString leaked = engineErrorIn(m_messages.texts());
    QVERIFY2(leaked.isEmpty(), qPrintable(leaked));
}

void HostileQueriesTest::conditionText_data()
{
    QTest::addColumn<QString>("typeWord");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters");
    const QList<QPair<QString, QString>> kinds = {{QStringLiteral("CHAR"), QStringLiteral("=")},
                                                  {QStringLiteral("CHAR"), QStringLiteral("like")},
                                                  {QStringLiteral("CHAR"), QStringLiteral("<>")},
                                                  {QStringLiteral("TXT"), QStringLiteral("=")},
                                                  {QStringLiteral("DATETIME"), QStringLiteral("=")},
                                                  {QStringLiteral("DATE"), QStringLiteral("=")},
                                                  {QStringLiteral("NUME"), QStringLiteral("=")},
                                                  {QStringLiteral("UNKNOWN"), QStringLiteral("=")}};
    for (const auto &[word, op] : kinds)
        for (const Input &in : inputs())
            QTest::newRow(qPrintable(word + QLatin1Char(' ') + op + QLatin1Char(' ') + QLatin1String(in.tag)))
                << word << op << in.text << in.characters;
}

void HostileQueriesTest::conditionText()
{
    QFETCH(QString, typeWord);
    QFETCH(QString, op);
    QFETCH(QString, text);
    // Two rows: the hostile value, then a plain term joined by "or". A value
    // that ended its literal or started a comment would change the second.
    const QVector<ConditionRow> conditionRows = {{QStringLiteral("航空公司"), op, text},
                                                 {QStringLiteral("航空"), QStringLiteral("="), QStringLiteral("东航")}};
    const TypeWords types = {{QStringLiteral("CHAR"), ValueKind::Quoted},
                             {QStringLiteral("TXT"), ValueKind::Quoted},
                             {QStringLiteral("DATETIME"), ValueKind::HashDate},
                             {QStringLiteral("DATE"), ValueKind::QuotedDate},
                             {QStringLiteral("NUME"), ValueKind::Numeric}};
    const auto lookup = [&typeWord](const QString &caption) -> std::optional<ConditionField> {
        if (caption == QStringLiteral("航空"))
            return ConditionField{QStringLiteral("hangkong"), caption, QStringLiteral("CHAR")};
        if (caption != QStringLiteral("航空公司"))
            return std::nullopt;
        return ConditionField{QStringLiteral("hangkong"), caption, typeWord};
    };
    const ConditionText built = strtjset(conditionRows, {QStringLiteral("or")}, lookup, types);

    sqlite3 *db = m_f->raw();
    const bool dateOrNumber = typeWord == QLatin1String("DATETIME") || typeWord == QLatin1String("DATE")
                              || typeWord == QLatin1String("NUME");
    if (!text.isEmpty() && dateOrNumber) {
        QVERIFY(built.stopped);
        QVERIFY(!built.unknownField);
        QCOMPARE(built.message, typeWord == QLatin1String("NUME") ? QStringLiteral("请输入数字")
                                                                   : QStringLiteral("日期输入错误"));
        QCOMPARE(built.acceptedRows, 0);
        QVERIFY(built.text.isEmpty());
        return;
    }
    QVERIFY2(!built.stopped, qPrintable(built.message));
    QCOMPARE(built.acceptedRows, text.isEmpty() ? 1 : 2);
    // The caption text (a report's subtitle) shows the value as typed.
    const QString plainTerm = QStringLiteral("航空='东航'");
    const QString typedTerm = QStringLiteral("航空公司") + (op == QLatin1String("like") ? QStringLiteral(" like ") : op)
                              + QLatin1Char('\'') + text + QLatin1Char('\'');
    QCOMPARE(built.captionText, text.isEmpty() ? plainTerm : typedTerm + QStringLiteral(" or ") + plainTerm);

    // The program's statement finds what the same condition finds with the value bound.
    Recordset found;
    try {
        found.open(QStringLiteral("select count(*) from hyxc where ") + built.text, &m_f->state.connection());
    } catch (const DbException &e) {
        QFAIL(qPrintable(QStringLiteral("the condition did not run: ") + e.description().left(200)));
    }
    const QString sqlOp = op == QLatin1String("like") ? QStringLiteral(" like ") : op;
    const qint64 expected =
        text.isEmpty() ? number(db, QStringLiteral("select count(*) from hyxc where hangkong='东航'"))
                       : number(db, QStringLiteral("select count(*) from hyxc where hangkong") + sqlOp
                                        + QStringLiteral("?1 or hangkong='东航'"),
                                {text});
    QCOMPARE(found.value(0).toLongLong(), expected);
}

void HostileQueriesTest::statistics_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters");
    const QList<QStringList> fields = {
        {QStringLiteral("frmhangkongFind"), QStringLiteral("航空公司"), QStringLiteral("SUMhangkong"), QStringLiteral("hangkong")},
        {QStringLiteral("frmgerenFind"), QStringLiteral("定票员"), QStringLiteral("SUMgeren"), QStringLiteral("dpy")},
        {QStringLiteral("frmdaodaFind"), QStringLiteral("出发"), QStringLiteral("SUMdaoda"), QStringLiteral("kaishi")},
        {QStringLiteral("frmdaodaFind"), QStringLiteral("到达"), QStringLiteral("SUMdaoda"), QStringLiteral("daoda")}};
    for (const QStringList &f : fields)
        for (const Input &in : inputs())
            QTest::newRow(qPrintable(f.at(0) + QLatin1Char(' ') + f.at(3) + QLatin1Char(' ') + QLatin1String(in.tag)))
                << f.at(0) << f.at(1) << f.at(2) << f.at(3) << in.text << in.characters;
}

void HostileQueriesTest::statistics()
{
    QFETCH(QString, window);
    QFETCH(QString, caption);
    QFETCH(QString, source);
    QFETCH(QString, column);
    QFETCH(QString, text);
    StatisticsFind *w = window == QLatin1String("frmhangkongFind") ? static_cast<StatisticsFind *>(m_airline.get())
                        : window == QLatin1String("frmgerenFind")  ? static_cast<StatisticsFind *>(m_person.get())
                                                                   : static_cast<StatisticsFind *>(m_route.get());
    const Snapshot before = snapshot(m_f->raw());
    QVERIFY(fillRow(w, 0, caption, QStringLiteral("="), text));
    const Report built = w->strtjset();
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
    if (text.isEmpty()) {
        // No value, no condition: nothing is built.
        QVERIFY(!built);
    } else {
        const qint64 expected = number(m_f->raw(),
                                       QStringLiteral("select count(*) from \"%1\" where \"%2\"=?1").arg(source, column),
                                       {text});
        QVERIFY(expected > 0);
        QVERIFY(built);
        QCOMPARE(qint64(built->rowCount()), expected);
    }
    w->conditions()->txtsjclear();
    const QString changed = changedBesides(before, snapshot(m_f->raw()), {});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileQueriesTest::statisticsRefusals_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    for (const Input &in : inputs()) {
        QTest::newRow(qPrintable(QStringLiteral("date ") + QLatin1String(in.tag)))
            << QStringLiteral("出票日期") << QStringLiteral("日期输入错误") << in.text;
        QTest::newRow(qPrintable(QStringLiteral("number ") + QLatin1String(in.tag)))
            << QStringLiteral("张数") << QStringLiteral("请输入数字") << in.text;
    }
}

void HostileQueriesTest::statisticsRefusals()
{
    QFETCH(QString, caption);
    QFETCH(QString, message);
    QFETCH(QString, text);
    QVERIFY(fillRow(m_airline.get(), 0, caption, QStringLiteral("="), text));
    const Report built = m_airline->strtjset();
    checkNoEngineError();
    QVERIFY(!built);
    if (text.isEmpty()) {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
    } else {
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, message);
        QCOMPARE(m_messages.at(0).icon, Msg::Icon::Exclamation);
        // The box keeps what was typed, for another try.
        QCOMPARE(m_airline->conditions()->value(0)->text(), text);
    }
    QCOMPARE(boundRows(), 0);
    m_airline->conditions()->txtsjclear();
}

void HostileQueriesTest::fieldCaption_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileQueriesTest::fieldCaption()
{
    QFETCH(QString, text);
    // The field box can be typed into; a name the dictionary does not hold is refused.
    auto *field = m_airline->findChild<QComboBox *>(QStringLiteral("DataCombo1_0"));
    QVERIFY(field && field->isEditable());
    field->setCurrentIndex(-1);
    field->setEditText(text);
    paste(m_airline->conditions()->value(0), QStringLiteral("东航"));
    const Report built = m_airline->strtjset();
    checkNoEngineError();
    QVERIFY(!built);
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text,
             QStringLiteral("没有名为“%1”的查询项目，请从列表中选择").arg(text.trimmed()));
    QCOMPARE(boundRows(), 0);
    m_airline->conditions()->txtsjclear();
}

void HostileQueriesTest::memberItinerary_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("text");
    for (const Input &in : inputs()) {
        QTest::newRow(qPrintable(QStringLiteral("flight = ") + QLatin1String(in.tag)))
            << QStringLiteral("航班号") << QStringLiteral("hbh") << QStringLiteral("=") << in.text;
        QTest::newRow(qPrintable(QStringLiteral("flight like ") + QLatin1String(in.tag)))
            << QStringLiteral("航班号") << QStringLiteral("hbh") << QStringLiteral("like") << in.text;
        QTest::newRow(qPrintable(QStringLiteral("clerk = ") + QLatin1String(in.tag)))
            << QStringLiteral("定票员") << QStringLiteral("dpy") << QStringLiteral("=") << in.text;
    }
}

void HostileQueriesTest::memberItinerary()
{
    QFETCH(QString, caption);
    QFETCH(QString, column);
    QFETCH(QString, op);
    QFETCH(QString, text);
    frmHuiYuanFind &w = *m_itinerary;
    const Snapshot before = snapshot(m_f->raw());
    w.results()->close();
    QVERIFY(fillRow(&w, 0, caption, op, text));
    w.Cmdfind_Click();
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
    if (text.isEmpty()) {
        QVERIFY(!w.results()->isOpen()); // nothing to find with
    } else {
        const QString sqlOp = op == QLatin1String("like") ? QStringLiteral(" like ") : op;
        const qint64 expected =
            number(m_f->raw(), QStringLiteral("select count(*) from hyxc where %1%2?1").arg(column, sqlOp), {text});
        QVERIFY(expected > 0);
        QVERIFY(w.results()->isOpen());
        QCOMPARE(qint64(w.results()->recordCount()), expected);
        if (op == QLatin1String("="))
            for (int r = 0; r < w.results()->recordCount(); ++r)
                QVERIFY(w.results()->valueAt(r, w.results()->fieldIndex(column)).toString().compare(
                            text, Qt::CaseInsensitive)
                        == 0);
    }
    QVERIFY(w.conditions()->value(0)->text().isEmpty());
    const QString changed = changedBesides(before, snapshot(m_f->raw()), {});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileQueriesTest::periodIncome_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileQueriesTest::periodIncome()
{
    QFETCH(QString, text);
    frmsdSRFind &w = *m_incomeByAirline;
    const Snapshot before = snapshot(m_f->raw());
    // The rows keep the fields of their own positions: row 2 is the airline.
    QCOMPARE(w.conditions()->field(2)->currentText(), QStringLiteral("航空公司"));
    paste(w.conditions()->value(2), text);
    w.results()->close();
    closeShownReports();
    w.printlx(QStringLiteral("V"));
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
    const qint64 expected =
        text.isEmpty() ? number(m_f->raw(), QStringLiteral("select count(*) from SRhangkong"))
                       : number(m_f->raw(), QStringLiteral("select count(*) from SRhangkong where hangkong=?1"), {text});
    QVERIFY(expected > 0);
    QVERIFY(w.results()->isOpen());
    QCOMPARE(qint64(w.results()->recordCount()), expected);
    QCOMPARE(qint64(boundRows()), expected);
    // The subtitle names the condition as the operator typed it.
    QString subtitle;
    for (const ReportControl &c : shownReport()->section(2))
        if (c.name == QLatin1String("labname"))
            subtitle = c.caption;
    QCOMPARE(subtitle, text.isEmpty() ? QString() : QStringLiteral("航空公司='") + text + QLatin1Char('\''));
    const QString changed = changedBesides(before, snapshot(m_f->raw()), {});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileQueriesTest::periodIncomeRefusals_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    for (const Input &in : inputs()) {
        QTest::newRow(qPrintable(QStringLiteral("from date ") + QLatin1String(in.tag)))
            << 0 << QStringLiteral("日期输入错误") << in.text;
        QTest::newRow(qPrintable(QStringLiteral("tickets ") + QLatin1String(in.tag)))
            << 2 << QStringLiteral("请输入数字") << in.text;
        QTest::newRow(qPrintable(QStringLiteral("sales ") + QLatin1String(in.tag)))
            << 3 << QStringLiteral("请输入数字") << in.text;
    }
}

void HostileQueriesTest::periodIncomeRefusals()
{
    QFETCH(int, row);
    QFETCH(QString, message);
    QFETCH(QString, text);
    frmsdSRFind &w = *m_incomeByDay;
    paste(w.conditions()->value(row), text);
    w.results()->close();
    closeShownReports();
    w.printlx(QStringLiteral("V"));
    checkNoEngineError();
    if (text.isEmpty()) {
        // No condition: the whole period list.
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        QCOMPARE(qint64(w.results()->recordCount()), number(m_f->raw(), QStringLiteral("select count(*) from SRriqi")));
    } else {
        // Refused; the report then runs on the rows accepted before it, here none: no filter.
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, message);
        QCOMPARE(qint64(boundRows()), number(m_f->raw(), QStringLiteral("select count(*) from SRriqi")));
    }
    QVERIFY(w.conditions()->value(row)->text().isEmpty());
}

void HostileQueriesTest::customerPoints_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    for (const Input &in : inputs()) {
        QTest::newRow(qPrintable(QStringLiteral("name ") + QLatin1String(in.tag)))
            << QStringLiteral("姓名") << QStringLiteral("xm") << QString() << in.text;
        // A number column whose type word this window does not list: its text is compared as text.
        QTest::newRow(qPrintable(QStringLiteral("flights ") + QLatin1String(in.tag)))
            << QStringLiteral("乘机次数") << QStringLiteral("cs") << QString() << in.text;
        QTest::newRow(qPrintable(QStringLiteral("registered ") + QLatin1String(in.tag)))
            << QStringLiteral("登记日期") << QStringLiteral("djrc") << QStringLiteral("日期输入错误") << in.text;
        QTest::newRow(qPrintable(QStringLiteral("points ") + QLatin1String(in.tag)))
            << QStringLiteral("累计积分") << QStringLiteral("jifen") << QStringLiteral("请输入数字") << in.text;
    }
}

void HostileQueriesTest::customerPoints()
{
    QFETCH(QString, caption);
    QFETCH(QString, column);
    QFETCH(QString, message);
    QFETCH(QString, text);
    frmkhFind &w = *m_points;
    const Snapshot before = snapshot(m_f->raw());
    QVERIFY(fillRow(&w, 0, caption, QStringLiteral("="), text));
    closeShownReports();
    w.run(QStringLiteral("v"));
    checkNoEngineError();
    if (!message.isEmpty() && !text.isEmpty()) {
        // Refused; the report then runs on the rows accepted before it, here none: no filter.
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, message);
        QCOMPARE(qint64(boundRows()), number(m_f->raw(), QStringLiteral("select count(*) from SUMJIFEN")));
        QVERIFY(w.conditions()->value(0)->text().isEmpty());
    } else {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        const qint64 expected =
            text.isEmpty()
                ? number(m_f->raw(), QStringLiteral("select count(*) from SUMJIFEN"))
                : number(m_f->raw(), QStringLiteral("select count(*) from SUMJIFEN where \"%1\"=?1").arg(column), {text});
        if (column == QLatin1String("xm") && !text.isEmpty())
            QVERIFY(expected > 0);
        QCOMPARE(qint64(boundRows()), expected);
        QVERIFY(w.conditions()->value(0)->text().isEmpty());
    }
    const QString changed = changedBesides(before, snapshot(m_f->raw()), {});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

QTEST_MAIN(HostileQueriesTest)
#include "tst_hostile_queries.moc"
