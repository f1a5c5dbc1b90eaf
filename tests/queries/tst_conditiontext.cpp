// The condition text builder on its own: rows in, WHERE text out, with a
// small hand-made dictionary standing in for pr_codedict.
#include "queries/conditiontext.h"
#include "store/fielddictionary.h"

#include <QTest>

namespace {

struct Entry
{
    QString code;
    QString type; // as a dictionary row may hold it, any case
};

// Caption -> field. The lookup upper-cases the type word as the dictionary access does.
const QHash<QString, Entry> &dictionary()
{
    static const QHash<QString, Entry> rows = {
        {QStringLiteral("航空公司"), {QStringLiteral("A"), QStringLiteral("CHAR")}},
        {QStringLiteral("张数"), {QStringLiteral("B"), QStringLiteral("NUME")}},
        {QStringLiteral("出票日期"), {QStringLiteral("C"), QStringLiteral("DATETIME")}},
        {QStringLiteral("登记日期"), {QStringLiteral("D"), QStringLiteral("DATE")}},
        {QStringLiteral("备注"), {QStringLiteral("E"), QStringLiteral("char")}},
        {QStringLiteral("代号"), {QStringLiteral("F"), QStringLiteral("XYZ")}},
        {QStringLiteral("起始日期"), {QStringLiteral("cprq"), QStringLiteral("DATETIME")}},
        {QStringLiteral("截止日期"), {QStringLiteral("cprq"), QStringLiteral("DATETIME")}},
    };
    return rows;
}

std::optional<ConditionField> lookup(const QString &caption)
{
    const auto it = dictionary().constFind(caption);
    if (it == dictionary().constEnd())
        return std::nullopt;
    return ConditionField{it->code, caption, FieldDictionary::typeWord(it->type)};
}

TypeWords typesOf(const QString &table)
{
    if (table == QLatin1String("points"))
        return TypeWordTables::customerPoints();
    if (table == QLatin1String("income"))
        return TypeWordTables::periodIncome();
    return TypeWordTables::statistics();
}

// Rows from parallel lists; missing entries are empty values on the first field with "=".
QVector<ConditionRow> rowsOf(const QStringList &fields, const QStringList &ops, const QStringList &values)
{
    QVector<ConditionRow> rows;
    for (int i = 0; i < values.size(); ++i)
        rows.append({fields.value(i, QStringLiteral("航空公司")), ops.value(i, QStringLiteral("=")), values.at(i)});
    return rows;
}

const QStringList kAndAnd = {QStringLiteral("and"), QStringLiteral("and")};

} // namespace

class TestConditionText : public QObject
{
    Q_OBJECT
private slots:
    void text_data();
    void text();
    void captionTextNamesFieldsByCaption();
    void acceptedRunsAfterEachAcceptedRow();
    void unknownFieldStopsAndNamesIt();
};

