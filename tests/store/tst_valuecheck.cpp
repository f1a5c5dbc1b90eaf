// The rule a typed value passes before a record is saved, and the message box
// data_check raises for it.
#include "ui/modcheck.h"
#include "store/valuecheck.h"
#include "ui/messagebox.h"

#include <QTest>

namespace {
const QString kCaption = QStringLiteral("姓名");
const QString kTooLong = kCaption + QStringLiteral(" 输入数据超长!");
const QString kRequired = kCaption + QStringLiteral(" 数据不能为空!");
const QString kNotNumber = kCaption + QStringLiteral("  请输入数字！"); // two blanks, as the program always had
const QString kNotDate = kCaption + QStringLiteral(" 请输入日期！");
} // namespace

class TestValueCheck : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Msg::setHandler({}); }
    void checkValue_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("nullMark");
        QTest::addColumn<QString>("message"); // "ok": accepted; empty: refused without a message
        // Lengths, counted as a person counts characters.
        QTest::newRow("ten Chinese characters of 10") << "CHAR" << 10 << "一二三四五六七八九十" << "1" << "ok";
        QTest::newRow("eleven of 10, lower case type") << "char" << 10 << "abcdefghijk" << "0" << kTooLong;
        QTest::newRow("emoji counts one") << "CHAR" << 2 << QString::fromUtf8("a\xF0\x9F\x98\x80") << "1" << "ok";
        QTest::newRow("emoji past the limit") << "CHAR" << 1 << QString::fromUtf8("a\xF0\x9F\x98\x80") << "1" << kTooLong;
        // Null marks: "0" lets a box stay empty, anything else makes it required.
        QTest::newRow("CHAR empty, mark 0") << "CHAR" << 5 << "" << "0" << "ok";
        QTest::newRow("CHAR empty, mark empty") << "CHAR" << 5 << "" << "" << kRequired;
        QTest::newRow("NUME empty, mark 1") << "NUME" << 5 << "" << "1" << kRequired;
        QTest::newRow("DATETIME empty, mark 0") << "DATETIME" << 10 << "" << "0" << "ok";
        // Numbers as people type them; the length does not limit a number.
        QTest::newRow("blanks, sign, thousands") << "NUME" << 4 << " -1,234.5 " << "1" << "ok";
        QTest::newRow("exponent") << "nume" << 2 << "1e3" << "1" << "ok";
        QTest::newRow("comma not a thousands group") << "NUME" << 4 << "1,2" << "0" << kNotNumber;
        QTest::newRow("only blanks") << "NUME" << 4 << "   " << "0" << kNotNumber;
        // Dates in the forms typed here; impossible dates refused.
        QTest::newRow("with a time") << "datetime" << 10 << "2003-05-01 10:20" << "1" << "ok";
        QTest::newRow("month first, short year") << "DATETIME" << 10 << "5/1/03" << "1" << "ok";
        QTest::newRow("29 February, common year") << "DATETIME" << 10 << "2003-2-29" << "1" << kNotDate;
        QTest::newRow("words") << "DATETIME" << 10 << "tomorrow" << "0" << kNotDate;
        // Any other type word is refused without a message.
        QTest::newRow("MON is not checked here") << "MON" << 10 << "12" << "0" << "";
    }
    void checkValue()
    {
        QFETCH(QString, type);
        QFETCH(int, maxLength);
        QFETCH(QString, value);
        QFETCH(QString, nullMark);
        QFETCH(QString, message);
        const bool ok = message == QLatin1String("ok");
        const ValueCheck result = Modcheck::checkValue(type, maxLength, value, kCaption, nullMark);
        QCOMPARE(result.ok, ok);
        QCOMPARE(result.message, ok ? QString() : message);
        // data_check shows that message, once, with the exclamation icon; nothing when there is none.
        QList<Msg::Shown> shown;
        Msg::setHandler([&shown](const Msg::Shown &s) {
            shown << s;
            return Msg::Answer::Ok;
        });
        QCOMPARE(Modcheck::data_check(type, maxLength, value, kCaption, nullMark), ok);
        QCOMPARE(shown.size(), ok || message.isEmpty() ? 0 : 1);
        if (!shown.isEmpty()) {
            QCOMPARE(shown.at(0).text, message);
            QCOMPARE(shown.at(0).icon, Msg::Icon::Exclamation);
        }
    }
};

QTEST_MAIN(TestValueCheck)
#include "tst_valuecheck.moc"
