#include "fuzzchecks.h"

#include "domain/queries/conditiontext.h"
#include "store/findcriterion.h"
#include "store/jetdate.h"
#include "store/jetsql.h"
#include "store/sqlfunctions.h"
#include "store/sqlquote.h"
#include "store/valuecheck.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QVariant>
#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

// A value as a failure message shows it: control characters spelled out.
QString shown(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

// The first parts - 1 lines, then everything after them as the last part.
QStringList splitLines(const QString &text, int parts)
{
    QStringList out;
    qsizetype start = 0;
    while (out.size() < parts - 1) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            break;
        out << text.mid(start, end - start);
        start = end + 1;
    }
    out << text.mid(start);
    return out;
}

int indexFrom(QChar c, int count)
{
    const int v = (static_cast<int>(c.unicode()) - '0') % count;
    return v < 0 ? v + count : v;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// An in-memory database with one table t(A..H), for what SQLite must say.
struct Database
{
    sqlite3 *db = nullptr;
    Database()
    {
        sqlite3_open(":memory:", &db);
        registerSqlFunctions(db);
        sqlite3_exec(db, "create table t(A, B, C, D, E, F, G, H)", nullptr, nullptr, nullptr);
    }
    ~Database() { sqlite3_close(db); }
};

sqlite3 *memoryDatabase()
{
    static Database database;
    return database.db;
}

// ---- translateJet -----------------------------------------------------------

struct Segment
{
    QString text;
    bool literal = false;
};

// SQL cut into literals ('...' and "..." with doubled quotes inside, [...]) and
// the code between them. An unclosed literal runs to the end.
QList<Segment> literalSegments(const QString &sql)
{
    QList<Segment> out;
    QString code;
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (c != QLatin1Char('\'') && c != QLatin1Char('"') && c != QLatin1Char('[')) {
            code += c;
            ++i;
            continue;
        }
        const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
        qsizetype j = i + 1;
        while (j < sql.size()) {
            if (sql.at(j) == close) {
                if (close != QLatin1Char(']') && j + 1 < sql.size() && sql.at(j + 1) == close) {
                    j += 2;
                    continue;
                }
                ++j;
                break;
            }
            ++j;
        }
        if (!code.isEmpty())
            out.append({code, false});
        code.clear();
        out.append({sql.mid(i, j - i), true});
        i = j;
    }
    if (!code.isEmpty())
        out.append({code, false});
    return out;
}

// "delete <blanks> * <blanks> from" as a whole word at pos.
bool deleteStarAt(const QString &s, qsizetype pos)
{
    if (pos > 0 && isWordChar(s.at(pos - 1)))
        return false;
    if (QStringView(s).mid(pos, 6).compare(QLatin1String("delete"), Qt::CaseInsensitive) != 0)
        return false;
    qsizetype i = pos + 6;
    const qsizetype afterWord = i;
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    if (i == afterWord || i >= s.size() || s.at(i) != QLatin1Char('*'))
        return false;
    ++i;
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    if (QStringView(s).mid(i, 4).compare(QLatin1String("from"), Qt::CaseInsensitive) != 0)
        return false;
    i += 4;
    return i >= s.size() || !isWordChar(s.at(i));
}

// ---- findCriterion ----------------------------------------------------------

const QStringList &comparisonOps()
{
    static const QStringList ops = {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("<"),
                                    QStringLiteral(">"), QStringLiteral("<="), QStringLiteral(">=")};
    return ops;
}

// The comparison operators against one field value must agree with each other.
QString comparisonsAgree(const FindCriterion &c, const QVariant &field)
{
    QHash<QString, bool> m;
    for (const QString &op : comparisonOps()) {
        FindCriterion other = c;
        other.op = op;
        m.insert(op, other.matches(field));
    }
    const QString where = QStringLiteral(" (literal %1, field %2)").arg(shown(c.literal.toString()), shown(field.toString()));
    const bool lt = m.value(QStringLiteral("<")), eq = m.value(QStringLiteral("=")), gt = m.value(QStringLiteral(">"));
    const bool comparable = lt || eq || gt;
    if (comparable && int(lt) + int(eq) + int(gt) != 1)
        return QStringLiteral("more than one of < = > holds") + where;
    if (comparable) {
        if (m.value(QStringLiteral("<>")) == eq)
            return QStringLiteral("<> is not the opposite of =") + where;
        if (m.value(QStringLiteral("<=")) != (lt || eq) || m.value(QStringLiteral(">=")) != (gt || eq))
            return QStringLiteral("<= or >= disagree with < = >") + where;
    } else {
        for (const QString &op : comparisonOps())
            if (m.value(op))
                return QStringLiteral("%1 holds where none of < = > does").arg(op) + where;
    }
    if (!c.textLiteral) {
        bool ok = false;
        const double number = field.toString().trimmed().toDouble(&ok);
        if (eq && !(ok && number == c.literal.toDouble()))
            return QStringLiteral("= holds for a field that is not that number") + where;
        if (ok && std::isfinite(number) && !comparable)
            return QStringLiteral("a field holding a number does not compare with a number") + where;
    } else if (eq && field.toString().toCaseFolded() != c.literal.toString().toCaseFolded()) {
        return QStringLiteral("= holds for a different text") + where;
    }
    return {};
}

bool isPlainAscii(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() == 0 || c.unicode() > 0x7f)
            return false;
    return true;
}

