#include "store/sqlfunctions.h"

#include "store/jetdate.h"
#include "store/jetfunctions.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <sqlite3.h>

#include <cmath>
#include <optional>

namespace {

bool isDatePattern(const QString &pattern)
{
    for (const QChar c : pattern) {
        const QChar l = c.toLower();
        if (l == QLatin1Char('y') || l == QLatin1Char('d') || l == QLatin1Char('h')
            || l == QLatin1Char('s') || l == QLatin1Char('n') || l == QLatin1Char('m'))
            return true;
    }
    return false;
}

// The old Format rounded the decimal a number reads as, half away from zero:
// 2.675 gives 2.68, though its binary value lies just below 2.675.
double roundDecimal(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 1e15)
        return value;
    return std::round(QString::number(scaled, 'g', 15).toDouble()) / scale;
}

QString formatNumber(double value, const QString &pattern)
{
    QString body = pattern;
    const bool percent = body.endsWith(QLatin1Char('%'));
    if (percent) {
        body.chop(1);
        value *= 100.0;
    }
    const qsizetype dot = body.indexOf(QLatin1Char('.'));
    const QString intPart = dot < 0 ? body : body.left(dot);
    const QString fracPart = dot < 0 ? QString() : body.mid(dot + 1);
    const int decimals = static_cast<int>(fracPart.count(QLatin1Char('0')) + fracPart.count(QLatin1Char('#')));
    const int required = static_cast<int>(fracPart.count(QLatin1Char('0')));
    const int minInt = static_cast<int>(intPart.count(QLatin1Char('0')));

    value = roundDecimal(value, decimals);
    QString text = QString::number(std::fabs(value), 'f', decimals);
    // '#' places after the point are written only where they hold a digit other than a last 0.
    for (int optional = decimals - required; optional > 0 && text.endsWith(QLatin1Char('0')); --optional)
        text.chop(1);
    bool negative = false;
    if (value < 0)
        for (const QChar c : text)
            negative = negative || (c >= QLatin1Char('1') && c <= QLatin1Char('9'));
    qsizetype intDigits = text.indexOf(QLatin1Char('.'));
    if (intDigits < 0)
        intDigits = text.size();
    if (text.startsWith(QLatin1String("0")) && intDigits == 1 && minInt == 0)
        text.remove(0, 1); // '#' places print nothing for a zero integer part
    else if (intDigits < minInt)
        text.prepend(QString(minInt - intDigits, QLatin1Char('0')));
    if (intPart.contains(QLatin1Char(','))) {
        qsizetype digits = text.indexOf(QLatin1Char('.'));
        for (digits = digits < 0 ? text.size() : digits; digits > 3; digits -= 3)
            text.insert(digits - 3, QLatin1Char(','));
    }
    if (negative)
        text.prepend(QLatin1Char('-'));
    if (percent)
        text += QLatin1Char('%');
    return text;
}

QString formatDate(const QDateTime &dt, const QString &pattern)
{
    const bool twelveHour = pattern.contains(QLatin1String("ampm"), Qt::CaseInsensitive)
                            || pattern.contains(QLatin1String("am/pm"), Qt::CaseInsensitive);
    QString out;
    bool afterHour = false;
    qsizetype i = 0;
    auto runLength = [&](QChar c) {
        qsizetype n = 0;
        while (i + n < pattern.size() && pattern.at(i + n).toLower() == c)
            ++n;
        return n;
    };
    auto two = [](int v) { return QString::number(v).rightJustified(2, QLatin1Char('0')); };
    while (i < pattern.size()) {
        const QChar c = pattern.at(i).toLower();
        if (c == QLatin1Char('"')) {
            // Text in double quotes is written as it stands.
            qsizetype close = pattern.indexOf(QLatin1Char('"'), i + 1);
            close = close < 0 ? pattern.size() : close;
            out += pattern.mid(i + 1, close - i - 1);
            i = close + 1;
        } else if (c == QLatin1Char('\\')) {
            out += pattern.mid(i + 1, 1);
            i += 2;
        } else if (pattern.mid(i, 4).compare(QLatin1String("ampm"), Qt::CaseInsensitive) == 0) {
            out += dt.time().hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 4;
        } else if (pattern.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            const bool upper = pattern.at(i).isUpper();
            const QString d = dt.time().hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm");
            out += upper ? d.toUpper() : d;
            i += 5;
        } else if (c == QLatin1Char('y')) {
            const qsizetype n = runLength(c);
            out += n >= 3 ? QString::number(dt.date().year()) : two(dt.date().year() % 100);
            i += n;
        } else if (c == QLatin1Char('m')) {
            const qsizetype n = runLength(c);
            const int v = afterHour ? dt.time().minute() : dt.date().month();
            out += n >= 2 ? two(v) : QString::number(v);
            afterHour = false;
            i += n;
        } else if (c == QLatin1Char('n')) {
            const qsizetype n = runLength(c);
            out += n >= 2 ? two(dt.time().minute()) : QString::number(dt.time().minute());
            i += n;
        } else if (c == QLatin1Char('d')) {
            const qsizetype n = runLength(c);
            out += n >= 2 ? two(dt.date().day()) : QString::number(dt.date().day());
            i += n;
        } else if (c == QLatin1Char('h')) {
            const qsizetype n = runLength(c);
            int h = dt.time().hour();
            if (twelveHour) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += n >= 2 ? two(h) : QString::number(h);
            afterHour = true;
            i += n;
        } else if (c == QLatin1Char('s')) {
            const qsizetype n = runLength(c);
            out += n >= 2 ? two(dt.time().second()) : QString::number(dt.time().second());
            i += n;
        } else {
            out += pattern.at(i);
            ++i;
        }
    }
    return out;
}


