// format(), now() and date() as the windows' SQL and code use them.
#include "store/sqlfunctions.h"
#include "store/sqlquote.h"
#include "support/testdatabase.h"

#include <QRegularExpression>
#include <QTest>

#include <ctime>

namespace {

// Every case here only reads, so one archive serves them all.
TestDatabase &shared()
{
    static TestDatabase db;
    return db;
}

} // namespace

class TestSqlFunctions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void format_data();
    void format();
    void nullStaysNull_data();
    void nullStaysNull();
    void formatInSql_data();
    void formatInSql();
    void todayIsLocal();
};

void TestSqlFunctions::initTestCase()
{
    // Far enough east of UTC that the local date and the UTC date differ for
    // most of the day, so a function answering in UTC is caught.
    qputenv("TZ", "AVL-14");
    tzset();
}

void TestSqlFunctions::format_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");

    const QString stamp = QStringLiteral("yyyy-mm-dd hh:mm:ss amPM");
    QTest::newRow("date, lower mm is the month") << QVariant("2003-05-01 14:05:09") << "yyyy-mm-dd" << "2003-05-01";
    QTest::newRow("date, upper MM") << QVariant("2003-05-01 14:05:09") << "yyyy-MM-dd" << "2003-05-01";
    QTest::newRow("date typed short") << QVariant("2003-5-1") << "yyyy-mm-dd" << "2003-05-01";
    QTest::newRow("QDate") << QVariant(QDate(2003, 5, 1)) << "yyyy-MM-dd" << "2003-05-01";
    QTest::newRow("afternoon") << QVariant("2003-05-01 14:05:09") << stamp << "2003-05-01 02:05:09 PM";
    QTest::newRow("morning") << QVariant("2003-05-01 09:45:01") << stamp << "2003-05-01 09:45:01 AM";
    QTest::newRow("midnight is 12 AM") << QVariant("2003-05-01 00:00:00") << stamp << "2003-05-01 12:00:00 AM";
    QTest::newRow("noon is 12 PM") << QVariant("2003-05-01 12:30:00") << stamp << "2003-05-01 12:30:00 PM";
    QTest::newRow("pure date has midnight") << QVariant("2003-05-01") << stamp << "2003-05-01 12:00:00 AM";
    QTest::newRow("QDateTime") << QVariant(QDateTime(QDate(2003, 5, 1), QTime(23, 59, 59))) << stamp
                               << "2003-05-01 11:59:59 PM";
    QTest::newRow("text under a date pattern") << QVariant("not yet") << "yyyy-mm-dd" << "not yet";

    QTest::newRow("###00.00 zero") << QVariant(0) << "###00.00" << "00.00";
    QTest::newRow("###00.00 five") << QVariant(5) << "###00.00" << "05.00";
    QTest::newRow("###00.00 rounds") << QVariant(123.456) << "###00.00" << "123.46";
    QTest::newRow("###00.00 negative") << QVariant(-5.5) << "###00.00" << "-05.50";
    QTest::newRow("###00.00 negative rounding to zero") << QVariant(-0.001) << "###00.00" << "00.00";
    QTest::newRow("###00.00 wide number kept whole") << QVariant(1234567.891) << "###00.00" << "1234567.89";
    QTest::newRow("###00.00 integer value") << QVariant::fromValue<qint64>(50) << "###00.00" << "50.00";
    QTest::newRow("##00.00 half rounds up") << QVariant(0.125) << "##00.00" << "00.13";
    QTest::newRow("##00.00 decimal half rounds up") << QVariant(2.675) << "##00.00" << "02.68";
    QTest::newRow("##00.00 negative half") << QVariant(-2.675) << "##00.00" << "-02.68";
    QTest::newRow("##00.00 number as text") << QVariant(" 7.5 ") << "##00.00" << "07.50";
    QTest::newRow("#####0.00 zero") << QVariant(0) << "#####0.00" << "0.00";
    QTest::newRow("#####0.00 below one") << QVariant(0.5) << "#####0.00" << "0.50";
    QTest::newRow("#####0.00 points") << QVariant(61.725) << "#####0.00" << "61.73";
    QTest::newRow("#####0.00 large") << QVariant(1234.5) << "#####0.00" << "1234.50";
    QTest::newRow("#####0.00% share") << QVariant(0.125) << "#####0.00%" << "12.50%";
    QTest::newRow("#####0.00% whole") << QVariant(1) << "#####0.00%" << "100.00%";
    QTest::newRow("#####0.00% zero") << QVariant(0) << "#####0.00%" << "0.00%";
    QTest::newRow("#####0.00% negative") << QVariant(-0.5) << "#####0.00%" << "-50.00%";
    QTest::newRow("#####0.00% decimal half") << QVariant(0.12345) << "#####0.00%" << "12.35%";
    QTest::newRow("text under a number pattern") << QVariant("n/a") << "###00.00" << "n/a";
    QTest::newRow("empty text under a number pattern") << QVariant("") << "###00.00" << "";
}