void TestConditionText::text_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("accepted");

    const QString air = QStringLiteral("航空公司");
    const QString zs = QStringLiteral("张数");
    const QString cp = QStringLiteral("出票日期");
    const QString dj = QStringLiteral("登记日期");
    const QString stats = QStringLiteral("statistics");
    const QString numberMessage = QStringLiteral("请输入数字");
    const QString dateMessage = QStringLiteral("日期输入错误");

    QTest::newRow("one text row") << QStringList{air, air, air} << QStringList{"=", "=", "="}
                                  << QStringList{"CA", "", ""} << kAndAnd << stats << "A='CA'" << QString() << 1;
    QTest::newRow("skipped row: connector of the gap before the row")
        << QStringList{air, air, zs} << QStringList{"=", "=", ">"} << QStringList{"CA", "", "2"}
        << QStringList{"and", "or"} << stats << "A='CA' or B>2" << QString() << 2;
    QTest::newRow("first connector used for row 1")
        << QStringList{air, zs, zs} << QStringList{"=", ">", "="} << QStringList{"CA", "2", ""}
        << QStringList{"or", "and"} << stats << "A='CA' or B>2" << QString() << 2;
    QTest::newRow("three rows, mixed connectors")
        << QStringList{air, zs, cp} << QStringList{"=", "<>", ">="} << QStringList{"CA", "2", "2003-1-1"}
        << QStringList{"or", "and"} << stats << "A='CA' or B<>2 and C>=#2003-1-1#" << QString() << 3;
    QTest::newRow("only the last row: no leading connector")
        << QStringList{air, air, air} << QStringList{"=", "=", "="} << QStringList{"", "", "MU"}
        << QStringList{"or", "or"} << stats << "A='MU'" << QString() << 1;
    QTest::newRow("nothing filled") << QStringList{air, zs, cp} << QStringList{"=", "=", "="}
                                    << QStringList{"", "", ""} << kAndAnd << stats << "" << QString() << 0;
    QTest::newRow("like on text") << QStringList{air} << QStringList{"like"} << QStringList{"C%"} << kAndAnd
                                  << stats << "A like 'C%'" << QString() << 1;
    QTest::newRow("like on a number, no quotes") << QStringList{zs} << QStringList{"like"} << QStringList{"5"}
                                                 << kAndAnd << stats << "B like 5" << QString() << 1;
    QTest::newRow("blanks stay in the value, field name trimmed")
        << QStringList{"  航空公司 "} << QStringList{"="} << QStringList{" CA "} << kAndAnd << stats << "A=' CA '"
        << QString() << 1;
    QTest::newRow("type word in lower case acts as CHAR")
        << QStringList{QStringLiteral("备注")} << QStringList{"="} << QStringList{"007"} << kAndAnd << stats
        << "E='007'" << QString() << 1;
    QTest::newRow("unknown type word: text still quoted")
        << QStringList{QStringLiteral("代号")} << QStringList{"="} << QStringList{"x' or 1=1 --"} << kAndAnd
        << stats << "F='x'' or 1=1 --'" << QString() << 1;
    QTest::newRow("apostrophe doubled") << QStringList{air} << QStringList{"="} << QStringList{"O'Neil"}
                                        << kAndAnd << stats << "A='O''Neil'" << QString() << 1;
    QTest::newRow("thousands separator") << QStringList{zs} << QStringList{">="} << QStringList{"1,000"}
                                         << kAndAnd << stats << "B>=1000" << QString() << 1;
    QTest::newRow("number from the parsed value") << QStringList{zs} << QStringList{"<"} << QStringList{" 12.50 "}
                                                  << kAndAnd << stats << "B<12.5" << QString() << 1;
    QTest::newRow("bad number stops with the text so far")
        << QStringList{air, zs, air} << QStringList{"=", ">", "="} << QStringList{"CA", "12a", "MU"} << kAndAnd
        << stats << "A='CA'" << numberMessage << 1;
    QTest::newRow("bad number in the first row") << QStringList{zs, air} << QStringList{"=", "="}
                                                 << QStringList{"1 2", "CA"} << kAndAnd << stats << ""
                                                 << numberMessage << 0;
    QTest::newRow("bad date stops with the text so far")
        << QStringList{air, cp, air} << QStringList{"=", ">=", "="} << QStringList{"CA", "2003-13-1", "MU"}
        << kAndAnd << stats << "A='CA'" << dateMessage << 1;
    QTest::newRow("31 April is no date") << QStringList{cp} << QStringList{"="} << QStringList{"2003-4-31"}
                                         << kAndAnd << stats << "" << dateMessage << 0;
    QTest::newRow("DATETIME between hash marks") << QStringList{cp} << QStringList{">="}
                                                 << QStringList{"2003-1-1"} << kAndAnd << stats << "C>=#2003-1-1#"
                                                 << QString() << 1;
    QTest::newRow("DATE in the points table is quoted as stored")
        << QStringList{dj} << QStringList{"="} << QStringList{"2003-5-1"} << kAndAnd << QStringLiteral("points")
        << "D='2003-05-01'" << QString() << 1;
    QTest::newRow("month-first DATE in the points table")
        << QStringList{dj} << QStringList{">="} << QStringList{"5/1/03"} << kAndAnd << QStringLiteral("points")
        << "D>='2003-05-01'" << QString() << 1;
    // Two-digit years: 29 is the last of this century, 30 the first of the last.
    for (const auto &[typed, stored] : {std::pair{"12/31/29", "2029-12-31"}, std::pair{"1/1/30", "1930-01-01"}})
        QTest::newRow(typed) << QStringList{dj} << QStringList{"="} << QStringList{typed} << kAndAnd
                             << QStringLiteral("points") << QStringLiteral("D='%1'").arg(stored) << QString() << 1;
    QTest::newRow("bad DATE in the points table") << QStringList{dj} << QStringList{"="} << QStringList{"5/32/03"}
                                                  << kAndAnd << QStringLiteral("points") << "" << dateMessage << 0;
    QTest::newRow("DATE in the income table between hash marks")
        << QStringList{dj} << QStringList{"<="} << QStringList{"2003-5-1"} << kAndAnd << QStringLiteral("income")
        << "D<=#2003-5-1#" << QString() << 1;
    QTest::newRow("operator not in the list written as =")
        << QStringList{zs, zs} << QStringList{"=>", "; delete"} << QStringList{"3", "4"} << kAndAnd << stats
        << "B=3 and B=4" << QString() << 2;
}