// like against an oracle: SQLite's own LIKE where both sides are ASCII (it
// folds ASCII case only), and plain equality where the pattern has no wildcard.
QString likeAgrees(const FindCriterion &c, const QString &field)
{
    const QString pattern = c.literal.toString();
    const bool ours = c.matches(field);
    static const QRegularExpression wildcard(QStringLiteral("[%*_?]"));
    if (!pattern.contains(wildcard) && ours != (field.toCaseFolded() == pattern.toCaseFolded()))
        return QStringLiteral("like without wildcards is not equality for field %1").arg(shown(field));
    if (!isPlainAscii(field) || !isPlainAscii(pattern))
        return {};
    QString sqlitePattern = pattern;
    sqlitePattern.replace(QLatin1Char('*'), QLatin1Char('%')).replace(QLatin1Char('?'), QLatin1Char('_'));
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(memoryDatabase(), "select ?1 like ?2", -1, &stmt, nullptr);
    const QByteArray f = field.toUtf8(), p = sqlitePattern.toUtf8();
    sqlite3_bind_text(stmt, 1, f.constData(), static_cast<int>(f.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, p.constData(), static_cast<int>(p.size()), SQLITE_TRANSIENT);
    const bool stepped = sqlite3_step(stmt) == SQLITE_ROW;
    const bool theirs = stepped && sqlite3_column_int(stmt, 0) != 0;
    sqlite3_finalize(stmt);
    if (stepped && ours != theirs)
        return QStringLiteral("like says %1, SQLite says %2 for field %3").arg(ours).arg(theirs).arg(shown(field));
    return {};
}

bool sameCriterion(const FindCriterion &a, const FindCriterion &b)
{
    if (a.column != b.column || a.op != b.op || a.textLiteral != b.textLiteral)
        return false;
    if (a.textLiteral)
        return a.literal.toString() == b.literal.toString();
    return a.literal.toDouble() == b.literal.toDouble();
}

QString quotedRoundTrip(const QString &typed)
{
    // sqlQuote joins NULs in as char(0), so even they come back.
    const QString &text = typed;
    for (const QString &op : {QStringLiteral("="), QStringLiteral(" = "), QStringLiteral(" like ")}) {
        const QString criterion = QStringLiteral("kh") + op + sqlQuote(text);
        const auto c = FindCriterion::parse(criterion);
        if (!c)
            return QStringLiteral("quoted text does not parse back: %1").arg(shown(criterion));
        if (c->column != QLatin1String("kh") || c->op != op.trimmed() || !c->textLiteral
            || c->literal.typeId() != QMetaType::QString || c->literal.toString() != text)
            return QStringLiteral("quoted text parses back as %1 %2 %3: %4")
                .arg(shown(c->column), c->op, shown(c->literal.toString()), shown(criterion));
        if (!c->matches(text))
            return QStringLiteral("quoted text does not match itself: %1").arg(shown(criterion));
    }
    return {};
}

QString numberRoundTrip(double number)
{
    if (!std::isfinite(number))
        return {};
    const QString criterion = QStringLiteral("id=") + sqlNumber(number);
    const auto c = FindCriterion::parse(criterion);
    if (!c || c->textLiteral || c->literal.toDouble() != number)
        return QStringLiteral("number %1 written as %2 does not parse back")
            .arg(QString::number(number, 'g', 17), shown(criterion));
    if (!c->matches(QVariant(number)))
        return QStringLiteral("number %1 does not match itself").arg(shown(criterion));
    return {};
}

// ---- jetFormat --------------------------------------------------------------

bool isDatePatternLetter(QChar c)
{
    const QChar l = c.toLower();
    return l == QLatin1Char('y') || l == QLatin1Char('d') || l == QLatin1Char('h') || l == QLatin1Char('s')
           || l == QLatin1Char('n') || l == QLatin1Char('m');
}

// A number written with a pattern of '#', '0', '.', '%': the decimals and
// integer places asked for, the sign, and the value within half a last place.
QString numberShape(double value, const QString &pattern, const QString &out)
{
    static const QRegularExpression simple(QStringLiteral("^[#0]*(\\.[#0]*)?%?\\z"));
    if (!simple.match(pattern).hasMatch())
        return {};
    const bool percent = pattern.endsWith(QLatin1Char('%'));
    const double target = percent ? value * 100.0 : value;
    if (!std::isfinite(target))
        return {};
    const QString body = percent ? pattern.chopped(1) : pattern;
    const qsizetype dot = body.indexOf(QLatin1Char('.'));
    const int decimals = dot < 0 ? 0 : static_cast<int>(body.size() - dot - 1);
    const int minInt = static_cast<int>((dot < 0 ? body : body.left(dot)).count(QLatin1Char('0')));
    const QString where = QStringLiteral(" (%1 with %2 gave %3)").arg(QString::number(value, 'g', 17), shown(pattern), shown(out));

    static const QRegularExpression shape(QStringLiteral("^(-?)(\\d*)(?:\\.(\\d+))?(%?)\\z"));
    const auto m = shape.match(out);
    if (!m.hasMatch())
        return QStringLiteral("not a number") + where;
    if (m.captured(4).isEmpty() == percent)
        return QStringLiteral("percent sign wrong") + where;
    if (m.captured(3).size() != decimals)
        return QStringLiteral("wrong number of decimals") + where;
    const QString intDigits = m.captured(2);
    // '#' places print nothing for a zero integer part, as the old Format did.
    if (intDigits.isEmpty() && minInt > 0)
        return QStringLiteral("integer part missing") + where;
    if (intDigits.size() < minInt)
        return QStringLiteral("fewer integer places than the pattern's zeros") + where;
    if (intDigits.size() > std::max(minInt, 1) && intDigits.startsWith(QLatin1Char('0')))
        return QStringLiteral("leading zeros beyond the pattern") + where;
    const QString digits = intDigits + m.captured(3);
    const bool nonZero = digits.contains(QRegularExpression(QStringLiteral("[1-9]")));
    if (!m.captured(1).isEmpty() && !(nonZero && target < 0))
        return QStringLiteral("minus sign on a value that shows as zero or is not negative") + where;
    if (m.captured(1).isEmpty() && nonZero && target < 0)
        return QStringLiteral("minus sign missing") + where;
    const double shownValue = (m.captured(1) + (intDigits.isEmpty() ? QStringLiteral("0") : intDigits)
                               + QLatin1Char('.') + m.captured(3) + QLatin1Char('0'))
                                  .toDouble();
    const double tolerance = 0.5 * std::pow(10.0, -decimals) + 1e-9 * std::max(1.0, std::fabs(target));
    if (!(std::fabs(shownValue - target) <= tolerance))
        return QStringLiteral("value off by more than half a last place") + where;
    return {};
}

QString formatsAgree(const QVariant &a, const QVariant &b, const QString &pattern, const QString &what)
{
    const QString x = jetFormat(a, pattern).toString();
    const QString y = jetFormat(b, pattern).toString();
    if (x != y)
        return QStringLiteral("%1: %2 and %3 with %4").arg(what, shown(x), shown(y), shown(pattern));
    return {};
}

// ---- valueCheck -------------------------------------------------------------

bool isAsciiBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\v')
           || c == QLatin1Char('\f') || c == QLatin1Char('\r');
}

