#include "store/jetfunctions.h"

#include "store/jetdate.h"

#include <cfenv>
#include <cmath>
#include <sqlite3.h>

namespace JetFunctions {

namespace {

const QDate kDayZero(1899, 12, 30); // Jet's day 0

// What a call was given, and what it answers: each function reads its
// arguments through these and stops at the first one it cannot use.
struct Call
{
    sqlite3_context *ctx;
    int argc;
    sqlite3_value **argv;
    bool failed = false;

    bool null(int i) const { return i < argc && sqlite3_value_type(argv[i]) == SQLITE_NULL; }
    bool anyNull() const
    {
        for (int i = 0; i < argc; ++i)
            if (null(i))
                return true;
        return false;
    }
    QVariant value(int i) const { return valueOf(argv[i]); }
    QString string(int i) const { return text(value(i)).toString(); }
    double number(int i)
    {
        const int type = sqlite3_value_type(argv[i]);
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return sqlite3_value_double(argv[i]);
        bool ok = false;
        const double d = value(i).toString().trimmed().toDouble(&ok);
        if (!ok)
            fail(QStringLiteral("类型不匹配"));
        return d;
    }
    qint64 whole(int i) { return static_cast<qint64>(roundEven(number(i))); }
    QDateTime date(int i)
    {
        const auto d = dateOf(value(i));
        if (!d)
            fail(QStringLiteral("类型不匹配"));
        return d.value_or(QDateTime());
    }
    void fail(const QString &why)
    {
        if (!failed)
            sqlite3_result_error(ctx, why.toUtf8().constData(), -1);
        failed = true;
    }
    void result(const QVariant &v)
    {
        if (failed)
            return;
        if (v.isNull()) {
            sqlite3_result_null(ctx);
        } else if (v.typeId() == QMetaType::LongLong) {
            sqlite3_result_int64(ctx, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            sqlite3_result_double(ctx, v.toDouble());
        } else {
            const QByteArray utf8 = v.toString().toUtf8();
            sqlite3_result_text(ctx, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        }
    }
};

// A double that holds a whole number goes out as an integer.
QVariant numberValue(double d)
{
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9e15)
        return QVariant::fromValue<qint64>(static_cast<qint64>(d));
    return d;
}

QString asciiCase(QString s, bool upper)
{
    for (QChar &c : s) {
        if (upper && c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
        else if (!upper && c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    }
    return s;
}

using Body = void (*)(Call &);

struct Definition
{
    const char *name;
    int args; // -1: any number
    Body body;
    bool nullIn = true; // a null argument gives null without running the body
};

const Definition kFunctions[] = {
    {"jet_true", 1, [](Call &c) {
         c.result(QVariant::fromValue<qint64>(c.null(0) ? 0 : c.number(0) != 0));
     }, false},
    {"jet_nz", 1, [](Call &c) { c.result(c.null(0) ? QVariant(QString()) : c.value(0)); }, false},
    {"jet_cat", 2, [](Call &c) { c.result(c.string(0) + c.string(1)); }, false},
    {"jet_mod", 2, [](Call &c) {
         const qint64 a = c.whole(0), b = c.whole(1);
         if (b == 0)
             c.fail(QStringLiteral("除数为零"));
         c.result(QVariant::fromValue<qint64>(b == 0 ? 0 : a % b));
     }},
    {"jet_idiv", 2, [](Call &c) {
         const qint64 a = c.whole(0), b = c.whole(1);
         if (b == 0)
             c.fail(QStringLiteral("除数为零"));
         c.result(QVariant::fromValue<qint64>(b == 0 ? 0 : a / b));
     }},
    {"jet_pow", 2, [](Call &c) { c.result(numberValue(std::pow(c.number(0), c.number(1)))); }},
    {"jet_left", 2, [](Call &c) { c.result(c.string(0).left(std::max<qint64>(0, c.whole(1)))); }},
    {"jet_right", 2, [](Call &c) { c.result(c.string(0).right(std::max<qint64>(0, c.whole(1)))); }},
    {"jet_mid", -1, [](Call &c) {
         const qint64 start = c.whole(1);
         if (start < 1)
             c.fail(QStringLiteral("无效的过程调用或参数"));
         c.result(c.string(0).mid(start - 1, c.argc > 2 ? std::max<qint64>(0, c.whole(2)) : -1));
     }},
    {"jet_len", 1, [](Call &c) { c.result(QVariant::fromValue<qint64>(c.string(0).size())); }},
    {"jet_instr", -1, [](Call &c) {
         const bool from = c.argc > 2;
         const qint64 start = from ? c.whole(0) : 1;
         const QString s = c.string(from ? 1 : 0), sub = c.string(from ? 2 : 1);
         if (start < 1)
             c.fail(QStringLiteral("无效的过程调用或参数"));
         const qsizetype at = s.indexOf(sub, start - 1, Qt::CaseInsensitive);
         c.result(QVariant::fromValue<qint64>(sub.isEmpty() ? (start <= s.size() ? start : 0) : at + 1));
     }},
    {"jet_ucase", 1, [](Call &c) { c.result(asciiCase(c.string(0), true)); }},
    {"jet_lcase", 1, [](Call &c) { c.result(asciiCase(c.string(0), false)); }},
    {"jet_space", 1, [](Call &c) { c.result(QString(std::max<qint64>(0, c.whole(0)), QLatin1Char(' '))); }},
    {"jet_string", 2, [](Call &c) {
         const int type = sqlite3_value_type(c.argv[1]);
         const QString given = type == SQLITE_TEXT ? c.string(1) : QString(QChar(static_cast<char16_t>(c.whole(1))));
         if (given.isEmpty())
             c.fail(QStringLiteral("无效的过程调用或参数"));
         const QChar ch = given.isEmpty() ? QChar() : given.at(0);
         c.result(QString(std::max<qint64>(0, c.whole(0)), ch));
     }},
    {"jet_year", 1, [](Call &c) { c.result(QVariant::fromValue<qint64>(c.date(0).date().year())); }},
    {"jet_month", 1, [](Call &c) { c.result(QVariant::fromValue<qint64>(c.date(0).date().month())); }},
    {"jet_day", 1, [](Call &c) { c.result(QVariant::fromValue<qint64>(c.date(0).date().day())); }},
    {"jet_hour", 1, [](Call &c) { c.result(QVariant::fromValue<qint64>(c.date(0).time().hour())); }},
    {"jet_minute", 1, [](Call &c) { c.result(QVariant::fromValue<qint64>(c.date(0).time().minute())); }},
    {"jet_second", 1, [](Call &c) { c.result(QVariant::fromValue<qint64>(c.date(0).time().second())); }},
    {"jet_weekday", 1, [](Call &c) { c.result(datePart(QStringLiteral("w"), c.date(0)).value_or(0)); }},
    {"jet_datepart", 2, [](Call &c) {
         const auto part = datePart(c.string(0), c.date(1));
         if (!part)
             c.fail(QStringLiteral("无效的过程调用或参数"));
         c.result(QVariant::fromValue<qint64>(part.value_or(0)));
     }},
    {"jet_dateadd", 3, [](Call &c) {
         const auto d = dateAdd(c.string(0), c.whole(1), c.date(2));
         if (!d)
             c.fail(QStringLiteral("无效的过程调用或参数"));
         c.result(d ? isoText(*d) : QString());
     }},
    {"jet_datediff", 3, [](Call &c) {
         const auto diff = dateDiff(c.string(0), c.date(1), c.date(2));
         if (!diff)
             c.fail(QStringLiteral("无效的过程调用或参数"));
         c.result(QVariant::fromValue<qint64>(diff.value_or(0)));
     }},
    {"jet_dateserial", 3, [](Call &c) {
         qint64 year = c.whole(0);
         if (year >= 0 && year < 30)
             year += 2000;
         else if (year >= 30 && year < 100)
             year += 1900;
         const QDate d = QDate(static_cast<int>(year), 1, 1).addMonths(static_cast<int>(c.whole(1) - 1)).addDays(c.whole(2) - 1);
         c.result(d.toString(QStringLiteral("yyyy-MM-dd")));
     }},
    {"jet_datevalue", 1, [](Call &c) { c.result(c.date(0).date().toString(QStringLiteral("yyyy-MM-dd"))); }},
    {"jet_cdate", 1, [](Call &c) { c.result(isoText(c.date(0))); }},
    {"jet_int", 1, [](Call &c) { c.result(numberValue(std::floor(c.number(0)))); }},
    {"jet_fix", 1, [](Call &c) { c.result(numberValue(std::trunc(c.number(0)))); }},
    {"jet_round_even", -1, [](Call &c) {
         c.result(numberValue(roundEven(c.number(0), c.argc > 1 ? static_cast<int>(c.whole(1)) : 0)));
     }},
    {"jet_sgn", 1, [](Call &c) {
         const double d = c.number(0);
         c.result(QVariant::fromValue<qint64>(d > 0 ? 1 : d < 0 ? -1 : 0));
     }},
    {"jet_sqr", 1, [](Call &c) {
         const double d = c.number(0);
         if (d < 0)
             c.fail(QStringLiteral("无效的过程调用或参数"));
         c.result(numberValue(std::sqrt(std::max(0.0, d))));
     }},
    {"jet_cint", 1, [](Call &c) { c.result(QVariant::fromValue<qint64>(c.whole(0))); }},
    {"jet_clng", 1, [](Call &c) { c.result(QVariant::fromValue<qint64>(c.whole(0))); }},
    {"jet_cdbl", 1, [](Call &c) { c.result(numberValue(c.number(0))); }},
    {"jet_ccur", 1, [](Call &c) { c.result(numberValue(roundEven(c.number(0), 4))); }},
    {"jet_cstr", 1, [](Call &c) { c.result(c.string(0)); }},
    {"jet_val", 1, [](Call &c) { c.result(numberValue(leadingNumber(c.string(0)))); }},
};

void dispatch(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    const auto *def = static_cast<const Definition *>(sqlite3_user_data(ctx));
    Call call{ctx, argc, argv};
    if (def->nullIn && call.anyNull()) {
        sqlite3_result_null(ctx);
        return;
    }
    def->body(call);
}

} // namespace

QVariant valueOf(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    }
}

QVariant text(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 15);
    }
    return value.toString();
}

double roundEven(double value, int places)
{
    const double scale = std::pow(10.0, places);
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value * scale) / scale;
    std::fesetround(mode);
    return rounded;
}

