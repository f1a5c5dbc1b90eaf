// The report catalogue (pr_report) as the query windows load it by number.
#include "reports/clsmenu.h"
#include "support/testdatabase.h"

#include <QTest>

class TestClsmenu : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { m_db = std::make_unique<TestDatabase>(); }
    void deliveredCatalogue_data();
    void deliveredCatalogue();
    void missingNumberKeepsEarlierTexts();
    void missingNumberOnFreshInstance();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestClsmenu::deliveredCatalogue_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("findTable");
    QTest::addColumn<QString>("printTable");
    QTest::newRow("0 customer points") << 0 << "select * from SUMJIFEN" << "SUMJIFEN" << "SUMJIFEN";
    QTest::newRow("1 daily income") << 1 << "select * from SRriqi" << "SRriqi_tj" << "SRriqi";
    QTest::newRow("2 airline income") << 2 << "select * from SRhangkong" << "SRhangkong_tj" << "SRhangkong";
    QTest::newRow("3 clerk income") << 3 << "select * from SRdpy" << "SRdpy_tj" << "SRdpy";
}

void TestClsmenu::deliveredCatalogue()
{
    QFETCH(int, number);
    QFETCH(QString, sql);
    QFETCH(QString, findTable);
    QFETCH(QString, printTable);
    Clsmenu menu;
    menu.Menutj(m_db->connection(), number);
    QCOMPARE(menu.PrSQl(), sql);
    QCOMPARE(menu.Findtjtablename(), findTable);
    QCOMPARE(menu.Prtjtablename(), printTable);
}

void TestClsmenu::missingNumberKeepsEarlierTexts()
{
    Clsmenu menu;
    menu.Menutj(m_db->connection(), 2);
    menu.Menutj(m_db->connection(), 99);
    QCOMPARE(menu.PrSQl(), QStringLiteral("select * from SRhangkong"));
    QCOMPARE(menu.Findtjtablename(), QStringLiteral("SRhangkong_tj"));
    QCOMPARE(menu.Prtjtablename(), QStringLiteral("SRhangkong"));

    // A later good number still replaces them.
    menu.Menutj(m_db->connection(), 1);
    QCOMPARE(menu.PrSQl(), QStringLiteral("select * from SRriqi"));
}

void TestClsmenu::missingNumberOnFreshInstance()
{
    Clsmenu menu;
    menu.Menutj(m_db->connection(), -1);
    QCOMPARE(menu.PrSQl(), QString());
    QCOMPARE(menu.Findtjtablename(), QString());
    QCOMPARE(menu.Prtjtablename(), QString());
}

QTEST_MAIN(TestClsmenu)
#include "tst_clsmenu.moc"
