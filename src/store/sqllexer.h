#pragma once

#include <QString>
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

} // namespace SqlLexer