void TestConditionText::text()
{
    QFETCH(QStringList, fields);
    QFETCH(QStringList, ops);
    QFETCH(QStringList, values);
    QFETCH(QStringList, words);
    QFETCH(QString, table);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    QFETCH(int, accepted);

    const ConditionText result = strtjset(rowsOf(fields, ops, values), words, lookup, typesOf(table));
    QCOMPARE(result.text, expected);
    QCOMPARE(result.stopped, !message.isEmpty());
    QCOMPARE(result.message, message);
    QVERIFY(!result.unknownField);
    QCOMPARE(result.acceptedRows, accepted);
}

void TestConditionText::captionTextNamesFieldsByCaption()
{
    const QVector<ConditionRow> rows = {{QStringLiteral("起始日期"), QStringLiteral(">="), QStringLiteral("2025-1-1")},
                                        {QStringLiteral("截止日期"), QStringLiteral("<="), QStringLiteral("2025-12-31")},
                                        {QStringLiteral("航空公司"), QStringLiteral("like"), QString()}};
    const ConditionText result = strtjset(rows, kAndAnd, lookup, TypeWordTables::periodIncome());
    QCOMPARE(result.text, QStringLiteral("cprq>=#2025-1-1# and cprq<=#2025-12-31#"));
    QCOMPARE(result.captionText, QStringLiteral("起始日期>=#2025-1-1# and 截止日期<=#2025-12-31#"));

    // The caption text follows the same connectors and "like" spacing.
    const QVector<ConditionRow> more = {{QStringLiteral("航空公司"), QStringLiteral("like"), QStringLiteral("国%")},
                                        {QStringLiteral("张数"), QStringLiteral("="), QString()},
                                        {QStringLiteral("张数"), QStringLiteral(">"), QStringLiteral("1")}};
    const ConditionText other = strtjset(more, {QStringLiteral("and"), QStringLiteral("or")}, lookup,
                                         TypeWordTables::periodIncome());
    QCOMPARE(other.captionText, QStringLiteral("航空公司 like '国%' or 张数>1"));

    // A number shows as typed; the statement holds the same number, not its binary neighbour.
    const ConditionText typed = strtjset({{QStringLiteral("张数"), QStringLiteral(">="), QStringLiteral("12.3")}}, kAndAnd,
                                         lookup, TypeWordTables::periodIncome());
    QCOMPARE(typed.text, QStringLiteral("B>=12.3"));
    QCOMPARE(typed.captionText, QStringLiteral("张数>=12.3"));
}

void TestConditionText::acceptedRunsAfterEachAcceptedRow()
{
    const QVector<ConditionRow> rows = {{QStringLiteral("航空公司"), QStringLiteral("="), QStringLiteral("CA")},
                                        {QStringLiteral("张数"), QStringLiteral("="), QString()},
                                        {QStringLiteral("张数"), QStringLiteral(">"), QStringLiteral("2")},
                                        {QStringLiteral("张数"), QStringLiteral("<"), QStringLiteral("x")}};
    QStringList seen;
    const ConditionText result = strtjset(rows, {QStringLiteral("and"), QStringLiteral("and"), QStringLiteral("or")},
                                          lookup, TypeWordTables::statistics(),
                                          [&seen](const QString &text) { seen << text; });
    // The refused fourth row adds nothing and triggers no rebuild.
    QCOMPARE(seen, (QStringList{QStringLiteral("A='CA'"), QStringLiteral("A='CA' and B>2")}));
    QVERIFY(result.stopped);
    QCOMPARE(result.values.mid(0, 3), (QStringList{QStringLiteral("'CA'"), QString(), QStringLiteral("2")}));
}

void TestConditionText::unknownFieldStopsAndNamesIt()
{
    const QVector<ConditionRow> rows = {{QStringLiteral("航空公司"), QStringLiteral("="), QStringLiteral("CA")},
                                        {QStringLiteral(" 无此项 "), QStringLiteral("="), QStringLiteral("1")},
                                        {QStringLiteral("张数"), QStringLiteral("="), QStringLiteral("2")}};
    QStringList seen;
    const ConditionText result = strtjset(rows, kAndAnd, lookup, TypeWordTables::statistics(),
                                          [&seen](const QString &text) { seen << text; });
    QVERIFY(result.stopped);
    QVERIFY(result.unknownField);
    QCOMPARE(result.text, QStringLiteral("A='CA'"));
    QVERIFY2(result.message.contains(QStringLiteral("无此项")), qPrintable(result.message));
    QCOMPARE(seen.size(), 1);

    // An empty row never looks its field up.
    const QVector<ConditionRow> skipped = {{QStringLiteral("无此项"), QStringLiteral("="), QString()},
                                           {QStringLiteral("张数"), QStringLiteral("="), QStringLiteral("2")}};
    const ConditionText fine = strtjset(skipped, kAndAnd, lookup, TypeWordTables::statistics());
    QVERIFY(!fine.stopped);
    QCOMPARE(fine.text, QStringLiteral("B=2"));
}

QTEST_MAIN(TestConditionText)
#include "tst_conditiontext.moc"
