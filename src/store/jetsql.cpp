#include "store/jetsql.h"

#include "store/dberror.h"
#include "store/jetdate.h"
#include "store/sqllexer.h"
#include "store/sqlquote.h"

#include <QHash>
#include <QSet>
#include <vector>

namespace {

using SqlLexer::Kind;
using SqlLexer::Token;
using SqlLexer::Tokens;

// Jet's functions by the name both engines know them under (each engine
// defines the jet_ functions with Jet's meaning).
const QHash<QString, QString> &functionNames()
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> map;
        for (const char *name : {"left", "right", "mid", "len", "instr", "ucase", "lcase", "space", "string", "year",
                                 "month", "day", "weekday", "hour", "minute", "second", "datepart", "dateadd",
                                 "datediff", "dateserial", "datevalue", "int", "fix", "sgn", "sqr", "cint", "clng",
                                 "cdbl", "ccur", "cstr", "cdate", "val"})
            map.insert(QLatin1String(name), QStringLiteral("jet_") + QLatin1String(name));
        // Jet rounds half to even; SQLite's round stays as it is for the program's own statements.
        map.insert(QStringLiteral("round"), QStringLiteral("jet_round_even"));
        return map;
    }();
    return names;
}

// Binary operators by how tightly they bind in Jet; the four SQL lacks become functions.
struct Operator
{
    int precedence;
    QString function; // empty: written as it is
};

const QHash<QString, Operator> &operators()
{
    static const QHash<QString, Operator> ops = {
        {QStringLiteral("^"), {7, QStringLiteral("jet_pow")}},   {QStringLiteral("*"), {5, {}}},
        {QStringLiteral("/"), {5, {}}},                          {QStringLiteral("%"), {5, {}}},
        {QStringLiteral("\\"), {4, QStringLiteral("jet_idiv")}}, {QStringLiteral("mod"), {3, QStringLiteral("jet_mod")}},
        {QStringLiteral("+"), {2, {}}},                          {QStringLiteral("-"), {2, {}}},
        {QStringLiteral("&"), {1, QStringLiteral("jet_cat")}},   {QStringLiteral("||"), {1, {}}}};
    return ops;
}

// Words that shape a statement or join conditions: no value, and no function call either.
const QSet<QString> &structureWords()
{
    static const QSet<QString> words = {
        QStringLiteral("select"),  QStringLiteral("from"),     QStringLiteral("where"),  QStringLiteral("group"),
        QStringLiteral("by"),      QStringLiteral("having"),   QStringLiteral("order"),  QStringLiteral("limit"),
        QStringLiteral("offset"),  QStringLiteral("union"),    QStringLiteral("all"),    QStringLiteral("except"),
        QStringLiteral("intersect"), QStringLiteral("as"),     QStringLiteral("on"),     QStringLiteral("join"),
        QStringLiteral("inner"),   QStringLiteral("outer"),    QStringLiteral("cross"),  QStringLiteral("and"),
        QStringLiteral("or"),      QStringLiteral("not"),      QStringLiteral("is"),     QStringLiteral("in"),
        QStringLiteral("like"),    QStringLiteral("between"),  QStringLiteral("case"),   QStringLiteral("when"),
        QStringLiteral("then"),    QStringLiteral("else"),     QStringLiteral("end"),    QStringLiteral("distinct"),
        QStringLiteral("asc"),     QStringLiteral("desc"),     QStringLiteral("insert"), QStringLiteral("into"),
        QStringLiteral("values"),  QStringLiteral("update"),   QStringLiteral("set"),    QStringLiteral("delete"),
        QStringLiteral("escape"),  QStringLiteral("collate"),  QStringLiteral("exists"), QStringLiteral("with"),
        QStringLiteral("over"),    QStringLiteral("partition")};
    return words;
}

void refuseCrossTab(const Tokens &t)
{
    for (size_t i = 0; i < t.list.size(); ++i)
        if (t.word(i) == QLatin1String("transform") || t.word(i) == QLatin1String("pivot"))
            throw DbException(DbErrorCode::GeneralFailure,
                              QStringLiteral("不支持交叉表查询 (TRANSFORM … PIVOT)，请改写为分组查询"));
}

// ---- TOP n [PERCENT] ---------------------------------------------------------
// SELECT TOP n ... ORDER BY k keeps the rows that rank within the first n by
// k, ties at the edge included, as Jet does; without ORDER BY, the first n.

