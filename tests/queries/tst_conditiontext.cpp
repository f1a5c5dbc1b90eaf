// The condition text builder on its own: rows in, WHERE text out, with a
// small hand-made dictionary standing in for pr_codedict.
#include "domain/queries/conditiontext.h"
#include "store/fielddictionary.h"

#include <QTest>

namespace {

// Caption -> field code and type word (any case, as a dictionary row may hold it).
std::optional<ConditionField> lookup(const QString &caption)
{
    static const QHash<QString, QPair<QString, QString>> rows = {
        {"航空公司", {"A", "CHAR"}}, {"张数", {"B", "NUME"}},    {"出票日期", {"C", "DATETIME"}},
        {"登记日期", {"D", "DATE"}}, {"代号", {"F", "XYZ"}},      {"起始日期", {"cprq", "DATETIME"}}};
    const auto it = rows.constFind(caption);
    if (it == rows.constEnd())
        return std::nullopt;
    return ConditionField{it->first, caption, FieldDictionary::typeWord(it->second)};
}

} // namespace

class TestConditionText : public QObject
{
    Q_OBJECT
private slots:
    void text_data()
    {
        QTest::addColumn<QStringList>("rows"); // caption|operator|value
        QTest::addColumn<QString>("words");    // the connectors between rows
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("accepted");
        const QString stats = QStringLiteral("statistics"), points = QStringLiteral("points");
        const QString number = QStringLiteral("请输入数字"), date = QStringLiteral("日期输入错误");
        QTest::newRow("skipped row: connector of the gap before the row")
            << QStringList{"航空公司|=|CA", "航空公司|=|", "张数|>|2"} << "and or" << stats << "A='CA' or B>2" << "" << 2;
        QTest::newRow("first connector for row 1") << QStringList{"航空公司|=|CA", "张数|<>|2", "出票日期|>=|2003-1-1"}
                                                   << "or and" << stats << "A='CA' or B<>2 and C>=#2003-1-1#" << "" << 3;
        QTest::newRow("only the last row: no leading connector")
            << QStringList{"航空公司|=|", "航空公司|=|MU"} << "or" << stats << "A='MU'" << "" << 1;
        QTest::newRow("unknown type word: quoted") << QStringList{"代号|=|x' or 1=1 --"} << "" << stats
                                                   << "F='x'' or 1=1 --'" << "" << 1;
        QTest::newRow("apostrophe doubled") << QStringList{"航空公司|=|O'Neil"} << "" << stats << "A='O''Neil'" << "" << 1;
        QTest::newRow("number as parsed") << QStringList{"张数|<| 12.50 "} << "" << stats << "B<12.5" << "" << 1;
        QTest::newRow("bad number stops with the text so far")
            << QStringList{"航空公司|=|CA", "张数|>|12a", "航空公司|=|MU"} << "and and" << stats << "A='CA'" << number << 1;
        QTest::newRow("31 April is no date") << QStringList{"出票日期|=|2003-4-31"} << "" << stats << "" << date << 0;
        // DATE in the points table is written as stored; two-digit years: 29 is the last of this century, 30 the first of the last.
        QTest::newRow("12/31/29") << QStringList{"登记日期|=|12/31/29"} << "" << points << "D='2029-12-31'" << "" << 1;
        QTest::newRow("1/1/30") << QStringList{"登记日期|=|1/1/30"} << "" << points << "D='1930-01-01'" << "" << 1;
        QTest::newRow("DATE in the income table") << QStringList{"登记日期|<=|2003-5-1"} << "" << "income" << "D<=#2003-5-1#"
                                                  << "" << 1;
        QTest::newRow("operator not in the list written as =")
            << QStringList{"张数|=>|3", "张数|; delete|4"} << "and" << stats << "B=3 and B=4" << "" << 2;
    }

    void text()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, words);
        QFETCH(QString, table);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        QFETCH(int, accepted);
        QVector<ConditionRow> conditions;
        for (const QString &row : rows)
            conditions.append({row.section('|', 0, 0), row.section('|', 1, 1), row.section('|', 2)});
        const TypeWords types = table == "points" ? TypeWordTables::customerPoints()
                                : table == "income" ? TypeWordTables::periodIncome()
                                                    : TypeWordTables::statistics();
        const ConditionText result =
            strtjset(conditions, words.split(QLatin1Char(' '), Qt::SkipEmptyParts) + QStringList{"and", "and"}, lookup, types);
        QCOMPARE(result.text, expected);
        QCOMPARE(result.message, message);
        QCOMPARE(result.stopped, !message.isEmpty());
        QCOMPARE(result.acceptedRows, accepted);
    }

};

QTEST_MAIN(TestConditionText)
#include "tst_conditiontext.moc"
