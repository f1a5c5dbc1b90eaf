// Members found by the pinyin of their names and checked by their identity
// numbers: the matcher and the number check on their own.

#include "domain/archive/pinyinmatcher.h"
#include "domain/archive/pinyintable.h"
#include "store/idnumber.h"

#include <QTest>

class CustomerEntryTest : public QObject
{
    Q_OBJECT

private slots:
    void pinyinMatch_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("initials") << "wf" << "王芳" << true;
        QTest::newRow("two-letter initial") << "zhw" << "张伟" << true;
        QTest::newRow("surname reading of 单") << "shanl" << "单磊" << true;
        QTest::newRow("other reading of 单") << "dl" << "单磊" << true;
        QTest::newRow("Latin letters of the name") << "ab" << "·Ab" << true;
        QTest::newRow("a name of one character") << "w" << "王" << true;
        QTest::newRow("ü typed v") << "lvm" << "吕明" << true;
        QTest::newRow("dot in the name") << "mmtal" << "买买提·艾力" << true;
        QTest::newRow("name longer than the text") << "wf" << "王芳华" << false;
        QTest::newRow("card number is no pinyin") << "8800000001" << "8800000001" << false;
        QTest::newRow("Chinese alone is no pinyin") << "王芳" << "王芳" << false;
    }

    void pinyinMatch()
    {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        const PinyinMatcher matcher(typed);
        QCOMPARE(matcher.matches(name), matches);
        // The quick test ahead of matching never turns a match away.
        const std::u32string chars = name.toStdU32String();
        QVERIFY(!matches || matcher.mayMatch(PinyinMatcher::startLetters(chars.data(), chars.size(), PinyinTable::standard())));
    }

    void idNumber_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("birthAndSex");
        using V = IdNumber::Verdict;
        QTest::newRow("valid, X, woman") << "11010519491231002X" << int(V::Valid) << "1949-12-31 女";
        QTest::newRow("born on the day it is checked") << "110105202606010018" << int(V::Valid) << "2026-06-01 男";
        QTest::newRow("born the day after") << "110105202606020013" << int(V::ImpossibleDate) << " 男";
        QTest::newRow("30 February") << "320102199902300015" << int(V::ImpossibleDate) << " 男";
        QTest::newRow("15 digits") << "440305900101125" << int(V::Valid) << "1990-01-01 男";
        QTest::newRow("passport") << "E12345678" << int(V::OtherDocument) << " ";
    }

    void idNumber()
    {
        QFETCH(QString, number);
        QFETCH(int, verdict);
        QFETCH(QString, birthAndSex);
        const IdNumber id = IdNumber::parse(number, QDate(2026, 6, 1));
        QCOMPARE(int(id.verdict), verdict);
        QCOMPARE(id.birth.toString(Qt::ISODate) + ' ' + id.sex, birthAndSex);
    }
};

QTEST_MAIN(CustomerEntryTest)
#include "tst_customerentry.moc"
