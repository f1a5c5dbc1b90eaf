// Entering and finding members: names found by pinyin (in the customer window
// and the member itinerary query), identity numbers checked on save, and the
// question before a member is entered twice.

#include "support/windowload.h"
#include "archive/frmhyda.h"
#include "store/idnumber.h"
#include "archive/pinyinmatcher.h"
#include "archivesupport.h"
#include "queries/frmhuiyuanfind.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

namespace {

QLineEdit *box(const FRMHYDA &w, int slot)
{
    return w.findChild<QLineEdit *>(QStringLiteral("txtspzd_%1").arg(slot));
}

void press(FRMHYDA &w, const QString &key)
{
    w.findChild<QAction *>(key)->trigger();
}

// As typing does it, so the text reaches the record (keyClicks knows only ASCII).
void type(QLineEdit *b, const QString &text)
{
    b->selectAll();
    QTest::keyClick(b, Qt::Key_Delete);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, b, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QString find(FRMHYDA &w, const QString &text)
{
    w.findChild<QLineEdit *>(QStringLiteral("Txtfind"))->setText(text);
    press(w, QStringLiteral("find"));
    return box(w, 0)->text();
}

// Slots of the delivered customer dictionary.
enum Slot { Card = 0, Name = 1, IdNo = 2, Sex = 3, Birth = 4, Mobile = 5 };

} // namespace

class CustomerEntryTest : public QObject
{
    Q_OBJECT

private slots:
    void pinyinMatch_data();
    void pinyinMatch();
    void idNumber_data();
    void idNumber();
    void findByPinyinGoesRoundAndFollowsWrites();
    void itineraryQueryByPinyin();
    void saveQuestions_data();
    void saveQuestions();
};

void CustomerEntryTest::pinyinMatch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("initials") << "wf" << "王芳" << true;
    QTest::newRow("initials, capitals") << "WF" << "王芳" << true;
    QTest::newRow("two-letter initial") << "zhw" << "张伟" << true;
    QTest::newRow("two-letter initial, other name") << "zhw" << "赵薇" << true;
    QTest::newRow("full") << "wangfang" << "王芳" << true;
    QTest::newRow("full with blank") << "wang fang" << "王芳" << true;
    QTest::newRow("full then initial") << "wangf" << "王芳" << true;
    QTest::newRow("surname reading of 单") << "shanl" << "单磊" << true;
    QTest::newRow("common reading of 单") << "danl" << "单磊" << true;
    QTest::newRow("both readings of 曾") << "zengf" << "曾芳" << true;
    QTest::newRow("ü typed v") << "lvm" << "吕明" << true;
    QTest::newRow("Chinese then Latin") << "王f" << "王芳" << true;
    QTest::newRow("Latin then Chinese") << "wang芳" << "王芳" << true;
    QTest::newRow("dot in the name") << "mmtal" << "买买提·艾力" << true;
    QTest::newRow("name longer than the text") << "wf" << "王芳华" << false;
    QTest::newRow("text longer than the name") << "wfh" << "王芳" << false;
    QTest::newRow("wrong initial") << "xf" << "王芳" << false;
    QTest::newRow("letters past a reading") << "wangg" << "王芳" << false;
    QTest::newRow("wrong Chinese") << "李f" << "王芳" << false;
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
    QTest::addColumn<QString>("birth");
    QTest::addColumn<QString>("sex");
    using V = IdNumber::Verdict;
    QTest::newRow("valid, man") << "440305199001011256" << int(V::Valid) << "1990-01-01" << "男";
    QTest::newRow("valid, X, woman") << "11010519491231002X" << int(V::Valid) << "1949-12-31" << "女";
    QTest::newRow("lower-case x, blanks") << " 11010519491231002x " << int(V::Valid) << "1949-12-31" << "女";
    QTest::newRow("leap day") << "320102200002290013" << int(V::Valid) << "2000-02-29" << "男";
    QTest::newRow("wrong check digit") << "440305199001011257" << int(V::WrongCheck) << "1990-01-01" << "男";
    QTest::newRow("X where a digit belongs") << "44030519900101125X" << int(V::WrongCheck) << "1990-01-01" << "男";
    QTest::newRow("30 February") << "320102199902300015" << int(V::ImpossibleDate) << "" << "男";
    QTest::newRow("born later than today") << "510107203001010017" << int(V::ImpossibleDate) << "" << "男";
    QTest::newRow("15 digits") << "440305900101125" << int(V::Valid) << "1990-01-01" << "男";
    QTest::newRow("15 digits, impossible date") << "440305900230124" << int(V::ImpossibleDate) << "" << "女";
    QTest::newRow("passport") << "E12345678" << int(V::OtherDocument) << "" << "";
    QTest::newRow("17 digits") << "44030519900101125" << int(V::OtherDocument) << "" << "";
}

