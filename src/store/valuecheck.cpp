#include "store/valuecheck.h"

#include "store/jetdate.h"

#include <QRegularExpression>

std::optional<double> Modcheck::parseNumber(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(
        "^\\s*[+-]?(?:(?:\\d{1,3}(?:,\\d{3})+|\\d+)(?:\\.\\d*)?|\\.\\d+)(?:[eE][+-]?\\d+)?\\s*$"));
    if (!re.match(text).hasMatch())
        return std::nullopt;
    // 1e999 has the shape of a number but no value; written into SQL it would become 0.
    bool ok = false;
    const double value = QString(text.trimmed()).remove(QLatin1Char(',')).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

bool Modcheck::isNumeric(const QString &text)
{
    return parseNumber(text).has_value();
}

bool Modcheck::isDate(const QString &text)
{
    return parseJetDate(text).has_value();
}

int Modcheck::characterCount(const QString &text)
{
    return static_cast<int>(text.toUcs4().size());
}

ValueCheck Modcheck::checkValue(const QString &type, int maxLength, const QString &value, const QString &caption,
                                const QString &nullMark)
{
    const QString word = type.toUpper();
    const bool empty = value.isEmpty();
    auto emptyCheck = [&]() -> ValueCheck {
        if (nullMark == QLatin1String("0"))
            return {true, {}};
        return {false, caption + QStringLiteral(" 数据不能为空!")};
    };
    if (word == QLatin1String("CHAR")) {
        if (empty)
            return emptyCheck();
        if (characterCount(value) <= maxLength)
            return {true, {}};
        return {false, caption + QStringLiteral(" 输入数据超长!")};
    }
    if (word == QLatin1String("NUME")) {
        if (empty)
            return emptyCheck();
        if (isNumeric(value))
            return {true, {}};
        return {false, caption + QStringLiteral("  请输入数字！")};
    }
    if (word == QLatin1String("DATETIME")) {
        if (empty)
            return emptyCheck();
        if (isDate(value))
            return {true, {}};
        return {false, caption + QStringLiteral(" 请输入日期！")};
    }
    return {false, {}};
}