// The order keys with select-list aliases and positions replaced by what they name.
QString rankKeys(const Tokens &t, size_t listFrom, size_t listTo, size_t keysFrom, size_t keysTo, int depth)
{
    QHash<QString, QString> byAlias;
    QStringList byPosition;
    for (const auto &[from, to] : t.split(listFrom, listTo, depth)) {
        std::vector<size_t> sig;
        for (size_t i = from; i < to; ++i)
            if (!t.blank(i))
                sig.push_back(i);
        if (sig.empty())
            continue;
        size_t exprEnd = to;
        const size_t last = sig.back();
        if (sig.size() >= 2 && (t.list[last].kind == Kind::Ident || t.list[last].kind == Kind::Word)) {
            const bool as = t.word(sig[sig.size() - 2]) == QLatin1String("as");
            exprEnd = as ? sig[sig.size() - 2] : last;
            QString alias = t.text(last);
            if (t.list[last].kind == Kind::Ident)
                alias = alias.mid(1, alias.size() - 2);
            byAlias.insert(alias.toLower(), t.span(from, exprEnd).trimmed());
        }
        byPosition << t.span(from, exprEnd).trimmed();
    }
    QStringList keys;
    for (const auto &[from, to] : t.split(keysFrom, keysTo, depth)) {
        const size_t head = t.next(from - 1, to);
        const size_t after = t.next(head, to);
        const QString direction = after < to ? t.span(after, to).trimmed() : QString();
        QString key = t.span(from, to).trimmed();
        if (after == to || direction.compare(QLatin1String("asc"), Qt::CaseInsensitive) == 0
            || direction.compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0) {
            QString name = t.text(head);
            if (t.list[head].kind == Kind::Ident)
                name = name.mid(1, name.size() - 2);
            bool number = false;
            const int position = name.toInt(&number);
            if (number && position >= 1 && position <= byPosition.size())
                key = byPosition.at(position - 1) + QLatin1Char(' ') + direction;
            else if (byAlias.contains(name.toLower()))
                key = byAlias.value(name.toLower()) + QLatin1Char(' ') + direction;
        }
        keys << key.trimmed();
    }
    return keys.join(QStringLiteral(", "));
}

// One TOP taken out and written as LIMIT; false when there is none left.
bool expandOneTop(QString &sql)
{
    const Tokens t(sql);
    const size_t n = t.list.size();
    for (size_t top = 0; top < n; ++top) {
        if (t.word(top) != QLatin1String("top"))
            continue;
        size_t select = top;
        do
            select = select > 0 ? select - 1 : n;
        while (select < n && t.blank(select));
        const bool distinct = t.word(select) == QLatin1String("distinct") || t.word(select) == QLatin1String("distinctrow");
        if (distinct || t.word(select) == QLatin1String("all"))
            do
                select = select > 0 ? select - 1 : n;
            while (select < n && t.blank(select));
        const size_t count = t.next(top, n);
        if (select >= n || t.word(select) != QLatin1String("select") || count >= n || t.list[count].kind != Kind::Number)
            continue;
        const int depth = t.list[select].depth;
        size_t last = count;
        const bool percent = t.word(t.next(count, n)) == QLatin1String("percent");
        if (percent)
            last = t.next(count, n);
        size_t end = last + 1, from = n, order = n, keys = n;
        for (; end < n; ++end) {
            const QString w = t.word(end);
            if (t.list[end].depth < depth || (t.list[end].depth == depth && (w == QLatin1String("union") || w == QLatin1String("except")
                                                                             || w == QLatin1String("intersect") || t.punct(end, QLatin1String(";")))))
                break;
            if (t.list[end].depth != depth)
                continue;
            if (w == QLatin1String("from") && from == n)
                from = end;
            if (w == QLatin1String("order") && t.word(t.next(end, n)) == QLatin1String("by")) {
                order = end;
                keys = t.next(t.next(end, n), n);
            }
        }
        const QString head = t.span(select, top);
        const QString list = t.span(last + 1, from < n ? from : (order < n ? order : end));
        const QString rest = from < n ? t.span(from, order < n ? order : end) : QString();
        const QString ordered = order < n ? t.span(order, end) : QString();
        const QString number = t.text(count);
        QString limit;
        const QString rows = rest.isEmpty() ? QString() : QStringLiteral(" FROM (SELECT %1 %2)")
                                                              .arg(distinct ? QStringLiteral("DISTINCT ") + list.trimmed() : QStringLiteral("1"), rest.trimmed());
        // n percent of the rows, rounded up; the same arithmetic on both engines.
        const QString share = QStringLiteral("(SELECT CAST(jet_fix(count(*) * %1 / 100.0 + 0.999999) AS INTEGER)%2)").arg(number, rows);
        if (order < n && !distinct && !rest.isEmpty()) {
            const QString rank = rankKeys(t, last + 1, from, keys, end, depth);
            limit = QStringLiteral("(SELECT count(*) FROM (SELECT rank() OVER (ORDER BY %1) AS jet_rank %2) WHERE jet_rank <= %3)")
                        .arg(rank, rest.trimmed(), percent ? share : number);
        } else {
            limit = percent ? share : number;
        }
        sql = t.span(0, select) + head + list + rest + ordered.trimmed() + (ordered.isEmpty() ? QString() : QStringLiteral(" "))
              + QStringLiteral("LIMIT ") + limit + (end < n ? QStringLiteral(" ") + t.span(end, n) : QString());
        return true;
    }
    return false;
}