// Written out by hand: blanks, a sign, digits (grouped by commas in threes or
// not at all), decimals, an exponent, blanks.
bool readsAsTypedNumber(const QString &t)
{
    qsizetype b = 0, e = t.size();
    while (b < e && isAsciiBlank(t.at(b)))
        ++b;
    while (e > b && isAsciiBlank(t.at(e - 1)))
        --e;
    qsizetype i = b;
    if (i < e && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        ++i;
    const qsizetype intStart = i;
    while (i < e && isAsciiDigit(t.at(i)))
        ++i;
    const qsizetype firstGroup = i - intStart;
    if (firstGroup > 0 && i < e && t.at(i) == QLatin1Char(',')) {
        if (firstGroup > 3)
            return false;
        while (i < e && t.at(i) == QLatin1Char(',')) {
            if (i + 3 >= e || !isAsciiDigit(t.at(i + 1)) || !isAsciiDigit(t.at(i + 2)) || !isAsciiDigit(t.at(i + 3)))
                return false;
            i += 4;
        }
        if (i < e && isAsciiDigit(t.at(i)))
            return false;
    }
    bool fraction = false;
    if (i < e && t.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < e && isAsciiDigit(t.at(i))) {
            ++i;
            fraction = true;
        }
    }
    if (firstGroup == 0 && !fraction)
        return false;
    if (i < e && (t.at(i) == QLatin1Char('e') || t.at(i) == QLatin1Char('E'))) {
        ++i;
        if (i < e && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
            ++i;
        const qsizetype expStart = i;
        while (i < e && isAsciiDigit(t.at(i)))
            ++i;
        if (i == expStart)
            return false;
    }
    return i == e;
}

// The number a condition or a record gets from typed text.
std::optional<double> typedNumber(const QString &typed)
{
    bool ok = false;
    const double n = QString(typed.trimmed()).remove(QLatin1Char(',')).toDouble(&ok);
    if (!ok || !std::isfinite(n))
        return std::nullopt;
    return n;
}

int codePoints(const QString &text)
{
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        ++n;
    }
    return n;
}

// ---- strtjset ---------------------------------------------------------------

struct FuzzField
{
    QString caption;
    QString code;
    QString type;
};

// The fixed dictionary the rows choose from; the last caption is not in it.
const QList<FuzzField> &fuzzFields()
{
    static const QList<FuzzField> fields = {
        {QStringLiteral("航空公司"), QStringLiteral("A"), QStringLiteral("CHAR")},
        {QStringLiteral("张数"), QStringLiteral("B"), QStringLiteral("NUME")},
        {QStringLiteral("出票日期"), QStringLiteral("C"), QStringLiteral("DATETIME")},
        {QStringLiteral("登记日期"), QStringLiteral("D"), QStringLiteral("DATE")},
        {QStringLiteral("备注"), QStringLiteral("E"), QStringLiteral("TXT")},
        {QStringLiteral("金额"), QStringLiteral("F"), QStringLiteral("MON")},
        {QStringLiteral("比例"), QStringLiteral("G"), QStringLiteral("BFL")},
        {QStringLiteral("代号"), QStringLiteral("H"), QStringLiteral("XYZ")},
        {QStringLiteral("无此项"), QString(), QString()},
    };
    return fields;
}

std::optional<ConditionField> fuzzLookup(const QString &caption)
{
    for (const FuzzField &f : fuzzFields())
        if (f.caption == caption && !f.code.isEmpty())
            return ConditionField{f.code, f.caption, f.type};
    return std::nullopt;
}

