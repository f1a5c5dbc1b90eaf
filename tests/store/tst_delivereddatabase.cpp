// The database file as delivered: its dictionaries must describe its own
// tables, the catalogue statements must run, and the demo sample must be sound.
#include "store/recordset.h"
#include "store/schemafacts.h"
#include "support/testdatabase.h"

#include <QTest>

#include <memory>

namespace {

// First column of every row.
QStringList column(Connection &c, const QString &sql)
{
    Recordset rs;
    rs.open(sql, &c);
    QStringList values;
    for (int i = 0; i < rs.recordCount(); ++i)
        values << rs.valueAt(i, 0).toString();
    return values;
}

QStringList fieldsOf(Connection &c, const QString &sql)
{
    Recordset rs;
    rs.open(sql, &c);
    QStringList names;
    for (int i = 0; i < rs.fieldCount(); ++i)
        names << rs.fieldName(i).toLower();
    return names;
}

QStringList columnsOf(Connection &c, const QString &table)
{
    return fieldsOf(c, QStringLiteral("select * from %1 where 1=0").arg(table));
}

QStringList dictionaryCodes(Connection &c, const QString &table, bool visibleOnly)
{
    return column(c, QStringLiteral("select lower(colm_code) from dh_codedict where table_code='%1'%2 order by xh")
                         .arg(table, visibleOnly ? QStringLiteral(" and can_show='1'") : QString()));
}

// A condition as the query windows write one for a column of this type word.
QString conditionOn(const QString &code, const QString &typeWord)
{
    const QString type = typeWord.toUpper();
    if (type == QLatin1String("DATETIME") || type == QLatin1String("DATE"))
        return code + QStringLiteral(">=#2003-1-1#");
    if (type == QLatin1String("NUME") || type == QLatin1String("MON") || type == QLatin1String("BFL"))
        return code + QStringLiteral(">=0");
    return code + QStringLiteral("<>'国航'");
}

// Runs a source's statement with a condition on each column of its condition
// dictionary appended, as the query windows do; returns the failures.
QStringList failedConditions(Connection &c, const QString &sql, const QString &separator, const QString &dictionary)
{
    const int all = column(c, QStringLiteral("select count(*) from (%1)").arg(sql)).value(0).toInt();
    Recordset conditions;
    conditions.open(
        QStringLiteral("select colm_code, colm_type from pr_codedict where table_code='%1'").arg(dictionary), &c);
    if (conditions.recordCount() == 0)
        return {QStringLiteral("no conditions for ") + sql};
    QStringList failed;
    for (int k = 0; k < conditions.recordCount(); ++k) {
        const QString filtered =
            sql + separator + conditionOn(conditions.valueAt(k, 0).toString(), conditions.valueAt(k, 1).toString());
        try {
            Recordset rs;
            rs.open(filtered, &c);
            if (rs.recordCount() > all)
                failed << filtered + QStringLiteral(": more rows than without the condition");
        } catch (const DbException &e) {
            failed << filtered + QStringLiteral(": ") + e.description();
        }
    }
    return failed;
}

const DemoSize kSmallDemo{60, 600};

} // namespace

class TestDeliveredDatabase : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void dictionariesNameRealColumns();
    void physicalColumns_data();
    void physicalColumns();
    void catalogueStatementsRun();
    void statisticsSources();
    void valueListsExist();
    void demoPointsAreConsistent();

private:
    std::unique_ptr<TestDatabase> m_db;
};

// Only read here, so one small demo database serves every test.
void TestDeliveredDatabase::initTestCase() { m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, kSmallDemo); }
void TestDeliveredDatabase::cleanupTestCase() { m_db.reset(); }

void TestDeliveredDatabase::dictionariesNameRealColumns()
{
    Connection &c = m_db->connection();
    QStringList wrong;
    Recordset dh;
    dh.open(QStringLiteral("select table_code, colm_code from dh_codedict"), &c);
    QVERIFY(dh.recordCount() > 0);
    for (int i = 0; i < dh.recordCount(); ++i) {
        const QString table = dh.valueAt(i, 0).toString();
        if (!columnsOf(c, table).contains(dh.valueAt(i, 1).toString().toLower()))
            wrong << QStringLiteral("dh_codedict %1.%2").arg(table, dh.valueAt(i, 1).toString());
    }

    // A print-side source is a table or view, or the condition or print
    // dictionary of a catalogue report, whose rows come from its statement.
    Recordset pr;
    pr.open(QStringLiteral("select distinct table_code from pr_codedict"), &c);
    QVERIFY(pr.recordCount() > 0);
    for (int i = 0; i < pr.recordCount(); ++i) {
        const QString source = pr.valueAt(i, 0).toString();
        // The member statement's rows are made by the program from several tables.
        if (source.compare(QLatin1String("HYJFDZD"), Qt::CaseInsensitive) == 0)
            continue;
        QString sql = QStringLiteral("select * from ") + source;
        const SchemaFacts &schema = SchemaFacts::delivered();
        if (!schema.tables().contains(source, Qt::CaseInsensitive) && !schema.views().contains(source, Qt::CaseInsensitive)) {
            sql = column(c, QStringLiteral("select report_sql from pr_report where report_findtjtablename='%1' or "
                                           "report_Prtjtablename='%1'")
                                .arg(source))
                      .value(0);
            if (sql.isEmpty()) {
                wrong << QStringLiteral("pr_codedict source %1").arg(source);
                continue;
            }
        }
        const QStringList fields = fieldsOf(c, sql + QStringLiteral(" limit 0"));
        for (const QString &code :
             column(c, QStringLiteral("select colm_code from pr_codedict where table_code='%1'").arg(source)))
            if (!fields.contains(code.toLower()))
                wrong << QStringLiteral("pr_codedict %1.%2").arg(source, code);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
}

void TestDeliveredDatabase::physicalColumns_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("leading");
    QTest::addColumn<bool>("thenDictionary");

    QTest::newRow("pr_codedict") << "pr_codedict"
                                 << QStringList{"xh",       "table_code", "table_name", "colm_code", "colm_name", "colm_type",
                                                "colm_cd",  "sum_tag",    "colm_dq",    "can_show",  "memo"}
                                 << false;
    QTest::newRow("czyzd") << "czyzd" << QStringList{"czy_no", "czy_name", "czy_pass", "sys_tag"} << false;
    QTest::newRow("hyda") << "hyda" << QStringList{"id"} << true;
    QTest::newRow("hyxc") << "hyxc" << QStringList{"id"} << true;
    QTest::newRow("dict") << "dict" << QStringList{} << true;
}