// ---- Everything else, one parenthesis level at a time -------------------------

// A piece of one level: a value (with all it holds rewritten already), a
// binary operator, or anything else, which ends an expression.
struct Piece
{
    enum class Type { Operand, Operator, Barrier } type;
    QString text; // as it goes out, leading blanks included
    QString op;   // an operator's name in lower case
};

class Rewriter
{
public:
    explicit Rewriter(const Tokens &t) : m_t(t) {}

    QString level(size_t begin, size_t end)
    {
        std::vector<Piece> pieces;
        QString blanks, sign;
        bool glue = false; // the next value continues a qualified name
        const auto add = [&](Piece::Type type, const QString &out, const QString &op = QString()) {
            if (type == Piece::Type::Operand && glue && !pieces.empty()) {
                pieces.back().text += blanks + out;
            } else {
                pieces.push_back({type, (type == Piece::Type::Operand ? sign : QString()) + blanks + out, op});
                if (type == Piece::Type::Operand)
                    sign.clear();
            }
            blanks.clear();
            glue = false;
        };
        for (size_t i = begin; i < end; ++i) {
            const Token &tok = m_t.list[i];
            const QString w = m_t.word(i);
            const size_t next = m_t.next(i, end);
            if (m_t.blank(i)) {
                blanks += m_t.text(i);
            } else if (m_t.punct(i, QLatin1String("#"))) {
                const qsizetype close = m_t.sql.indexOf(QLatin1Char('#'), tok.begin + 1);
                const auto date = close > tok.begin ? parseJetDate(m_t.sql.mid(tok.begin + 1, close - tok.begin - 1)) : std::nullopt;
                if (!date) {
                    add(Piece::Type::Barrier, m_t.text(i));
                    continue;
                }
                add(Piece::Type::Operand, sqlQuote(date->toIso()));
                while (i + 1 < end && m_t.list[i + 1].begin < close + 1)
                    ++i;
            } else if (w == QLatin1String("delete") && m_t.punct(next, QLatin1String("*"))
                       && m_t.word(m_t.next(next, end)) == QLatin1String("from")) {
                add(Piece::Type::Barrier, QStringLiteral("delete from"));
                i = m_t.next(next, end);
            } else if (w == QLatin1String("distinctrow")) {
                add(Piece::Type::Barrier, QStringLiteral("distinct"));
            } else if (tok.kind == Kind::Word && structureWords().contains(w)) {
                add(Piece::Type::Barrier, m_t.text(i));
            } else if (tok.kind == Kind::Word && m_t.punct(next, QLatin1String("("))) {
                const size_t close = m_t.closing(next, end);
                add(Piece::Type::Operand, call(i, next, close));
                i = close;
            } else if (m_t.punct(i, QLatin1String("("))) {
                const size_t close = m_t.closing(i, end);
                add(Piece::Type::Operand, QLatin1Char('(') + level(i + 1, close) + QLatin1Char(')'));
                i = close;
            } else if (m_t.punct(i, QLatin1String(".")) && !pieces.empty() && pieces.back().type == Piece::Type::Operand) {
                pieces.back().text += blanks + m_t.text(i);
                blanks.clear();
                glue = true;
            } else if (w == QLatin1String("mod") || (tok.kind == Kind::Punct && operators().contains(m_t.text(i)))) {
                const QString op = w.isEmpty() ? m_t.text(i) : w;
                const bool afterValue = !pieces.empty() && pieces.back().type == Piece::Type::Operand;
                const bool afterOperator = !pieces.empty() && pieces.back().type == Piece::Type::Operator;
                if (afterValue) {
                    add(Piece::Type::Operator, m_t.text(i), op);
                } else if (op == QLatin1String("*")) {
                    add(Piece::Type::Operand, m_t.text(i)); // select *, count(*)
                } else if (afterOperator && (op == QLatin1String("-") || op == QLatin1String("+"))) {
                    sign += blanks + m_t.text(i); // a sign of the operand that follows
                    blanks.clear();
                } else {
                    add(Piece::Type::Barrier, m_t.text(i));
                }
            } else if (tok.kind == Kind::Punct) {
                add(Piece::Type::Barrier, m_t.text(i));
            } else {
                add(Piece::Type::Operand, m_t.text(i));
            }
        }
        return joined(pieces) + sign + blanks;
    }

private:
    // A function call: Jet's forms of its own, Jet's names, or as it stands.
    QString call(size_t name, size_t open, size_t close)
    {
        const QString lower = m_t.word(name);
        QStringList args;
        if (close > open + 1)
            for (const auto &[from, to] : m_t.split(open + 1, close, m_t.list[open].depth + 1))
                args << level(from, to).trimmed();
        if (lower == QLatin1String("iif") && args.size() == 3)
            return QStringLiteral("(CASE WHEN jet_true(%1) THEN %2 ELSE %3 END)").arg(args.at(0), args.at(1), args.at(2));
        if (lower == QLatin1String("isnull") && args.size() == 1)
            return QStringLiteral("(CASE WHEN (%1) IS NULL THEN -1 ELSE 0 END)").arg(args.at(0));
        if (lower == QLatin1String("nz") && args.size() == 2)
            return QStringLiteral("coalesce(%1, %2)").arg(args.at(0), args.at(1));
        if (lower == QLatin1String("nz") && args.size() == 1)
            return QStringLiteral("jet_nz(%1)").arg(args.at(0));
        const QString mapped = functionNames().value(lower);
        if (mapped.isEmpty())
            return m_t.span(name, open) + QLatin1Char('(') + level(open + 1, close) + QLatin1Char(')');
        return mapped + QLatin1Char('(') + args.join(QStringLiteral(", ")) + QLatin1Char(')');
    }