void setText(sqlite3_context *ctx, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void formatFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const QVariant result = jetFormat(JetFunctions::valueOf(argv[0]), JetFunctions::valueOf(argv[1]).toString());
    if (result.isNull())
        sqlite3_result_null(ctx);
    else
        setText(ctx, result.toString());
}

void nowFunction(sqlite3_context *ctx, int, sqlite3_value **)
{
    setText(ctx, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

void dateFunction(sqlite3_context *ctx, int, sqlite3_value **)
{
    setText(ctx, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
}


// Format's named formats that stand for a pattern, or the pattern as given.
QString namedPattern(const QString &pattern)
{
    static const QHash<QString, QString> named = {
        {QStringLiteral("fixed"), QStringLiteral("0.00")},           {QStringLiteral("standard"), QStringLiteral("#,##0.00")},
        {QStringLiteral("percent"), QStringLiteral("0.00%")},        {QStringLiteral("short date"), QStringLiteral("yyyy/m/d")},
        {QStringLiteral("long date"), QStringLiteral("yyyy年m月d日")}, {QStringLiteral("short time"), QStringLiteral("hh:nn")},
        {QStringLiteral("long time"), QStringLiteral("h:nn:ss")}};
    return named.value(pattern.trimmed().toLower(), pattern);
}

// Format's named formats that are no pattern: the text they give, or nullopt.
std::optional<QString> namedResult(const QVariant &value, const QString &pattern)
{
    const QString name = pattern.trimmed().toLower();
    if (name == QLatin1String("general number"))
        return JetFunctions::text(value).toString();
    if (name == QLatin1String("yes/no") || name == QLatin1String("true/false") || name == QLatin1String("on/off")) {
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
        if (!ok)
            return value.toString();
        const QStringList words = name.split(QLatin1Char('/'));
        const QString word = number != 0 ? words.at(0) : words.at(1);
        return word.left(1).toUpper() + word.mid(1);
    }
    if (name == QLatin1String("general date")) {
        const auto date = JetFunctions::dateOf(value);
        if (!date)
            return value.toString();
        return formatDate(*date, date->time() == QTime(0, 0) ? QStringLiteral("yyyy/m/d") : QStringLiteral("yyyy/m/d h:nn:ss"));
    }
    return std::nullopt;
}

} // namespace

QVariant jetFormat(const QVariant &value, const QString &givenPattern)
{
    if (value.isNull())
        return {};
    if (givenPattern.isEmpty())
        return value.toString();
    if (const auto named = namedResult(value, givenPattern))
        return *named;
    const QString pattern = namedPattern(givenPattern);
    if (isDatePattern(pattern)) {
        // Dates handed over from code keep their own type; their text form is not ours to parse.
        if (value.typeId() == QMetaType::QDateTime)
            return formatDate(value.toDateTime(), pattern);
        if (value.typeId() == QMetaType::QDate)
            return formatDate(QDateTime(value.toDate(), QTime(0, 0)), pattern);
        const auto date = parseJetDate(value.toString());
        if (!date)
            return value.toString();
        return formatDate(date->toDateTime(), pattern);
    }
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return value.toString();
    return formatNumber(number, pattern);
}

void registerSqlFunctions(sqlite3 *db)
{
    sqlite3_create_function_v2(db, "format", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               formatFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "now", 0, SQLITE_UTF8, nullptr, nowFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "date", 0, SQLITE_UTF8, nullptr, dateFunction, nullptr, nullptr, nullptr);
    JetFunctions::registerOn(db);
}
