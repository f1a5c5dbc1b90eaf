// Members found by the pinyin of their names and checked by their identity
// numbers: the matcher and the number check on their own, and the member
// itinerary query finding customers by pinyin.

#include "archive/pinyinmatcher.h"
#include "queries/frmhuiyuanfind.h"
#include "store/idnumber.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/windowload.h"

#include <QComboBox>
#include <QTabWidget>
#include <QTest>

class CustomerEntryTest : public QObject
{
    Q_OBJECT

private slots:
    void pinyinMatch_data();
    void pinyinMatch();
    void idNumber_data();
    void idNumber();
    void itineraryQueryByPinyin();
};

void CustomerEntryTest::pinyinMatch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("initials") << "wf" << "王芳" << true;
    QTest::newRow("two-letter initial") << "zhw" << "张伟" << true;
    QTest::newRow("full") << "wangfang" << "王芳" << true;
    QTest::newRow("full then initial") << "wangf" << "王芳" << true;
    QTest::newRow("surname reading of 单") << "shanl" << "单磊" << true;
    QTest::newRow("both readings of 曾") << "zengf" << "曾芳" << true;
    QTest::newRow("ü typed v") << "lvm" << "吕明" << true;
    QTest::newRow("Chinese then Latin") << "王f" << "王芳" << true;
    QTest::newRow("dot in the name") << "mmtal" << "买买提·艾力" << true;
    QTest::newRow("name longer than the text") << "wf" << "王芳华" << false;
    QTest::newRow("wrong initial") << "xf" << "王芳" << false;
    QTest::newRow("card number is no pinyin") << "8800000001" << "8800000001" << false;
    QTest::newRow("Chinese alone is no pinyin") << "王芳" << "王芳" << false;
}

void CustomerEntryTest::pinyinMatch()
{
    QFETCH(QString, typed);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(PinyinMatcher(typed).matches(name), matches);
}

void CustomerEntryTest::idNumber_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("birthAndSex");
    using V = IdNumber::Verdict;
    QTest::newRow("valid, man") << "440305199001011256" << int(V::Valid) << "1990-01-01 男";
    QTest::newRow("valid, X, woman") << "11010519491231002X" << int(V::Valid) << "1949-12-31 女";
    QTest::newRow("leap day") << "320102200002290013" << int(V::Valid) << "2000-02-29 男";
    QTest::newRow("born on the day it is checked") << "110105202606010018" << int(V::Valid) << "2026-06-01 男";
    QTest::newRow("born the day after") << "110105202606020013" << int(V::ImpossibleDate) << " 男";
    QTest::newRow("wrong check digit") << "440305199001011257" << int(V::WrongCheck) << "1990-01-01 男";
    QTest::newRow("30 February") << "320102199902300015" << int(V::ImpossibleDate) << " 男";
    QTest::newRow("15 digits") << "440305900101125" << int(V::Valid) << "1990-01-01 男";
    QTest::newRow("passport") << "E12345678" << int(V::OtherDocument) << " ";
}

void CustomerEntryTest::idNumber()
{
    QFETCH(QString, number);
    QFETCH(int, verdict);
    QFETCH(QString, birthAndSex);
    const IdNumber id = IdNumber::parse(number, QDate(2026, 6, 1));
    QCOMPARE(int(id.verdict), verdict);
    QCOMPARE(id.birth.toString(Qt::ISODate) + ' ' + id.sex, birthAndSex);
}

void CustomerEntryTest::itineraryQueryByPinyin()
{
    AppFixture f;
    for (const auto &[kh, xm] : QList<QPair<QString, QString>>{{"C1", "张伟"}, {"C2", "赵薇"}, {"C3", "李娜"}, {"zhw", "O'Brien"}})
        f.addCustomer(kh, xm);
    for (const QString kh : {"C1", "C2", "C3", "C3", "zhw"})
        f.addTicket(kh);
    frmHuiYuanFind w(f.state);
    loaded(w);
    // A card number of letters is still found as one, beside the names it reads as.
    const QList<QPair<QString, QString>> searches = {{"zhw", "C1 C2 zhw"}, {"C3", "C3 C3"}, {"ob'rien", "zhw"},
                                                     {"李娜", ""}, {"ln'", "C3 C3"}, {"qq", ""}};
    for (const auto &[typed, cards] : searches) {
        child<QComboBox>(&w, "DataCombo1_0")->setCurrentText("卡号");
        box(&w, "txtsj_0")->setText(typed);
        w.results()->close();
        child<QTabWidget>(&w, "SSTab1")->setCurrentIndex(0);
        w.Cmdfind_Click();
        // Found tickets turn to the results page; nothing found stays on the conditions.
        QCOMPARE(child<QTabWidget>(&w, "SSTab1")->currentIndex(), cards.isEmpty() ? 0 : 1);
        QVERIFY(box(&w, "txtsj_0")->text().isEmpty()); // cleared after each search
        QStringList shown;
        for (int r = 0; w.results()->isOpen() && r < w.results()->recordCount(); ++r)
            shown << w.results()->valueAt(r, w.results()->fieldIndex("kh")).toString();
        shown.sort();
        QCOMPARE(shown.join(' '), cards);
    }
    QCOMPARE(f.messages.count(), 0);
}

QTEST_MAIN(CustomerEntryTest)
#include "tst_customerentry.moc"
