#include "store/sqllexer.h"

#include <QStringList>

namespace SqlLexer {

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c.isHighSurrogate();
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c.isSurrogate();
}

qsizetype quotedEnd(const QString &s, qsizetype i, QChar close)
{
    ++i;
    while (i < s.size()) {
        if (s.at(i) == close) {
            if (close != QLatin1Char(']') && i + 1 < s.size() && s.at(i + 1) == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

} // namespace

std::vector<Token> tokenize(const QString &s)
{
    std::vector<Token> tokens;
    int depth = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s.at(i);
        const QChar next = i + 1 < s.size() ? s.at(i + 1) : QChar();
        Kind kind = Kind::Punct;
        qsizetype end = i + 1;
        if (c.isSpace()) {
            kind = Kind::Space;
            while (end < s.size() && s.at(end).isSpace())
                ++end;
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            kind = Kind::Comment;
            end = s.indexOf(QLatin1Char('\n'), i);
            end = end < 0 ? s.size() : end;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            kind = Kind::Comment;
            end = s.indexOf(QLatin1String("*/"), i + 2);
            end = end < 0 ? s.size() : end + 2;
        } else if (c == QLatin1Char('\'')) {
            kind = Kind::String;
            end = quotedEnd(s, i, c);
        } else if (c == QLatin1Char('"') || c == QLatin1Char('[')) {
            kind = Kind::Ident;
            end = quotedEnd(s, i, c == QLatin1Char('[') ? QLatin1Char(']') : c);
        } else if (isWordStart(c)) {
            kind = Kind::Word;
            while (end < s.size() && isWordChar(s.at(end)))
                ++end;
        } else if (c.isDigit() || (c == QLatin1Char('.') && next.isDigit())) {
            kind = Kind::Number;
            while (end < s.size()) {
                const QChar d = s.at(end);
                const bool exponentSign = (d == QLatin1Char('+') || d == QLatin1Char('-'))
                                          && (s.at(end - 1) == QLatin1Char('e') || s.at(end - 1) == QLatin1Char('E'));
                if (!d.isDigit() && d != QLatin1Char('.') && d != QLatin1Char('e') && d != QLatin1Char('E')
                    && !exponentSign)
                    break;
                ++end;
            }
        } else if (c == QLatin1Char('?')) {
            kind = Kind::Param;
            while (end < s.size() && s.at(end).isDigit())
                ++end;
        } else {
            static const QStringList pairs = {QStringLiteral("||"), QStringLiteral("<="), QStringLiteral(">="),
                                              QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("==")};
            if (pairs.contains(s.mid(i, 2)))
                end = i + 2;
        }
        if (c == QLatin1Char(')') && kind == Kind::Punct)
            depth = std::max(0, depth - 1);
        tokens.push_back({kind, i, end, depth});
        if (c == QLatin1Char('(') && kind == Kind::Punct)
            ++depth;
        i = end;
    }
    return tokens;
}


} // namespace SqlLexer
