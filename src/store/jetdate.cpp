#include "store/jetdate.h"

#include <QRegularExpression>

namespace {

bool validDate(int y, int m, int d)
{
    return y >= 100 && y <= 9999 && QDate::isValid(y, m, d);
}

std::optional<QTime> parseTime(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*(am|pm|上午|下午)?$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int h = m.captured(1).toInt();
    const int mi = m.captured(2).toInt();
    const int s = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const QString half = m.captured(4).toLower();
    if (!half.isEmpty()) {
        if (h < 1 || h > 12)
            return std::nullopt;
        const bool pm = half == QLatin1String("pm") || half == QStringLiteral("下午");
        h = (h % 12) + (pm ? 12 : 0);
    }
    if (h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    return QTime(h, mi, s);
}

} // namespace

int expandTwoDigitYear(int year)
{
    if (year >= 100)
        return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

QString JetDate::toIso() const
{
    if (hasTime)
        return date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ')
               + time.toString(QStringLiteral("HH:mm:ss"));
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

std::optional<JetDate> parseJetDate(const QString &input)
{
    const QString text = input.trimmed();
    if (text.isEmpty() || text.size() > 64)
        return std::nullopt;

    static const QRegularExpression dateRe(
        QStringLiteral("^(\\d{1,4})\\s*([-/.年])\\s*(\\d{1,2})\\s*([-/.月])\\s*(\\d{1,4})\\s*日?(?:(?:\\s+|T)(.*))?$"));
    const auto m = dateRe.match(text);
    if (!m.hasMatch())
        return std::nullopt;

    const QString first = m.captured(1);
    const QString sep1 = m.captured(2);
    const QString sep2 = m.captured(4);
    const QString last = m.captured(5);
    int y = 0, mo = 0, d = 0;
    if (sep1 == QStringLiteral("年")) {
        if (sep2 != QStringLiteral("月") || first.size() != 4)
            return std::nullopt;
        y = first.toInt();
        mo = m.captured(3).toInt();
        d = last.toInt();
    } else {
        if (sep1 != sep2)
            return std::nullopt;
        if (first.size() >= 3) { // year first: 2003-5-1
            if (last.size() > 2)
                return std::nullopt;
            y = first.toInt();
            mo = m.captured(3).toInt();
            d = last.toInt();
        } else { // month first, as the old engine reads #5/1/03#
            if (last.size() == 3)
                return std::nullopt;
            mo = first.toInt();
            d = m.captured(3).toInt();
            y = expandTwoDigitYear(last.toInt());
        }
    }
    if (!validDate(y, mo, d))
        return std::nullopt;

    JetDate result;
    result.date = QDate(y, mo, d);
    const QString timeText = m.captured(6).trimmed();
    if (!timeText.isEmpty()) {
        const auto t = parseTime(timeText);
        if (!t)
            return std::nullopt;
        result.time = *t;
        result.hasTime = true;
    }
    return result;
}
