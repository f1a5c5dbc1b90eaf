// The rule a typed value passes before a record is saved, and the message box
// data_check raises for it.
#include "ui/modcheck.h"
#include "store/valuecheck.h"
#include "support/messagelog.h"

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
        // Null marks: "0" lets a box stay empty, anything else makes it required.
        QTest::newRow("CHAR empty, mark 0") << "CHAR" << 5 << "" << "0" << "ok";
        QTest::newRow("CHAR empty, mark empty") << "CHAR" << 5 << "" << "" << kRequired;
        QTest::newRow("NUME empty, mark 1") << "NUME" << 5 << "" << "1" << kRequired;
        // Numbers as people type them; the length does not limit a number.
        QTest::newRow("blanks, sign, thousands") << "NUME" << 4 << " -1,234.5 " << "1" << "ok";
        QTest::newRow("comma not a thousands group") << "NUME" << 4 << "1,2" << "0" << kNotNumber;
        // Dates in the forms typed here; impossible dates refused.
        QTest::newRow("month first, short year, lower case type") << "datetime" << 10 << "5/1/03" << "1" << "ok";
        QTest::newRow("29 February, common year") << "DATETIME" << 10 << "2003-2-29" << "1" << kNotDate;
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
        MessageLog shown;
        QCOMPARE(Modcheck::data_check(type, maxLength, value, kCaption, nullMark), ok);
        QCOMPARE(shown.texts(), ok || message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(shown.icon(), ok || message.isEmpty() ? Msg::Icon::None : Msg::Icon::Exclamation);
    }
};

QTEST_MAIN(TestValueCheck)
#include "tst_valuecheck.moc"