const QStringList &rowOps()
{
    static const QStringList ops = {QStringLiteral("="),  QStringLiteral("<>"),   QStringLiteral("<"),
                                    QStringLiteral("<="), QStringLiteral(">"),    QStringLiteral(">="),
                                    QStringLiteral("like"), QStringLiteral("LIKE"), QStringLiteral("=<"),
                                    QString()};
    return ops;
}

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

// Prepares the statement as Connection does (translated, as UTF-8), demanding
// that the whole text is one statement.
Statement prepareWhole(const QString &sql, QString *error)
{
    const QByteArray utf8 = translateJet(sql).toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(memoryDatabase(), utf8.constData(), static_cast<int>(utf8.size()), &stmt, &tail);
    Statement owned(stmt, &sqlite3_finalize);
    if (rc != SQLITE_OK || !stmt) {
        *error = QStringLiteral("does not prepare (%1): %2")
                     .arg(QString::fromUtf8(sqlite3_errmsg(memoryDatabase())), shown(QString::fromUtf8(utf8)));
        return Statement(nullptr, &sqlite3_finalize);
    }
    if (tail != utf8.constData() + utf8.size()) {
        *error = QStringLiteral("is not one whole statement, left over %1: %2")
                     .arg(shown(QString::fromUtf8(tail)), shown(QString::fromUtf8(utf8)));
        return Statement(nullptr, &sqlite3_finalize);
    }
    return owned;
}

struct RowExpectation
{
    enum Outcome { Skipped, Accepted, UnknownField, Refused } outcome = Skipped;
    QString code;
    QVariant stored; // what the column must hold for the term to be an equality
    bool numeric = false;
};

} // namespace

QString FuzzChecks::translateJet(const QByteArray &input)
{
    const QString sql = QString::fromUtf8(input);
    const QString out = ::translateJet(sql);

    // Translation is local to the code between literals: literals come out as they went in.
    QString pieceWise;
    for (const Segment &s : literalSegments(sql))
        pieceWise += s.literal ? s.text : ::translateJet(s.text);
    if (out != pieceWise)
        return QStringLiteral("literals not kept or translation not local: %1 gave %2, piece by piece %3")
            .arg(shown(sql), shown(out), shown(pieceWise));

    if (!sql.contains(QLatin1Char('#')) && !sql.contains(QLatin1String("delete"), Qt::CaseInsensitive) && out != sql)
        return QStringLiteral("SQL without # or delete changed: %1 gave %2").arg(shown(sql), shown(out));

    const QString again = ::translateJet(out);
    if (again != out)
        return QStringLiteral("a second pass changed %1 into %2").arg(shown(out), shown(again));

    for (const Segment &s : literalSegments(out)) {
        if (s.literal)
            continue;
        for (qsizetype i = 0; i < s.text.size(); ++i)
            if (deleteStarAt(s.text, i))
                return QStringLiteral("\"delete * from\" left in %1").arg(shown(out));
    }
    return {};
}

QString FuzzChecks::findCriterion(const QByteArray &input)
{
    const QStringList parts = splitLines(QString::fromUtf8(input), 3);
    const QString criterion = parts.value(0);
    const QString fieldText = parts.value(1);
    const QString text = parts.value(2);

    if (const auto c = FindCriterion::parse(criterion)) {
        static const QRegularExpression badColumn(QStringLiteral("[\\]\\s=<>]"));
        if (c->column.isEmpty() || c->column.contains(badColumn))
            return QStringLiteral("column %1 from %2").arg(shown(c->column), shown(criterion));
        if (!comparisonOps().contains(c->op) && c->op != QLatin1String("like"))
            return QStringLiteral("operator %1 from %2").arg(shown(c->op), shown(criterion));
        if (c->textLiteral && c->literal.typeId() != QMetaType::QString)
            return QStringLiteral("text literal is no text: %1").arg(shown(criterion));
        if (!c->textLiteral) {
            if (c->literal.typeId() != QMetaType::Double || c->op == QLatin1String("like"))
                return QStringLiteral("number literal wrong: %1").arg(shown(criterion));
            if (!std::isfinite(c->literal.toDouble()))
                return QStringLiteral("literal is not a finite number: %1").arg(shown(criterion));
        }

        // Written back the way the program writes criteria, it reads the same.
        const bool like = c->op == QLatin1String("like");
        const QString rewritten = QLatin1Char('[') + c->column + QLatin1Char(']')
                                  + (like ? QStringLiteral(" like ") : c->op)
                                  + (c->textLiteral ? sqlQuote(c->literal.toString()) : sqlNumber(c->literal.toDouble()));
        const auto again = FindCriterion::parse(rewritten);
        if (!again || !sameCriterion(*c, *again))
            return QStringLiteral("%1 rewritten as %2 reads differently").arg(shown(criterion), shown(rewritten));

        if (c->matches(QVariant()))
            return QStringLiteral("a null field matches %1").arg(shown(criterion));
        if (like) {
            if (!c->matches(c->literal.toString()))
                return QStringLiteral("like pattern does not match itself: %1").arg(shown(criterion));
            if (const QString failure = likeAgrees(*c, fieldText); !failure.isEmpty())
                return failure + QStringLiteral(" in ") + shown(criterion);
        } else {
            QString failure = comparisonsAgree(*c, fieldText);
            bool ok = false;
            const double number = fieldText.toDouble(&ok);
            if (failure.isEmpty() && ok)
                failure = comparisonsAgree(*c, QVariant(number));
            if (!failure.isEmpty())
                return failure + QStringLiteral(" in ") + shown(criterion);
        }
    }

    if (const QString failure = quotedRoundTrip(text); !failure.isEmpty())
        return failure;
    bool ok = false;
    const double typed = text.toDouble(&ok);
    if (ok)
        if (const QString failure = numberRoundTrip(typed); !failure.isEmpty())
            return failure;
    if (input.size() >= qsizetype(sizeof(double))) {
        double raw;
        std::memcpy(&raw, input.constData(), sizeof raw);
        if (const QString failure = numberRoundTrip(raw); !failure.isEmpty())
            return failure;
    }
    return {};
}

