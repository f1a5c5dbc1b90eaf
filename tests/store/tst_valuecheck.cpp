// The rule a typed value passes before a record is saved, and the message box
// data_check raises for it.
#include "ui/modcheck.h"
#include "store/valuecheck.h"
#include "ui/messagebox.h"

#include <QTest>


class TestValueCheck : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Msg::setHandler({}); }

    void checkValue_data();
    void checkValue();
};

namespace {
const QString kCaption = QStringLiteral("姓名");
const QString kTooLong = kCaption + QStringLiteral(" 输入数据超长!");
const QString kRequired = kCaption + QStringLiteral(" 数据不能为空!");
const QString kNotNumber = kCaption + QStringLiteral("  请输入数字！"); // two blanks, as the program always had
const QString kNotDate = kCaption + QStringLiteral(" 请输入日期！");
} // namespace

void TestValueCheck::checkValue_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("nullMark");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");

    // Lengths, counted as a person counts characters.
    QTest::newRow("CHAR 10 of 10") << "CHAR" << 10 << "abcdefghij" << "1" << true << "";
    QTest::newRow("CHAR 11 of 10") << "CHAR" << 10 << "abcdefghijk" << "1" << false << kTooLong;
    QTest::newRow("char lower case, too long") << "char" << 10 << "abcdefghijk" << "0" << false << kTooLong;
    QTest::newRow("Char mixed case, fits") << "Char" << 10 << "abc" << "0" << true << "";
    QTest::newRow("ten Chinese characters") << "CHAR" << 10 << "一二三四五六七八九十" << "1" << true << "";
    QTest::newRow("eleven Chinese characters") << "CHAR" << 10 << "一二三四五六七八九十百" << "1" << false
                                               << kTooLong;
    QTest::newRow("emoji counts one") << "CHAR" << 2 << QString::fromUtf8("a\xF0\x9F\x98\x80") << "1" << true << "";
    QTest::newRow("emoji past the limit") << "CHAR" << 1 << QString::fromUtf8("a\xF0\x9F\x98\x80") << "1" << false
                                          << kTooLong;
    // A value that is there is never held against the null mark.
    QTest::newRow("CHAR filled, mark 0") << "CHAR" << 5 << "x" << "0" << true << "";
    QTest::newRow("CHAR filled, mark empty") << "CHAR" << 5 << "x" << "" << true << "";

    // Null marks: "0" lets a box stay empty, anything else makes it required.
    QTest::newRow("CHAR empty, mark 0") << "CHAR" << 5 << "" << "0" << true << "";
    QTest::newRow("CHAR empty, mark 1") << "CHAR" << 5 << "" << "1" << false << kRequired;
    QTest::newRow("CHAR empty, mark empty") << "CHAR" << 5 << "" << "" << false << kRequired;
    QTest::newRow("NUME empty, mark 0") << "NUME" << 5 << "" << "0" << true << "";
    QTest::newRow("NUME empty, mark 1") << "NUME" << 5 << "" << "1" << false << kRequired;
    QTest::newRow("DATETIME empty, mark 0") << "DATETIME" << 10 << "" << "0" << true << "";
    QTest::newRow("DATETIME empty, mark empty") << "DATETIME" << 10 << "" << "" << false << kRequired;

    // Numbers as people type them; the length does not limit a number.
    QTest::newRow("decimal") << "NUME" << 2 << "12.5" << "1" << true << "";
    QTest::newRow("blanks, sign, thousands") << "NUME" << 4 << " -1,234.5 " << "1" << true << "";
    QTest::newRow("exponent") << "nume" << 4 << "1e3" << "1" << true << "";
    QTest::newRow("plus sign") << "NUME" << 4 << "+7" << "1" << true << "";
    QTest::newRow("letter after digits") << "NUME" << 4 << "12a" << "0" << false << kNotNumber;
    QTest::newRow("comma not a thousands group") << "NUME" << 4 << "1,2" << "0" << false << kNotNumber;
    QTest::newRow("two decimal points") << "NUME" << 4 << "1.2.3" << "0" << false << kNotNumber;
    QTest::newRow("only blanks") << "NUME" << 4 << "   " << "0" << false << kNotNumber;

    // Dates in the forms typed here; impossible dates refused.
    QTest::newRow("year first") << "DATETIME" << 10 << "2003-5-1" << "1" << true << "";
    QTest::newRow("year first, slashes") << "DATETIME" << 10 << "2003/5/1" << "1" << true << "";
    QTest::newRow("with a time") << "datetime" << 10 << "2003-05-01 10:20" << "1" << true << "";
    QTest::newRow("month first") << "DATETIME" << 10 << "5/1/2003" << "1" << true << "";
    QTest::newRow("month first, short year") << "DATETIME" << 10 << "5/1/03" << "1" << true << "";
    QTest::newRow("leap day 2004") << "DATETIME" << 10 << "2004-2-29" << "1" << true << "";
    QTest::newRow("month 13") << "DATETIME" << 10 << "2003-13-1" << "1" << false << kNotDate;
    QTest::newRow("31 April") << "DATETIME" << 10 << "2003-4-31" << "1" << false << kNotDate;
    QTest::newRow("29 February, common year") << "DATETIME" << 10 << "2003-2-29" << "1" << false << kNotDate;
    QTest::newRow("words") << "DATETIME" << 10 << "tomorrow" << "0" << false << kNotDate;

    // Any other type word is refused without a message.
    QTest::newRow("TXT") << "TXT" << 10 << "abc" << "0" << false << "";
    QTest::newRow("empty type") << "" << 10 << "abc" << "0" << false << "";
    QTest::newRow("empty type, empty value") << "" << 10 << "" << "0" << false << "";
    QTest::newRow("MON is not checked here") << "MON" << 10 << "12" << "0" << false << "";
}

void TestValueCheck::checkValue()
{
    QFETCH(QString, type);
    QFETCH(int, maxLength);
    QFETCH(QString, value);
    QFETCH(QString, nullMark);
    QFETCH(bool, ok);
    QFETCH(QString, message);

    const ValueCheck result = Modcheck::checkValue(type, maxLength, value, kCaption, nullMark);
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.message, message);

    // data_check shows that message, once, with the exclamation icon; nothing when there is none.
    QList<Msg::Shown> shown;
    Msg::setHandler([&shown](const Msg::Shown &s) {
        shown << s;
        return Msg::Answer::Ok;
    });
    QCOMPARE(Modcheck::data_check(type, maxLength, value, kCaption, nullMark), ok);
    Msg::setHandler({});
    QCOMPARE(shown.size(), message.isEmpty() ? 0 : 1);
    if (!shown.isEmpty()) {
        QCOMPARE(shown.at(0).text, message);
        QCOMPARE(shown.at(0).icon, Msg::Icon::Exclamation);
        QCOMPARE(shown.at(0).buttons, Msg::Buttons::Ok);
        QCOMPARE(shown.at(0).title, Msg::programTitle());
    }
}

QTEST_MAIN(TestValueCheck)
#include "tst_valuecheck.moc"