void TestDeliveredDatabase::physicalColumns()
{
    QFETCH(QString, table);
    QFETCH(QStringList, leading);
    QFETCH(bool, thenDictionary);
    // Windows bind these tables by position, so the file's column order is the contract.
    QStringList expected = leading;
    if (thenDictionary)
        expected += dictionaryCodes(m_db->connection(), table, false);
    QCOMPARE(columnsOf(m_db->connection(), table), expected);
}

void TestDeliveredDatabase::catalogueStatementsRun()
{
    Connection &c = m_db->connection();
    const QStringList numbers = column(c, QStringLiteral("select xh from pr_report order by xh"));
    QVERIFY(numbers.size() >= 4);
    for (int i = 0; i < numbers.size(); ++i)
        QCOMPARE(numbers.at(i), QString::number(i));

    Recordset reports;
    reports.open(QStringLiteral("select report_sql, report_findtjtablename from pr_report order by xh"), &c);
    QStringList failed;
    for (int i = 0; i < reports.recordCount(); ++i) {
        // The catalogue window appends its condition after two blanks.
        failed += failedConditions(c, reports.valueAt(i, 0).toString(), QStringLiteral("  WHERE "),
                                   reports.valueAt(i, 1).toString());
    }
    QVERIFY2(failed.isEmpty(), qPrintable(failed.join(QLatin1Char('\n'))));
}

void TestDeliveredDatabase::statisticsSources()
{
    Connection &c = m_db->connection();
    for (const QString source : {"SUMhangkong", "SUMgeren", "SUMdaoda", "SUMJIFEN"}) {
        const QStringList fields = fieldsOf(c, QStringLiteral("select * from ") + source);
        QVERIFY2(source == QLatin1String("SUMJIFEN") || fields.contains(QLatin1String("amount3ofsum")), qPrintable(source));
        const QStringList failed = failedConditions(c, QStringLiteral("select * from ") + source, QStringLiteral(" WHERE "), source);
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join(QLatin1Char('\n'))));
    }
}

void TestDeliveredDatabase::valueListsExist()
{
    Connection &c = m_db->connection();
    const QStringList classes = QStringList{"航空公司", "内外", "定票员", "送票员"}
                                + column(c, QStringLiteral("select distinct check_value from dh_codedict where check_table='dict' and check_value<>''"));
    QVERIFY(classes.size() > 4);
    for (const QString &name : classes)
        QVERIFY2(c.scalar(QStringLiteral("select count(*) from dict where class=?"), {name}).toInt() > 0, qPrintable(name));
}

void TestDeliveredDatabase::demoPointsAreConsistent()
{
    Connection &c = m_db->connection();
    auto number = [&](const char *sql) { return column(c, QString::fromUtf8(sql)).value(0).toDouble(); };
    QCOMPARE(number("select count(*) from hyda"), double(kSmallDemo.customers));
    QCOMPARE(number("select count(*) from hyxc"), double(kSmallDemo.tickets));
    QCOMPARE(number("select count(*) from hyxc where jifenyue<0 or jifenyue>jifen+1e-9"), 0.0);
    QCOMPARE(number("select count(*) from (select kh from hyxc group by kh having total(jifenyue)>total(jifen)+1e-6)"),
             0.0);
    QCOMPARE(number("select count(*) from hyxc where kh not in (select kh from hyda)"), 0.0);
    // Points no longer available are exactly those the clearing log accounts for.
    QVERIFY(number("select count(*) from jifenallow") > 0);
    QVERIFY(qAbs(number("select total(jifen)-total(jifenyue) from hyxc") - number("select total(jifen) from jifenallow"))
            < 1e-6);
}

QTEST_GUILESS_MAIN(TestDeliveredDatabase)
#include "tst_delivereddatabase.moc"