    // Values and operators between two barriers become one expression, Jet's
    // operators written as functions over what Jet's precedence gives them.
    QString joined(const std::vector<Piece> &pieces)
    {
        QString out;
        size_t i = 0;
        while (i < pieces.size()) {
            if (pieces[i].type != Piece::Type::Operand) {
                out += pieces[i++].text;
                continue;
            }
            size_t end = i + 1;
            bool rewrite = false;
            while (end + 1 < pieces.size() && pieces[end].type == Piece::Type::Operator
                   && pieces[end + 1].type == Piece::Type::Operand) {
                rewrite = rewrite || !operators().value(pieces[end].op).function.isEmpty();
                end += 2;
            }
            if (!rewrite) {
                for (; i < end; ++i)
                    out += pieces[i].text;
                continue;
            }
            m_expr = &pieces;
            m_at = i;
            m_end = end;
            out += climb(0);
            i = end;
        }
        return out;
    }

    QString climb(int least)
    {
        QString lhs = (*m_expr)[m_at++].text;
        while (m_at + 1 < m_end) {
            const Piece &op = (*m_expr)[m_at];
            const Operator info = operators().value(op.op);
            if (info.precedence < least)
                break;
            ++m_at;
            const QString rhs = climb(info.precedence + 1);
            if (info.function.isEmpty()) {
                lhs += op.text + rhs;
            } else {
                qsizetype lead = 0;
                while (lead < lhs.size() && lhs.at(lead).isSpace())
                    ++lead;
                lhs = lhs.left(lead) + info.function + QLatin1Char('(') + lhs.trimmed() + QStringLiteral(", ")
                      + rhs.trimmed() + QLatin1Char(')');
            }
        }
        return lhs;
    }

    const Tokens &m_t;
    const std::vector<Piece> *m_expr = nullptr;
    size_t m_at = 0, m_end = 0;
};

// ---- The outermost select ----------------------------------------------------

const QSet<QString> &listEnds()
{
    static const QSet<QString> words = {QStringLiteral("from"),   QStringLiteral("where"), QStringLiteral("group"),
                                        QStringLiteral("having"), QStringLiteral("order"), QStringLiteral("limit"),
                                        QStringLiteral("union"),  QStringLiteral("except"), QStringLiteral("intersect"),
                                        QStringLiteral("into")};
    return words;
}

