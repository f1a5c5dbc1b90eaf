// format(), now() and date() as the windows' SQL and code use them.
#include "store/sqlfunctions.h"
#include "store/sqlquote.h"
#include "support/testdatabase.h"

#include <QTest>

#include <ctime>

class TestSqlFunctions : public QObject
{
    Q_OBJECT
    // Every case but the clock's only reads, so one archive serves them all.
    std::unique_ptr<TestDatabase> m_db;

private slots:
    void initTestCase()
    {
        // Far enough east of UTC that the local date and the UTC date differ for
        // most of the day, so a function answering in UTC is caught.
        qputenv("TZ", "AVL-14");
        tzset();
        m_db = std::make_unique<TestDatabase>();
    }

    void format_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        const QString stamp = QStringLiteral("yyyy-mm-dd hh:mm:ss amPM");
        QTest::newRow("date typed short, upper MM") << QVariant("2003-5-1") << "yyyy-MM-dd" << "2003-05-01";
        QTest::newRow("afternoon") << QVariant("2003-05-01 14:05:09") << stamp << "2003-05-01 02:05:09 PM";
        QTest::newRow("midnight is 12 AM") << QVariant("2003-05-01") << stamp << "2003-05-01 12:00:00 AM";
        QTest::newRow("###00.00 negative rounding to zero") << QVariant(-0.001) << "###00.00" << "00.00";
        QTest::newRow("###00.00 wide number kept whole") << QVariant(1234567.891) << "###00.00" << "1234567.89";
        QTest::newRow("##00.00 decimal half rounds up") << QVariant(2.675) << "##00.00" << "02.68";
        QTest::newRow("#####0.00% negative share") << QVariant(-0.125) << "#####0.00%" << "-12.50%";
        QTest::newRow("text under a number pattern") << QVariant("n/a") << "###00.00" << "n/a";
    }
    void format()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        QCOMPARE(jetFormat(value, pattern).toString(), expected);
        // The same in the SQL of the engine under test: bound, and as a number written into the statement.
        QCOMPARE(m_db->connection().scalar(QStringLiteral("select format(?, ?)"), {value, pattern}).toString(), expected);
        if (value.typeId() == QMetaType::Double)
            QCOMPARE(m_db->scalar(QStringLiteral("select format(%1, %2)").arg(sqlNumber(value.toDouble()), sqlQuote(pattern))).toString(), expected);
    }
    // An empty itinerary sums to NULL; its formatted total must stay NULL too.
    void nullStaysNull()
    {
        for (const char *p : {"yyyy-mm-dd", "###00.00"}) {
            QVERIFY(jetFormat(QVariant(), QString::fromLatin1(p)).isNull());
            QVERIFY(m_db->scalar(QStringLiteral("select format(sum(jifen),'%1') from hyxc").arg(QLatin1String(p))).isNull());
        }
    }
    void todayIsLocal()
    {
        const QDate before = QDate::currentDate();
        m_db->connection().execute(QStringLiteral("insert into czyrz (czyname, czyxm) values ('admin', '客户档案')"));
        // date(), now() and the log columns' default read the local clock.
        const QStringList read = {m_db->scalar(QStringLiteral("select date()")).toString(), m_db->scalar(QStringLiteral("select now()")).toString(),
                                  m_db->scalar(QStringLiteral("select init_time from czyrz")).toString()};
        const QDate after = QDate::currentDate();
        QCOMPARE(read.at(1).size(), 19);
        for (const QString &text : read) {
            const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
            QVERIFY2(date == before || date == after, qPrintable(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestSqlFunctions)
#include "tst_sqlfunctions.moc"
