#include "store/findcriterion.h"

#include "store/jetdate.h"

#include <QRegularExpression>

namespace {

int compareValues(const QVariant &field, const QVariant &literal, bool textLiteral, bool *comparable)
{
    *comparable = true;
    if (textLiteral) {
        return QString::compare(field.toString(), literal.toString(), Qt::CaseInsensitive);
    }
    bool ok = false;
    const double value = field.toString().trimmed().toDouble(&ok);
    if (!ok) {
        *comparable = false;
        return 0;
    }
    const double wanted = literal.toDouble();
    return value < wanted ? -1 : (value > wanted ? 1 : 0);
}

QRegularExpression likePattern(const QString &pattern)
{
    QString re;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('%') || c == QLatin1Char('*'))
            re += QStringLiteral(".*");
        else if (c == QLatin1Char('_') || c == QLatin1Char('?'))
            re += QLatin1Char('.');
        else if (c.isNull())
            re += QStringLiteral("\\x{0}"); // escape() writes \0, which takes a following digit as octal
        else
            re += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(re),
                              QRegularExpression::CaseInsensitiveOption
                                  | QRegularExpression::DotMatchesEverythingOption);
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
        QString value;
        qsizetype i = 1;
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
        if (!closed || !rest.mid(i).trimmed().isEmpty())
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
    if (!ok || c.op == QLatin1String("like"))
        return std::nullopt;
    c.literal = number;
    return c;
}

bool FindCriterion::matches(const QVariant &fieldValue) const
{
    if (fieldValue.isNull())
        return false;
    if (op == QLatin1String("like"))
        return likePattern(literal.toString()).match(fieldValue.toString()).hasMatch();
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