std::optional<QDateTime> dateOf(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong) {
        // Jet's day number: whole days since 1899-12-30, the fraction the time of day.
        const double d = value.toDouble();
        const double days = std::floor(d);
        return QDateTime(kDayZero.addDays(static_cast<qint64>(days)), QTime(0, 0))
            .addSecs(static_cast<qint64>(std::llround((d - days) * 86400.0)));
    }
    const auto date = parseJetDate(value.toString().trimmed());
    if (!date)
        return std::nullopt;
    return date->toDateTime();
}

QString isoText(const QDateTime &date)
{
    return date.time() == QTime(0, 0) ? date.date().toString(QStringLiteral("yyyy-MM-dd"))
                                      : date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<QDateTime> dateAdd(const QString &interval, qint64 count, const QDateTime &date)
{
    const QString i = interval.trimmed().toLower();
    const int n = static_cast<int>(count);
    if (i == QLatin1String("yyyy"))
        return date.addYears(n);
    if (i == QLatin1String("q"))
        return date.addMonths(3 * n);
    if (i == QLatin1String("m"))
        return date.addMonths(n);
    if (i == QLatin1String("y") || i == QLatin1String("d") || i == QLatin1String("w"))
        return date.addDays(count);
    if (i == QLatin1String("ww"))
        return date.addDays(7 * count);
    if (i == QLatin1String("h"))
        return date.addSecs(3600 * count);
    if (i == QLatin1String("n"))
        return date.addSecs(60 * count);
    if (i == QLatin1String("s"))
        return date.addSecs(count);
    return std::nullopt;
}

std::optional<qint64> dateDiff(const QString &interval, const QDateTime &from, const QDateTime &to)
{
    const QString i = interval.trimmed().toLower();
    const QDate a = from.date(), b = to.date();
    const auto seconds = [](const QDateTime &d) { return d.date().toJulianDay() * 86400 + d.time().msecsSinceStartOfDay() / 1000; };
    // Boundaries crossed: whole hours, minutes or seconds from one to the other, counted on the clock.
    const auto boundaries = [&](qint64 unit) {
        const auto floorDiv = [](qint64 x, qint64 u) { return x >= 0 ? x / u : -((-x + u - 1) / u); };
        return floorDiv(seconds(to), unit) - floorDiv(seconds(from), unit);
    };
    if (i == QLatin1String("yyyy"))
        return b.year() - a.year();
    if (i == QLatin1String("q"))
        return (b.year() - a.year()) * 4 + (b.month() - 1) / 3 - (a.month() - 1) / 3;
    if (i == QLatin1String("m"))
        return (b.year() - a.year()) * 12 + b.month() - a.month();
    if (i == QLatin1String("y") || i == QLatin1String("d"))
        return a.daysTo(b);
    if (i == QLatin1String("w"))
        return a.daysTo(b) / 7;
    if (i == QLatin1String("ww")) {
        // Sundays crossed: the weeks (Sunday to Saturday) between the two.
        const QDate weekA = a.addDays(-(a.dayOfWeek() % 7)), weekB = b.addDays(-(b.dayOfWeek() % 7));
        return weekA.daysTo(weekB) / 7;
    }
    if (i == QLatin1String("h"))
        return boundaries(3600);
    if (i == QLatin1String("n"))
        return boundaries(60);
    if (i == QLatin1String("s"))
        return boundaries(1);
    return std::nullopt;
}

std::optional<qint64> datePart(const QString &interval, const QDateTime &date)
{
    const QString i = interval.trimmed().toLower();
    const QDate d = date.date();
    if (i == QLatin1String("yyyy"))
        return d.year();
    if (i == QLatin1String("q"))
        return (d.month() - 1) / 3 + 1;
    if (i == QLatin1String("m"))
        return d.month();
    if (i == QLatin1String("y"))
        return d.dayOfYear();
    if (i == QLatin1String("d"))
        return d.day();
    if (i == QLatin1String("w"))
        return d.dayOfWeek() % 7 + 1; // Sunday is 1
    if (i == QLatin1String("ww"))
        return dateDiff(QStringLiteral("ww"), QDateTime(QDate(d.year(), 1, 1), QTime(0, 0)), date).value_or(0) + 1;
    if (i == QLatin1String("h"))
        return date.time().hour();
    if (i == QLatin1String("n"))
        return date.time().minute();
    if (i == QLatin1String("s"))
        return date.time().second();
    return std::nullopt;
}

double leadingNumber(const QString &text)
{
    QString s;
    for (const QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            s += c;
    qsizetype i = 0;
    if (i < s.size() && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        ++i;
    const qsizetype digitsFrom = i;
    while (i < s.size() && s.at(i).isDigit())
        ++i;
    if (i < s.size() && s.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < s.size() && s.at(i).isDigit())
            ++i;
    }
    if (i == digitsFrom || (i == digitsFrom + 1 && s.at(digitsFrom) == QLatin1Char('.')))
        return 0;
    qsizetype end = i;
    if (i < s.size() && (s.at(i) == QLatin1Char('e') || s.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < s.size() && (s.at(j) == QLatin1Char('+') || s.at(j) == QLatin1Char('-')))
            ++j;
        const qsizetype expFrom = j;
        while (j < s.size() && s.at(j).isDigit())
            ++j;
        if (j > expFrom)
            end = j;
    }
    const double d = s.left(end).toDouble();
    return std::isfinite(d) ? d : 0;
}

void registerOn(sqlite3 *db)
{
    for (const Definition &def : kFunctions)
        sqlite3_create_function_v2(db, def.name, def.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   const_cast<Definition *>(&def), dispatch, nullptr, nullptr, nullptr);
}

} // namespace JetFunctions
