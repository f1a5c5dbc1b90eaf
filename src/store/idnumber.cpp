#include "store/idnumber.h"

namespace {

bool allDigits(QStringView text)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

QChar IdNumber::checkCharacter(QStringView first17)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (first17[i].unicode() - '0') * weights[i];
    return QLatin1Char("10X98765432"[sum % 11]);
}

IdNumber IdNumber::parse(const QString &text, const QDate &today)
{
    IdNumber id;
    const QString number = text.trimmed().toUpper();
    QDate birth;
    int sexDigit = 0;
    if (number.size() == 18 && allDigits(QStringView(number).left(17))
        && (number.back().isDigit() || number.back() == QLatin1Char('X'))) {
        birth = QDate::fromString(number.mid(6, 8), QStringLiteral("yyyyMMdd"));
        sexDigit = number.at(16).unicode() - '0';
        id.expectedCheck = checkCharacter(QStringView(number).left(17));
    } else if (number.size() == 15 && allDigits(number)) {
        birth = QDate::fromString(QStringLiteral("19") + number.mid(6, 6), QStringLiteral("yyyyMMdd"));
        sexDigit = number.at(14).unicode() - '0';
    } else {
        return id;
    }
    id.sex = sexDigit % 2 ? QStringLiteral("男") : QStringLiteral("女");
    if (!birth.isValid() || birth > today || birth.year() < 1880) {
        id.verdict = Verdict::ImpossibleDate;
        return id;
    }
    id.birth = birth;
    id.verdict = !id.expectedCheck.isNull() && number.back() != id.expectedCheck ? Verdict::WrongCheck : Verdict::Valid;
    return id;
}