// An item of the outermost select list that Jet's forms rewrite keeps the
// name it was written with (both engines would name it by the rewritten text).
QString keepWrittenNames(const QString &sql)
{
    const Tokens t(sql);
    const size_t n = t.list.size();
    size_t i = t.next(static_cast<size_t>(-1), n);
    if (i >= n || t.word(i) != QLatin1String("select") || t.list[i].depth != 0)
        return sql;
    const size_t afterSelect = t.next(i, n);
    static const QSet<QString> quantifiers = {QStringLiteral("distinct"), QStringLiteral("distinctrow"), QStringLiteral("all")};
    const size_t first = quantifiers.contains(t.word(afterSelect)) ? afterSelect + 1 : i + 1;
    size_t end = first;
    while (end < n && !(t.list[end].depth == 0 && (listEnds().contains(t.word(end)) || t.punct(end, QLatin1String(";")))))
        ++end;
    QList<std::pair<qsizetype, QString>> names;
    for (const auto &[from, to] : t.split(first, end, 0)) {
        std::vector<size_t> sig;
        for (size_t k = from; k < to; ++k)
            if (!t.blank(k))
                sig.push_back(k);
        if (sig.empty() || (sig.size() == 1 && t.punct(sig[0], QLatin1String("*"))))
            continue;
        const size_t last = sig.back();
        const bool named = sig.size() >= 2 && (t.list[last].kind == Kind::Ident || (t.list[last].kind == Kind::Word
                                                                                   && !structureWords().contains(t.word(last))))
                           && !t.punct(sig[sig.size() - 2], QLatin1String("."))
                           && operators().value(t.word(sig[sig.size() - 2]).isEmpty() ? t.text(sig[sig.size() - 2])
                                                                                      : t.word(sig[sig.size() - 2]))
                                  .precedence == 0;
        if (named)
            continue;
        const QString written = t.span(sig.front(), last + 1).trimmed();
        if (Rewriter(t).level(sig.front(), last + 1).trimmed() == written)
            continue;
        QString quoted = written;
        quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
        names.append({t.list[last].end, QStringLiteral(" AS \"") + quoted + QLatin1Char('"')});
    }
    QString out = sql;
    for (auto it = names.crbegin(); it != names.crend(); ++it)
        out.insert(it->first, it->second);
    return out;
}

// Rows that tie on the order asked for come in the order of their groups on
// both engines (each would otherwise pick its own).
QString orderTiesByGroup(const QString &sql)
{
    const Tokens t(sql);
    const size_t n = t.list.size();
    size_t groupKeys = n, groupEnd = n, orderKeys = n, orderEnd = n;
    for (size_t i = 0; i < n; ++i) {
        if (t.list[i].depth != 0)
            continue;
        const QString w = t.word(i);
        if (w == QLatin1String("union") || w == QLatin1String("except") || w == QLatin1String("intersect"))
            return sql;
        const bool by = t.word(t.next(i, n)) == QLatin1String("by");
        if (w == QLatin1String("group") && by)
            groupKeys = t.next(t.next(i, n), n);
        else if (w == QLatin1String("order") && by)
            orderKeys = t.next(t.next(i, n), n);
        if (groupKeys < n && groupEnd == n && i > groupKeys && (w == QLatin1String("having") || w == QLatin1String("order")))
            groupEnd = i;
        if (orderKeys < n && i > orderKeys && (w == QLatin1String("limit") || t.punct(i, QLatin1String(";"))))
            orderEnd = std::min(orderEnd, i);
    }
    if (groupKeys >= n || orderKeys >= n)
        return sql;
    QStringList ordered;
    for (const auto &[from, to] : t.split(orderKeys, orderEnd, 0))
        ordered << t.span(from, to).trimmed().toLower();
    QString extra;
    for (const auto &[from, to] : t.split(groupKeys, groupEnd, 0)) {
        const QString key = t.span(from, to).trimmed();
        if (!key.isEmpty() && !ordered.contains(key.toLower()) && !ordered.contains(key.toLower() + QStringLiteral(" asc")))
            extra += QStringLiteral(", ") + key;
    }
    if (extra.isEmpty())
        return sql;
    QString out = sql;
    qsizetype at = orderEnd < n ? t.list[orderEnd].begin : sql.size();
    while (at > 0 && sql.at(at - 1).isSpace())
        --at;
    out.insert(at, extra);
    return out;
}

} // namespace

QString translateJet(const QString &sql)
{
    QString text = sql;
    refuseCrossTab(Tokens(text));
    // Each TOP becomes a LIMIT; bounded by the TOPs the statement holds.
    for (int guard = 0; guard < 64 && expandOneTop(text); ++guard) {
    }
    text = orderTiesByGroup(text);
    text = keepWrittenNames(text);
    const Tokens tokens(text);
    return Rewriter(tokens).level(0, tokens.list.size());
}
