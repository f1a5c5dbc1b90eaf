#pragma once

#include <QString>
#include <utility>
#include <vector>

// One reader of SQL text for everything that rewrites or inspects a statement
// (the Jet-dialect translator, the server dialect, the recordset's checks):
// string literals, quoted and bracketed names, comments, words, numbers, ?
// parameters and punctuation, each with the parentheses around it.
namespace SqlLexer {

enum class Kind { Space, Comment, String, Ident, Word, Number, Param, Punct };

struct Token
{
    Kind kind;
    qsizetype begin;
    qsizetype end;
    int depth; // parentheses around the token; a parenthesis itself counts as outside
};

std::vector<Token> tokenize(const QString &sql);

// A statement read once, with the ways about its tokens that every reader needs.
class Tokens
{
public:
    // Reads `sql`, which must outlive this.
    explicit Tokens(const QString &sql) : sql(sql), list(tokenize(sql)) {}

    QString text(size_t i) const { return sql.mid(list[i].begin, list[i].end - list[i].begin); }
    QString word(size_t i) const { return i < list.size() && list[i].kind == Kind::Word ? text(i).toLower() : QString(); }
    bool blank(size_t i) const { return list[i].kind == Kind::Space || list[i].kind == Kind::Comment; }
    bool punct(size_t i, QLatin1String p) const { return i < list.size() && list[i].kind == Kind::Punct && text(i) == p; }
    size_t next(size_t i, size_t end) const
    {
        for (++i; i < end; ++i)
            if (!blank(i))
                return i;
        return end;
    }
    // The ')' that closes the '(' at `open`, or `end`.
    size_t closing(size_t open, size_t end) const
    {
        for (size_t i = open + 1; i < end; ++i)
            if (list[i].depth == list[open].depth && punct(i, QLatin1String(")")))
                return i;
        return end;
    }
    // The text from token `from` up to (not including) token `to`.
    QString span(size_t from, size_t to) const
    {
        const qsizetype begin = from < list.size() ? list[from].begin : sql.size();
        const qsizetype end = to < list.size() ? list[to].begin : sql.size();
        return sql.mid(begin, end - begin);
    }
    // Token indexes of [from, to) split at the commas of `depth`.
    std::vector<std::pair<size_t, size_t>> split(size_t from, size_t to, int depth) const
    {
        std::vector<std::pair<size_t, size_t>> parts;
        size_t start = from;
        for (size_t i = from; i <= to; ++i)
            if (i == to || (list[i].depth == depth && punct(i, QLatin1String(",")))) {
                parts.emplace_back(start, i);
                start = i + 1;
            }
        return parts;
    }

    const QString &sql;
    std::vector<Token> list;
};

} // namespace SqlLexer