void CustomerEntryTest::idNumber()
{
    QFETCH(QString, number);
    QFETCH(int, verdict);
    QFETCH(QString, birth);
    QFETCH(QString, sex);
    const IdNumber id = IdNumber::parse(number, QDate(2026, 6, 1));
    QCOMPARE(int(id.verdict), verdict);
    QCOMPARE(id.birth.toString(QStringLiteral("yyyy-MM-dd")), birth);
    QCOMPARE(id.sex, sex);
}

void CustomerEntryTest::findByPinyinGoesRoundAndFollowsWrites()
{
    ArchiveFixture f;
    f.addCustomer(QStringLiteral("C1"), QStringLiteral("张伟"));
    f.addCustomer(QStringLiteral("C2"), QStringLiteral("李娜"));
    f.addCustomer(QStringLiteral("C3"), QStringLiteral("赵薇"));
    f.addCustomer(QStringLiteral("zhw"), QStringLiteral("王芳"));
    // Written back unchanged, a customer's own number is no second customer.
    f.exec(QStringLiteral("update hyda set sfzh='11010519491231002X' where kh='C2'"));
    FRMHYDA w(f.state);
    loaded(w);

    // A card number or a name typed as it is stored still comes first.
    QCOMPARE(find(w, QStringLiteral("zhw")), QStringLiteral("zhw"));
    QCOMPARE(find(w, QStringLiteral("wf")), QStringLiteral("zhw"));
    QCOMPARE(find(w, QStringLiteral("zw")), QStringLiteral("C1"));
    QCOMPARE(find(w, QStringLiteral("zw")), QStringLiteral("C3"));
    QCOMPARE(find(w, QStringLiteral("zw")), QStringLiteral("C1"));
    QCOMPARE(f.messages.count(), 0);

    // Names written, added and deleted through the window are found as they now are.
    QCOMPARE(find(w, QStringLiteral("李娜")), QStringLiteral("C2"));
    press(w, QStringLiteral("edit"));
    type(box(w, Name), QStringLiteral("周文"));
    press(w, QStringLiteral("save"));
    press(w, QStringLiteral("new"));
    type(box(w, Card), QStringLiteral("C5"));
    type(box(w, Name), QStringLiteral("郑文"));
    press(w, QStringLiteral("save"));
    QCOMPARE(find(w, QStringLiteral("zw")), QStringLiteral("C1"));
    QCOMPARE(find(w, QStringLiteral("zw")), QStringLiteral("C2"));
    QCOMPARE(find(w, QStringLiteral("zw")), QStringLiteral("C3"));
    QCOMPARE(find(w, QStringLiteral("zw")), QStringLiteral("C5"));
    QCOMPARE(f.messages.count(), 0);
    f.messages.answer = Msg::Answer::Ok;
    press(w, QStringLiteral("delete"));
    QCOMPARE(find(w, QStringLiteral("zhengwen")), QStringLiteral("zhw"));
    QCOMPARE(f.messages.last(), QStringLiteral("未查到数据!"));
}

void CustomerEntryTest::itineraryQueryByPinyin()
{
    ArchiveFixture f;
    f.addCustomer(QStringLiteral("C1"), QStringLiteral("张伟"));
    f.addCustomer(QStringLiteral("C2"), QStringLiteral("赵薇"));
    f.addCustomer(QStringLiteral("C3"), QStringLiteral("李娜"));
    f.addCustomer(QStringLiteral("zhw"), QStringLiteral("O'Brien"));
    for (const QString kh : {"C1", "C2", "C3", "C3", "zhw"})
        f.addTicket(kh);
    f.state.setLocation(f.db.folder(), f.db.fileName()); // the window opens a connection of its own
    frmHuiYuanFind w(f.state);
    loaded(w);
    const QList<QPair<QString, QStringList>> searches = {
        {QStringLiteral("zhw"), {"C1", "C2", "zhw"}}, // a card number of letters is still found as one
        {QStringLiteral("C3"), {"C3", "C3"}},
        {QStringLiteral("ob'rien"), {"zhw"}},
        {QStringLiteral("李娜"), {}},
        {QStringLiteral("ln'"), {"C3", "C3"}},
        {QStringLiteral("qq"), {}}};
    for (const auto &[typed, cards] : searches) {
        w.findChild<QComboBox *>(QStringLiteral("DataCombo1_0"))->setCurrentText(QStringLiteral("卡号"));
        w.findChild<QLineEdit *>(QStringLiteral("txtsj_0"))->setText(typed);
        w.results()->close();
        w.Cmdfind_Click();
        QStringList shown;
        for (int r = 0; w.results()->isOpen() && r < w.results()->recordCount(); ++r)
            shown << w.results()->valueAt(r, w.results()->fieldIndex(QStringLiteral("kh"))).toString();
        shown.sort();
        QCOMPARE(shown, cards);
    }
    QCOMPARE(f.messages.count(), 0);
}

