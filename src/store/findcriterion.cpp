#include "store/findcriterion.h"

#include "store/jetdate.h"

#include <QRegularExpression>

#include <cmath>

namespace {

int compareValues(const QVariant &field, const QVariant &literal, bool textLiteral, bool *comparable)
{
    *comparable = true;
    if (textLiteral) {
        return QString::compare(field.toString(), literal.toString(), Qt::CaseInsensitive);
    }
    bool ok = false;
    const double value = field.toString().trimmed().toDouble(&ok);
    // Qt reads "nan" (and so the name "Nan"), which would equal every number.
    if (!ok || std::isnan(value)) {
        *comparable = false;
        return 0;
    }
    const double wanted = literal.toDouble();
    return value < wanted ? -1 : (value > wanted ? 1 : 0);
}

// like as the old engine reads it: % or * any run of characters, _ or ? one,
// case ignored. Walked by hand rather than through a regular expression: one
// with many wildcards backtracks past PCRE's match limit and then matches
// nothing. On a mismatch the last wildcard takes one more character.
bool likeMatches(const QString &text, const QString &pattern)
{
    const QList<uint> t = text.toUcs4();
    const QList<uint> p = pattern.toUcs4();
    auto any = [](uint c) { return c == '%' || c == '*'; };
    auto one = [](uint c) { return c == '_' || c == '?'; };
    qsizetype ti = 0, pi = 0, starP = -1, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size() && any(p.at(pi))) {
            starP = pi++;
            starT = ti;
        } else if (pi < p.size()
                   && (one(p.at(pi)) || QChar::toCaseFolded(p.at(pi)) == QChar::toCaseFolded(t.at(ti)))) {
            ++pi;
            ++ti;
        } else if (starP >= 0) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < p.size() && any(p.at(pi)))
        ++pi;
    return pi == p.size();
}

} // namespace

std::optional<FindCriterion> FindCriterion::parse(const QString &input)
{
    const QString text = input.trimmed();
    static const QRegularExpression head(
        QStringLiteral("^\\[?([^\\]\\s=<>]+?)\\]?\\s*(<=|>=|<>|=|<|>|\\blike\\b)\\s*"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = head.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    FindCriterion c;
    c.column = m.captured(1);
    c.op = m.captured(2).toLower();
    const QString rest = text.mid(m.capturedEnd(0));
    if (rest.isEmpty())
        return std::nullopt;

    if (rest.startsWith(QLatin1Char('\''))) {
        // One quoted literal, or several joined by ||char(0)|| where the text holds NULs.
        static const QString nul = QStringLiteral("||char(0)||");
        QString value;
        qsizetype i = 0;
        while (true) {
            if (i >= rest.size() || rest.at(i) != QLatin1Char('\''))
                return std::nullopt;
            ++i;
            bool closed = false;
            while (i < rest.size()) {
                if (rest.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < rest.size() && rest.at(i + 1) == QLatin1Char('\'')) {
                        value += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                value += rest.at(i);
                ++i;
            }
            if (!closed)
                return std::nullopt;
            if (rest.mid(i, nul.size()).compare(nul, Qt::CaseInsensitive) != 0)
                break;
            value += QChar(0);
            i += nul.size();
        }
        if (!rest.mid(i).trimmed().isEmpty())
            return std::nullopt;
        c.literal = value;
        c.textLiteral = true;
        return c;
    }
    if (rest.startsWith(QLatin1Char('#'))) {
        if (!rest.endsWith(QLatin1Char('#')) || rest.size() < 3)
            return std::nullopt;
        const auto date = parseJetDate(rest.mid(1, rest.size() - 2));
        if (!date)
            return std::nullopt;
        c.literal = date->toIso();
        c.textLiteral = true;
        return c;
    }
    bool ok = false;
    const double number = rest.toDouble(&ok);
    if (!ok || !std::isfinite(number) || c.op == QLatin1String("like"))
        return std::nullopt;
    c.literal = number;
    return c;
}

bool FindCriterion::matches(const QVariant &fieldValue) const
{
    if (fieldValue.isNull())
        return false;
    if (op == QLatin1String("like"))
        return likeMatches(fieldValue.toString(), literal.toString());
    bool comparable = false;
    const int cmp = compareValues(fieldValue, literal, textLiteral, &comparable);
    if (!comparable)
        return false;
    if (op == QLatin1String("="))
        return cmp == 0;
    if (op == QLatin1String("<>"))
        return cmp != 0;
    if (op == QLatin1String("<"))
        return cmp < 0;
    if (op == QLatin1String(">"))
        return cmp > 0;
    if (op == QLatin1String("<="))
        return cmp <= 0;
    return cmp >= 0;
}
