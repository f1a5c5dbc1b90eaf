// The Jet-dialect translator and the date reader behind it.
#include "store/jetdate.h"
#include "store/jetsql.h"

#include <QTest>

class TestJetSql : public QObject
{
    Q_OBJECT
private slots:
    void translate_data();
    void translate();
    void parseAccepted_data();
    void parseAccepted();
    void parseRefused_data();
    void parseRefused();
};

void TestJetSql::translate_data()
{
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sqlite");

    QTest::newRow("delete star") << "delete * from hyxc where kh='1'" << "delete from hyxc where kh='1'";
    QTest::newRow("delete star, upper case") << "DELETE * FROM czy" << "delete from czy";
    QTest::newRow("delete star, mixed case and blanks") << "Delete   *\tFrom  czy" << "delete from  czy";
    QTest::newRow("plain delete untouched") << "delete from czy" << "delete from czy";
    QTest::newRow("deleted is another word") << "select deleted * from t" << "select deleted * from t";
    QTest::newRow("undelete is another word") << "select undelete * from t" << "select undelete * from t";
    QTest::newRow("from must be a whole word") << "delete * fromage" << "delete * fromage";
    QTest::newRow("delete star inside a literal") << "select 'delete * from x' from czy"
                                                   << "select 'delete * from x' from czy";

    QTest::newRow("iso date") << "where d=#2003-1-1#" << "where d='2003-01-01'";
    QTest::newRow("month first, short year") << "where d=#5/1/03#" << "where d='2003-05-01'";
    QTest::newRow("month first, long year") << "where d=#5/1/2003#" << "where d='2003-05-01'";
    QTest::newRow("slashes year first") << "where d=#2003/5/1#" << "where d='2003-05-01'";
    QTest::newRow("date and time") << "where d<#2003-01-01 10:20:30#" << "where d<'2003-01-01 10:20:30'";
    QTest::newRow("blank after the first mark") << "where d<# 2003-01-01 10:20:30#"
                                                << "where d<'2003-01-01 10:20:30'";
    QTest::newRow("two dates") << "cprq>=#2003-1-1# and cprq<=#2003-12-31#"
                               << "cprq>='2003-01-01' and cprq<='2003-12-31'";
    QTest::newRow("impossible month stays") << "where d=#2003-13-1#" << "where d=#2003-13-1#";
    QTest::newRow("31 April stays") << "where d=#2003-4-31#" << "where d=#2003-4-31#";
    QTest::newRow("lone mark stays") << "select 1 # 2" << "select 1 # 2";

    QTest::newRow("marks inside a literal") << "where bz='#2003-1-1#'" << "where bz='#2003-1-1#'";
    QTest::newRow("literal with a doubled quote") << "where bz='it''s #2003-1-1#' and d=#2003-1-2#"
                                                  << "where bz='it''s #2003-1-1#' and d='2003-01-02'";
    QTest::newRow("double-quoted literal") << "where bz=\"#5/1/03# * \"" << "where bz=\"#5/1/03# * \"";
    QTest::newRow("bracketed name") << "select [a#2003-1-1#b], [delete * from] from t"
                                    << "select [a#2003-1-1#b], [delete * from] from t";
    QTest::newRow("star in select list") << "select * from hyda where xm like '李%'"
                                         << "select * from hyda where xm like '李%'";
    QTest::newRow("chinese alias") << "select sum(ZS) as 张数 from hyxc" << "select sum(ZS) as 张数 from hyxc";
}

void TestJetSql::translate()
{
    QFETCH(QString, jet);
    QFETCH(QString, sqlite);
    QCOMPARE(translateJet(jet), sqlite);
}

void TestJetSql::parseAccepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("iso");

    QTest::newRow("year first, dashes") << "2003-5-1" << "2003-05-01";
    QTest::newRow("year first, slashes") << "2003/5/1" << "2003-05-01";
    QTest::newRow("with minutes") << "2003-05-01 10:20" << "2003-05-01 10:20:00";
    QTest::newRow("with seconds") << "2003-05-01 10:20:30" << "2003-05-01 10:20:30";
    QTest::newRow("iso T") << "2003-05-01T10:20:30" << "2003-05-01 10:20:30";
    QTest::newRow("month first") << "5/1/2003" << "2003-05-01";
    QTest::newRow("month first, two-digit year") << "5/1/03" << "2003-05-01";
    QTest::newRow("two-digit year 29 is this century") << "12/31/29" << "2029-12-31";
    QTest::newRow("two-digit year 30 is the last century") << "1/1/30" << "1930-01-01";
    QTest::newRow("two-digit year 00") << "2/29/00" << "2000-02-29";
    QTest::newRow("chinese") << "2003年5月1日" << "2003-05-01";
    QTest::newRow("pm") << "5/1/2003 10:20:30 PM" << "2003-05-01 22:20:30";
    QTest::newRow("noon pm") << "2003-5-1 12:05 pm" << "2003-05-01 12:05:00";
    QTest::newRow("midnight am") << "2003-5-1 12:05 AM" << "2003-05-01 00:05:00";
    QTest::newRow("chinese afternoon") << "2003-5-1 3:00 下午" << "2003-05-01 15:00:00";
    QTest::newRow("leap day") << "2004-2-29" << "2004-02-29";
    QTest::newRow("surrounding blanks") << "  2003-5-1 " << "2003-05-01";
}

void TestJetSql::parseAccepted()
{
    QFETCH(QString, text);
    QFETCH(QString, iso);
    const auto date = parseJetDate(text);
    QVERIFY2(date.has_value(), qPrintable(text));
    QCOMPARE(date->toIso(), iso);
}

void TestJetSql::parseRefused_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("month 13") << "2003-13-1";
    QTest::newRow("31 April") << "2003-4-31";
    QTest::newRow("29 February of a common year") << "2003-2-29";
    QTest::newRow("day 0") << "2003-5-0";
    QTest::newRow("month first, month 13") << "13/1/2003";
    QTest::newRow("mixed separators") << "2003-5/1";
    QTest::newRow("three-digit year last") << "5/1/103";
    QTest::newRow("hour 25") << "2003-5-1 25:00";
    QTest::newRow("minute 60") << "2003-5-1 10:60";
    QTest::newRow("13 pm") << "2003-5-1 13:00 PM";
    QTest::newRow("time garbage") << "2003-5-1 soon";
    QTest::newRow("garbage") << "next tuesday";
    QTest::newRow("number") << "37742";
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
}

void TestJetSql::parseRefused()
{
    QFETCH(QString, text);
    const auto date = parseJetDate(text);
    QVERIFY2(!date.has_value(), qPrintable(date ? date->toIso() : QString()));
}

QTEST_GUILESS_MAIN(TestJetSql)
#include "tst_jetsql.moc"