void CustomerEntryTest::saveQuestions_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mobile");
    QTest::addColumn<QString>("sex"); // typed before saving
    QTest::addColumn<bool>("goOn");   // the answer to a question
    QTest::addColumn<QString>("asked"); // the question, empty for none
    QTest::addColumn<QString>("saved"); // birth date and sex written, empty when nothing is saved

    const QString wrongCheck = QStringLiteral("证件号码“440305199001011257”的校验位不对（按前17位应为 6），请核对。\n仍要保存吗？");
    QTest::newRow("valid number fills birth and sex")
        << "440305199001011256" << "孙丽" << "" << "" << true << "" << "1990-01-01 男";
    QTest::newRow("sex typed is kept") << "440305199001011256" << "孙丽" << "" << "女" << true << "" << "1990-01-01 女";
    QTest::newRow("15 digits fill too") << "110105491231002" << "孙丽" << "" << "" << true << "" << "1949-12-31 女";
    QTest::newRow("passport") << "E12345678" << "孙丽" << "" << "" << true << "" << " ";
    QTest::newRow("wrong check, go back") << "440305199001011257" << "孙丽" << "" << "" << false << wrongCheck << "";
    QTest::newRow("wrong check, save, fills nothing") << "440305199001011257" << "孙丽" << "" << "" << true << wrongCheck << " ";
    QTest::newRow("impossible date, save")
        << "320102199902300015" << "孙丽" << "" << "" << true
        << "证件号码“320102199902300015”中的出生日期不存在，请核对。\n仍要保存吗？" << " ";
    QTest::newRow("same number, go back")
        << "11010519491231002x" << "孙丽" << "" << "" << false
        << "证件号码相同的客户已有档案，卡号：C1、C2\n仍要保存吗？" << "";
    QTest::newRow("same name and mobile, save")
        << "" << "张伟" << " 13900000001" << "" << true
        << "姓名和手机都相同的客户已有档案，卡号：C1\n仍要保存吗？" << " ";
    QTest::newRow("both, save")
        << "11010519491231002X" << "张伟" << "13900000001" << "" << true
        << "证件号码相同的客户已有档案，卡号：C1、C2\n姓名和手机都相同的客户已有档案，卡号：C1\n仍要保存吗？"
        << "1949-12-31 女";
    QTest::newRow("same name, other mobile") << "" << "张伟" << "13900000009" << "" << true << "" << " ";
}

void CustomerEntryTest::saveQuestions()
{
    QFETCH(QString, number);
    QFETCH(QString, name);
    QFETCH(QString, mobile);
    QFETCH(QString, sex);
    QFETCH(bool, goOn);
    QFETCH(QString, asked);
    QFETCH(QString, saved);
    ArchiveFixture f;
    f.exec(QStringLiteral("insert into hyda(kh,xm,sfzh,sj) values('C1','张伟','11010519491231002X','13900000001'),"
                          "('C2','赵薇',' 11010519491231002x','13900000002')"));
    FRMHYDA w(f.state);
    loaded(w);
    press(w, QStringLiteral("new"));
    type(box(w, Card), QStringLiteral("N1"));
    type(box(w, Name), name);
    type(box(w, IdNo), number);
    type(box(w, Mobile), mobile);
    type(box(w, Sex), sex);
    f.messages.answer = goOn ? Msg::Answer::Ok : Msg::Answer::Cancel;
    press(w, QStringLiteral("save"));

    QCOMPARE(f.messages.texts(), asked.isEmpty() ? QStringList() : QStringList{asked});
    QCOMPARE(w.mode(), saved.isEmpty() ? FRMHYDA::Mode::Adding : FRMHYDA::Mode::Browsing);
    QCOMPARE(f.count(QStringLiteral("hyda where kh='N1'")), saved.isEmpty() ? 0 : 1);
    if (!saved.isEmpty())
        QCOMPARE(f.scalar(QStringLiteral("select ifnull(csrq,'') || ' ' || ifnull(xb,'') from hyda where kh='N1'")).toString(),
                 saved);
}

QTEST_MAIN(CustomerEntryTest)
#include "tst_customerentry.moc"
