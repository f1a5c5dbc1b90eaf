// The Jet-dialect translator and the date reader behind it.
#include "store/jetdate.h"
#include "store/jetsql.h"

#include <QTest>

class TestJetSql : public QObject
{
    Q_OBJECT
private slots:
    void translate_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite");
        QTest::newRow("delete star") << "Delete   *\tFrom  czy" << "delete from  czy";
        QTest::newRow("date and time") << "where d<# 2003-01-01 10:20:30#" << "where d<'2003-01-01 10:20:30'";
        QTest::newRow("impossible date stays") << "where d=#2003-4-31#" << "where d=#2003-4-31#";
        QTest::newRow("literal with a doubled quote") << "where bz='it''s #2003-1-1#' and d=#5/1/03#"
                                                      << "where bz='it''s #2003-1-1#' and d='2003-05-01'";
    }
    void translate()
    {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QCOMPARE(translateJet(jet), sqlite);
    }

    // iso empty: refused.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("iso");
        QTest::newRow("year first, slashes") << "2003/5/1" << "2003-05-01";
        QTest::newRow("iso T with seconds") << "2003-05-01T10:20:30" << "2003-05-01 10:20:30";
        QTest::newRow("two-digit year 29 is this century") << "12/31/29" << "2029-12-31";
        QTest::newRow("two-digit year 30 is the last century") << "1/1/30" << "1930-01-01";
        QTest::newRow("midnight am") << "2003-5-1 12:05 AM" << "2003-05-01 00:05:00";
        QTest::newRow("chinese afternoon") << "2003-5-1 3:00 下午" << "2003-05-01 15:00:00";
        QTest::newRow("leap day, blanks") << "  2004-2-29 " << "2004-02-29";
        QTest::newRow("29 February of a common year") << "2003-2-29" << "";
        QTest::newRow("month first, month 13") << "13/1/2003" << "";
        QTest::newRow("minute 60") << "2003-5-1 10:60" << "";
        QTest::newRow("13 pm") << "2003-5-1 13:00 PM" << "";
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, iso);
        const auto date = parseJetDate(text);
        QCOMPARE(date ? date->toIso() : QString(), iso);
    }
};

QTEST_GUILESS_MAIN(TestJetSql)
#include "tst_jetsql.moc"