void TestSqlFunctions::format()
{
    QFETCH(QVariant, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    const QVariant result = jetFormat(value, pattern);
    QVERIFY(!result.isNull() || expected.isEmpty());
    QCOMPARE(result.toString(), expected);

    // The same in the SQL of the engine under test: bound, and as a number written into the statement.
    TestDatabase &db = shared();
    QCOMPARE(db.connection().scalar(QStringLiteral("select format(?, ?)"), {value, pattern}).toString(), expected);
    const int type = value.typeId();
    if (type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong)
        QCOMPARE(db.scalar(QStringLiteral("select format(%1, %2)").arg(sqlNumber(value.toDouble()), sqlQuote(pattern)))
                     .toString(),
                 expected);
}

void TestSqlFunctions::nullStaysNull_data()
{
    QTest::addColumn<QString>("pattern");
    for (const char *p : {"yyyy-mm-dd", "yyyy-MM-dd", "yyyy-mm-dd hh:mm:ss amPM", "###00.00", "##00.00", "#####0.00",
                          "#####0.00%"})
        QTest::newRow(p) << QString::fromLatin1(p);
}

void TestSqlFunctions::nullStaysNull()
{
    QFETCH(QString, pattern);
    QVERIFY(jetFormat(QVariant(), pattern).isNull());
    // An empty itinerary sums to NULL; its formatted total must stay NULL too.
    TestDatabase &db = shared();
    QVERIFY(db.scalar(QStringLiteral("select format(sum(jifen),'%1') from hyxc").arg(pattern)).isNull());
}

void TestSqlFunctions::formatInSql_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    QTest::newRow("number") << "select format(5,'###00.00')" << "05.00";
    QTest::newRow("integer sum") << "select format(sum(lx),'##00.00') from dict where class='内外'" << "03.00";
    QTest::newRow("date literal") << "select format(#5/1/03#,'yyyy-mm-dd')" << "2003-05-01";
    QTest::newRow("stamp") << "select format('2003-05-01 00:00:00','yyyy-mm-dd hh:mm:ss amPM')"
                           << "2003-05-01 12:00:00 AM";
    QTest::newRow("compared to a date") << "select count(*) from czyzd where format('2003-05-01 10:00:00','yyyy-MM-dd')"
                                           "='2003-05-01'"
                                        << "2";
    QTest::newRow("date with arguments is SQLite's") << "select date('2003-05-01','+1 day')" << "2003-05-02";
}

void TestSqlFunctions::formatInSql()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(shared().scalar(sql).toString(), expected);
}

void TestSqlFunctions::todayIsLocal()
{
    TestDatabase db;
    const QDate before = QDate::currentDate();
    const QString date = db.scalar(QStringLiteral("select date()")).toString();
    const QString now = db.scalar(QStringLiteral("select now()")).toString();
    const QDate after = QDate::currentDate();

    const QDate fromDate = QDate::fromString(date, QStringLiteral("yyyy-MM-dd"));
    QVERIFY2(fromDate == before || fromDate == after, qPrintable(date));

    static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
    QVERIFY2(stamp.match(now).hasMatch(), qPrintable(now));
    const QDate fromNow = QDate::fromString(now.left(10), QStringLiteral("yyyy-MM-dd"));
    QVERIFY2(fromNow == before || fromNow == after, qPrintable(now));

    // The log columns default to the same local clock.
    db.connection().execute(QStringLiteral("insert into czyrz (czyname, czyxm) values ('admin', '客户档案')"));
    const QDate logged = QDate::fromString(db.scalar(QStringLiteral("select init_time from czyrz")).toString().left(10),
                                           QStringLiteral("yyyy-MM-dd"));
    QVERIFY(logged == before || logged == QDate::currentDate());
}

QTEST_GUILESS_MAIN(TestSqlFunctions)
#include "tst_sqlfunctions.moc"