QString FuzzChecks::jetFormat(const QByteArray &input)
{
    const QStringList parts = splitLines(QString::fromUtf8(input), 2);
    const QString valueText = parts.value(0);
    const QString pattern = parts.value(1);

    if (!::jetFormat(QVariant(), pattern).isNull())
        return QStringLiteral("null value formatted as something with %1").arg(shown(pattern));
    const QVariant result = ::jetFormat(valueText, pattern);
    if (result.isNull() || result.typeId() != QMetaType::QString)
        return QStringLiteral("no text for %1 with %2").arg(shown(valueText), shown(pattern));
    const QString out = result.toString();
    if (pattern.isEmpty() && out != valueText)
        return QStringLiteral("empty pattern changed %1 into %2").arg(shown(valueText), shown(out));

    const auto date = parseJetDate(valueText);
    bool ok = false;
    const double number = valueText.trimmed().toDouble(&ok);
    const bool finiteNumber = ok && std::isfinite(number);

    bool datePattern = false;
    for (const QChar c : pattern)
        datePattern = datePattern || isDatePatternLetter(c);

    if (!pattern.isEmpty() && datePattern) {
        if (!date) {
            if (out != valueText)
                return QStringLiteral("no date in %1, yet %2 gave %3").arg(shown(valueText), shown(pattern), shown(out));
        } else {
            // A date read from text formats as the same date handed over typed.
            if (const QString f = formatsAgree(valueText, date->toDateTime(), pattern, QStringLiteral("text and QDateTime differ"));
                !f.isEmpty())
                return f;
            if (!date->hasTime)
                if (const QString f = formatsAgree(valueText, date->date, pattern, QStringLiteral("text and QDate differ"));
                    !f.isEmpty())
                    return f;
        }
    } else if (!pattern.isEmpty()) {
        if (!finiteNumber) {
            if (out != valueText)
                return QStringLiteral("no number in %1, yet %2 gave %3").arg(shown(valueText), shown(pattern), shown(out));
        } else {
            // SQLite hands numbers over as REAL or INTEGER: the same text as from the typed value.
            if (const QString f = formatsAgree(valueText, number, pattern, QStringLiteral("text and REAL differ")); !f.isEmpty())
                return f;
            if (number == std::floor(number) && std::fabs(number) < 9e18)
                if (const QString f = formatsAgree(valueText, QVariant::fromValue<qint64>(static_cast<qint64>(number)),
                                                   pattern, QStringLiteral("text and INTEGER differ"));
                    !f.isEmpty())
                    return f;
            if (const QString f = numberShape(number, pattern, out); !f.isEmpty())
                return f;
        }
    }

    // The patterns the program's SQL uses, against Qt's own date writer and the number shape.
    if (date) {
        // Read back, the ISO-like text names the same date.
        const auto back = parseJetDate(::jetFormat(valueText, QStringLiteral("yyyy-mm-dd hh:nn:ss")).toString());
        if (!back || back->toDateTime() != date->toDateTime())
            return QStringLiteral("%1 written with yyyy-mm-dd hh:nn:ss reads back as another date").arg(shown(valueText));
    }
    // Qt pads a year to four places, the old Format does not: compare from year 1000 on.
    if (date && date->date.year() >= 1000) {
        const QDateTime dt = date->toDateTime();
        const QList<std::pair<QString, QString>> datePatterns = {
            {QStringLiteral("yyyy-mm-dd"), dt.toString(QStringLiteral("yyyy-MM-dd"))},
            {QStringLiteral("yyyy-MM-dd"), dt.toString(QStringLiteral("yyyy-MM-dd"))},
            {QStringLiteral("yyyy-mm-dd hh:mm:ss amPM"), dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss AP"))},
            {QStringLiteral("yyyy-mm-dd hh:nn:ss"), dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
            {QStringLiteral("m/d/yy"), dt.toString(QStringLiteral("M/d/yy"))},
        };
        for (const auto &[p, expected] : datePatterns) {
            const QString got = ::jetFormat(valueText, p).toString();
            if (got != expected)
                return QStringLiteral("%1 with %2 gave %3, not %4").arg(shown(valueText), shown(p), shown(got), shown(expected));
        }
    }
    if (finiteNumber) {
        for (const QString &p : {QStringLiteral("###00.00"), QStringLiteral("##00.00"), QStringLiteral("#####0.00"),
                                 QStringLiteral("0.00%"), QStringLiteral("#")}) {
            if (const QString f = numberShape(number, p, ::jetFormat(valueText, p).toString()); !f.isEmpty())
                return f;
        }
    }
    return {};
}

QString FuzzChecks::valueCheck(const QByteArray &input)
{
    const QString text = QString::fromUtf8(input);
    const QString value = text.mid(3);

    // What a number box accepts must read as a finite number, as it will be written.
    const bool numeric = Modcheck::isNumeric(value);
    if (numeric && !typedNumber(value))
        return QStringLiteral("accepted as a number but reads as none: %1").arg(shown(value));
    if (numeric != (readsAsTypedNumber(value) && typedNumber(value)))
        return QStringLiteral("isNumeric says %1 for %2").arg(numeric).arg(shown(value));
    if (Modcheck::characterCount(value) != codePoints(value))
        return QStringLiteral("characterCount %1 for %2").arg(Modcheck::characterCount(value)).arg(shown(value));

    static const QHash<QChar, QString> typeWords = {
        {QLatin1Char('c'), QStringLiteral("CHAR")},     {QLatin1Char('n'), QStringLiteral("NUME")},
        {QLatin1Char('d'), QStringLiteral("DATETIME")}, {QLatin1Char('C'), QStringLiteral("char")},
        {QLatin1Char('N'), QStringLiteral("Nume")},     {QLatin1Char('D'), QStringLiteral("DateTime")},
    };
    const QChar typeChar = text.isEmpty() ? QChar() : text.at(0);
    const QString type = typeWords.value(typeChar, QString(typeChar));
    const int maxLength = text.size() > 1 ? static_cast<int>(text.at(1).unicode()) - '0' : 0;
    const QString nullMark = text.size() > 2 ? QString(text.at(2)) : QString();
    const QString caption = QStringLiteral("票号");

    const ValueCheck r = Modcheck::checkValue(type, maxLength, value, caption, nullMark);
    const QString word = type.toUpper();
    const QString where = QStringLiteral(" (%1, %2, %3, null mark %4)").arg(shown(type)).arg(maxLength).arg(shown(value), shown(nullMark));
    bool expected = false;
    if (word == QLatin1String("CHAR") || word == QLatin1String("NUME") || word == QLatin1String("DATETIME")) {
        if (value.isEmpty())
            expected = nullMark == QLatin1String("0");
        else if (word == QLatin1String("CHAR"))
            expected = codePoints(value) <= maxLength;
        else if (word == QLatin1String("NUME"))
            expected = numeric;
        else
            expected = parseJetDate(value).has_value();
        if (r.ok != expected)
            return QStringLiteral("checkValue says %1").arg(r.ok) + where;
        if (r.ok != r.message.isEmpty() || (!r.ok && !r.message.startsWith(caption)))
            return QStringLiteral("message %1").arg(shown(r.message)) + where;
    } else if (r.ok || !r.message.isEmpty()) {
        return QStringLiteral("unknown type word passed or explained") + where;
    }
    if (r.ok && word == QLatin1String("NUME") && !value.isEmpty() && !typedNumber(value))
        return QStringLiteral("passed a number that reads as none") + where;
    return {};
}

QString FuzzChecks::jetDate(const QByteArray &input)
{
    const QString text = QString::fromUtf8(input);
    const auto r = parseJetDate(text);
    const QString where = QStringLiteral(" for %1").arg(shown(text));

    if (r) {
        if (!r->date.isValid() || r->date.year() < 100 || r->date.year() > 9999)
            return QStringLiteral("date %1 out of range").arg(r->date.toString(Qt::ISODate)) + where;
        if (r->hasTime && !r->time.isValid())
            return QStringLiteral("invalid time") + where;
        const QString iso = r->toIso();
        static const QRegularExpression isoShape(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d( \\d\\d:\\d\\d:\\d\\d)?\\z"));
        if (!isoShape.match(iso).hasMatch())
            return QStringLiteral("ISO text %1").arg(shown(iso)) + where;
        const auto back = parseJetDate(iso);
        if (!back || back->date != r->date || back->hasTime != r->hasTime || (r->hasTime && back->time != r->time))
            return QStringLiteral("ISO text %1 reads back differently").arg(shown(iso)) + where;
        if (QDate::fromString(iso.left(10), QStringLiteral("yyyy-MM-dd")) != r->date)
            return QStringLiteral("ISO text %1 is another date").arg(shown(iso)) + where;
    }

    const auto padded = parseJetDate(QLatin1Char(' ') + text + QLatin1Char('\t'));
    if (padded.has_value() != r.has_value() || (r && padded->toIso() != r->toIso()))
        return QStringLiteral("blanks around change the date") + where;

    // The plain forms, read by hand.
    static const QRegularExpression yearFirst(
        QStringLiteral("^(\\d{3,4})([-/.])(\\d{1,2})\\2(\\d{1,2})(?: (\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?)?\\z"));
    static const QRegularExpression monthFirst(QStringLiteral("^(\\d{1,2})([-/.])(\\d{1,2})\\2(\\d{4}|\\d{1,2})\\z"));
    static const QRegularExpression chinese(QStringLiteral("^(\\d{4})年(\\d{1,2})月(\\d{1,2})日?\\z"));
    std::optional<QDateTime> expected;
    bool known = false;
    if (const auto m = yearFirst.match(text); m.hasMatch()) {
        known = true;
        const QDate d(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
        const int h = m.captured(5).toInt(), mi = m.captured(6).toInt(), s = m.captured(7).toInt();
        if (d.isValid() && d.year() >= 100 && h <= 23 && mi <= 59 && s <= 59)
            expected = QDateTime(d, QTime(h, mi, s));
    } else if (const auto m = monthFirst.match(text); m.hasMatch()) {
        known = true;
        // A year under 100 is a two-digit year, however many places it was typed with.
        const int typedYear = m.captured(4).toInt();
        const int y = typedYear >= 100 ? typedYear : (typedYear < 30 ? 2000 : 1900) + typedYear;
        const QDate d(y, m.captured(1).toInt(), m.captured(3).toInt());
        if (d.isValid() && d.year() >= 100)
            expected = QDateTime(d, QTime(0, 0));
    } else if (const auto m = chinese.match(text); m.hasMatch()) {
        known = true;
        const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (d.isValid() && d.year() >= 100)
            expected = QDateTime(d, QTime(0, 0));
    }
    if (known && (expected.has_value() != r.has_value() || (r && r->toDateTime() != *expected)))
        return QStringLiteral("read as %1, expected %2")
                   .arg(r ? r->toIso() : QStringLiteral("no date"),
                        expected ? expected->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("no date"))
               + where;

    // Between '#' marks in SQL the translator reads the same date.
    static const QRegularExpression plain(QStringLiteral("^[^#'\"\\[]*\\z"));
    if (plain.match(text).hasMatch() && !text.contains(QLatin1String("delete"), Qt::CaseInsensitive)) {
        const QString sql = QStringLiteral("d=#") + text + QLatin1Char('#');
        const QString want = r ? QStringLiteral("d=") + sqlQuote(r->toIso()) : sql;
        if (::translateJet(sql) != want)
            return QStringLiteral("translateJet gave %1, not %2").arg(shown(::translateJet(sql)), shown(want));
    }
    return {};
}

QString FuzzChecks::strtjset(const QByteArray &input)
{
    const QStringList lines = QString::fromUtf8(input).split(QLatin1Char('\n'));
    const QChar tableChar = lines.value(0).isEmpty() ? QChar() : lines.value(0).at(0);
    TypeWords types;
    const int table = tableChar == QLatin1Char('s') ? 0 : tableChar == QLatin1Char('p') ? 1 : tableChar == QLatin1Char('i') ? 2 : tableChar.unicode() % 3;
    types = table == 0 ? TypeWordTables::statistics() : table == 1 ? TypeWordTables::customerPoints() : TypeWordTables::periodIncome();

    QVector<ConditionRow> rows;
    QStringList words;
    for (qsizetype i = 1; i < lines.size() && rows.size() < 12; ++i) {
        const QString &line = lines.at(i);
        const FuzzField &field = fuzzFields().at(line.size() > 0 ? indexFrom(line.at(0), fuzzFields().size()) : 0);
        const QString op = line.size() > 1 ? rowOps().at(indexFrom(line.at(1), rowOps().size())) : QStringLiteral("=");
        const bool orWord = line.size() > 2 && (line.at(2) == QLatin1Char('o') || line.at(2) == QLatin1Char('O'));
        rows.append({(i % 2 ? QString() : QStringLiteral(" ")) + field.caption, op, line.mid(3)});
        words << (orWord ? QStringLiteral("or") : QStringLiteral("and"));
    }

    QStringList acceptedTexts;
    const ConditionText result =
        ::strtjset(rows, words, fuzzLookup, types, [&](const QString &text) { acceptedTexts << text; });

    // What each row must come to, from the field's type word.
    QList<RowExpectation> expect;
    for (const ConditionRow &row : rows) {
        RowExpectation e;
        if (row.value.isEmpty()) {
            expect << e;
            continue;
        }
        const auto field = fuzzLookup(row.field.trimmed());
        if (!field) {
            e.outcome = RowExpectation::UnknownField;
            expect << e;
            break;
        }
        e.code = field->code;
        e.outcome = RowExpectation::Accepted;
        const auto kind = types.constFind(field->type);
        const auto date = parseJetDate(row.value);
        if (kind == types.constEnd() || *kind == ValueKind::Numeric) {
            const bool numeric = Modcheck::isNumeric(row.value);
            if (numeric) {
                const auto n = typedNumber(row.value);
                if (!n)
                    return QStringLiteral("a number condition accepted %1, which reads as no number").arg(shown(row.value));
                e.stored = *n;
                e.numeric = true;
            } else if (kind == types.constEnd()) {
                e.stored = row.value;
            } else {
                e.outcome = RowExpectation::Refused;
            }
        } else if (*kind == ValueKind::Quoted) {
            e.stored = row.value;
        } else if (!date) {
            e.outcome = RowExpectation::Refused;
        } else {
            e.stored = *kind == ValueKind::HashDate ? date->toIso() : row.value.trimmed();
        }
        expect << e;
        if (e.outcome == RowExpectation::Refused)
            break;
    }

    const QString where = QStringLiteral(" (input %1, text %2)").arg(shown(QString::fromUtf8(input)), shown(result.text));
    const bool stopExpected = !expect.isEmpty() && expect.last().outcome >= RowExpectation::UnknownField;
    const int acceptedExpected =
        static_cast<int>(std::count_if(expect.begin(), expect.end(), [](const RowExpectation &e) { return e.outcome == RowExpectation::Accepted; }));
    if (result.stopped != stopExpected || result.unknownField != (stopExpected && expect.last().outcome == RowExpectation::UnknownField))
        return QStringLiteral("stopped %1, unknown field %2").arg(result.stopped).arg(result.unknownField) + where;
    if (result.stopped && result.message.isEmpty())
        return QStringLiteral("stopped without a message") + where;
    if (result.acceptedRows != acceptedExpected || acceptedTexts.size() != acceptedExpected)
        return QStringLiteral("%1 rows accepted, %2 reported, %3 expected").arg(result.acceptedRows).arg(acceptedTexts.size()).arg(acceptedExpected) + where;
    if (!acceptedTexts.isEmpty() && acceptedTexts.last() != result.text)
        return QStringLiteral("the last accepted text is not the result") + where;
    for (qsizetype i = 1; i < acceptedTexts.size(); ++i)
        if (!acceptedTexts.at(i).startsWith(acceptedTexts.at(i - 1)))
            return QStringLiteral("an accepted text is not carried on") + where;
    if (result.text.isEmpty() != (acceptedExpected == 0) || result.captionText.isEmpty() != result.text.isEmpty())
        return QStringLiteral("text empty where it should not be, or the other way") + where;
    if (result.values.size() != (result.stopped ? expect.size() : rows.size()))
        return QStringLiteral("%1 values for %2 rows").arg(result.values.size()).arg(rows.size()) + where;
    for (qsizetype i = 0; i < result.values.size(); ++i)
        if (result.values.at(i).isEmpty() != (i >= expect.size() || expect.at(i).outcome != RowExpectation::Accepted))
            return QStringLiteral("value of row %1 is %2").arg(i).arg(shown(result.values.at(i))) + where;
    if (result.text.isEmpty())
        return {};

    // The text goes after WHERE as it is: one statement, always preparing.
    QString error;
    if (!prepareWhole(QStringLiteral("select * from t WHERE ") + result.text, &error))
        return QStringLiteral("condition ") + error + where;

    // With one row holding what every term compares with, the statement
    // selects it exactly when the terms say so (and before or, as SQL binds).
    QHash<QString, QVariant> columns;
    bool conclusive = true;
    bool anyGroup = false;
    bool group = true;
    bool first = true;
    for (qsizetype i = 0; i < expect.size(); ++i) {
        const RowExpectation &e = expect.at(i);
        if (e.outcome != RowExpectation::Accepted)
            continue;
        if (columns.contains(e.code)
            && (columns.value(e.code).typeId() != e.stored.typeId() || columns.value(e.code) != e.stored))
            conclusive = false; // one column cannot hold two different values
        columns.insert(e.code, e.stored);
        const QString &op = rows.at(i).op;
        const bool like = op.compare(QLatin1String("like"), Qt::CaseInsensitive) == 0;
        if (like && e.numeric)
            conclusive = false; // LIKE compares a REAL's text, not its value
        const bool holds = like || !(op == QLatin1String("<") || op == QLatin1String(">") || op == QLatin1String("<>"));
        if (!first && words.value(i - 1) == QLatin1String("or")) {
            anyGroup = anyGroup || group;
            group = holds;
        } else {
            group = group && holds;
        }
        first = false;
    }
    const bool selected = anyGroup || group;
    if (!conclusive)
        return {};

    sqlite3 *db = memoryDatabase();
    sqlite3_exec(db, "delete from t", nullptr, nullptr, nullptr);
    const Statement insert = prepareWhole(QStringLiteral("insert into t(A, B, C, D, E, F, G, H) values (?, ?, ?, ?, ?, ?, ?, ?)"), &error);
    if (!insert)
        return error;
    for (int c = 0; c < 8; ++c) {
        const QVariant v = columns.value(QString(QChar(u'A' + c)));
        if (!v.isValid()) {
            sqlite3_bind_null(insert.get(), c + 1);
        } else if (v.typeId() == QMetaType::Double) {
            sqlite3_bind_double(insert.get(), c + 1, v.toDouble());
        } else {
            const QByteArray utf8 = v.toString().toUtf8();
            sqlite3_bind_text(insert.get(), c + 1, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        }
    }
    if (sqlite3_step(insert.get()) != SQLITE_DONE)
        return QStringLiteral("insert failed: ") + QString::fromUtf8(sqlite3_errmsg(db));

    const Statement count = prepareWhole(QStringLiteral("select count(*) from t WHERE ") + result.text, &error);
    if (!count)
        return QStringLiteral("condition ") + error + where;
    if (sqlite3_step(count.get()) != SQLITE_ROW)
        return QStringLiteral("condition does not run: ") + QString::fromUtf8(sqlite3_errmsg(db)) + where;
    const int found = sqlite3_column_int(count.get(), 0);
    if (found != (selected ? 1 : 0))
        return QStringLiteral("condition selects %1 rows where its terms say %2").arg(found).arg(selected ? 1 : 0) + where;
    return {};
}

QStringList FuzzChecks::targets()
{
    return {QStringLiteral("translatejet"), QStringLiteral("findcriterion"), QStringLiteral("jetformat"),
            QStringLiteral("valuecheck"),   QStringLiteral("jetdate"),       QStringLiteral("strtjset")};
}

QString FuzzChecks::check(const QString &target, const QByteArray &input)
{
    if (target == QLatin1String("translatejet"))
        return translateJet(input);
    if (target == QLatin1String("findcriterion"))
        return findCriterion(input);
    if (target == QLatin1String("jetformat"))
        return jetFormat(input);
    if (target == QLatin1String("valuecheck"))
        return valueCheck(input);
    if (target == QLatin1String("jetdate"))
        return jetDate(input);
    if (target == QLatin1String("strtjset"))
        return strtjset(input);
    return QStringLiteral("no fuzz target named %1").arg(target);
}
