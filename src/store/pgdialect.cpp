#include "store/pgdialect.h"

#include "store/jetsql.h"
#include "store/sqllexer.h"

#include <QSet>
#include <vector>

namespace {

// The names SQLite knows a row's identity by.
const QSet<QString> kRowids = {QStringLiteral("rowid"), QStringLiteral("_rowid_"), QStringLiteral("oid")};

using SqlLexer::Kind;
using SqlLexer::Token;

const QSet<QString> &keywords()
{
    static const QSet<QString> words = {
        QStringLiteral("select"), QStringLiteral("from"), QStringLiteral("where"), QStringLiteral("group"),
        QStringLiteral("by"), QStringLiteral("having"), QStringLiteral("order"), QStringLiteral("limit"),
        QStringLiteral("offset"), QStringLiteral("union"), QStringLiteral("all"), QStringLiteral("except"),
        QStringLiteral("intersect"), QStringLiteral("as"), QStringLiteral("on"), QStringLiteral("join"),
        QStringLiteral("inner"), QStringLiteral("left"), QStringLiteral("right"), QStringLiteral("outer"),
        QStringLiteral("cross"), QStringLiteral("natural"), QStringLiteral("using"), QStringLiteral("and"),
        QStringLiteral("or"), QStringLiteral("not"), QStringLiteral("is"), QStringLiteral("null"),
        QStringLiteral("in"), QStringLiteral("like"), QStringLiteral("ilike"), QStringLiteral("glob"),
        QStringLiteral("escape"), QStringLiteral("between"), QStringLiteral("case"), QStringLiteral("when"),
        QStringLiteral("then"), QStringLiteral("else"), QStringLiteral("end"), QStringLiteral("distinct"),
        QStringLiteral("asc"), QStringLiteral("desc"), QStringLiteral("nulls"), QStringLiteral("collate"),
        QStringLiteral("exists"), QStringLiteral("true"), QStringLiteral("false"), QStringLiteral("current_date"),
        QStringLiteral("current_time"), QStringLiteral("current_timestamp"), QStringLiteral("insert"),
        QStringLiteral("into"), QStringLiteral("values"), QStringLiteral("update"), QStringLiteral("set"),
        QStringLiteral("delete"), QStringLiteral("returning"), QStringLiteral("default"), QStringLiteral("cast"),
        QStringLiteral("window"), QStringLiteral("with"), QStringLiteral("fetch"), QStringLiteral("for")};
    return words;
}

// Words that end an expression, so a name after them is its alias.
const QSet<QString> &valueKeywords()
{
    static const QSet<QString> words = {QStringLiteral("null"), QStringLiteral("true"), QStringLiteral("false"),
                                        QStringLiteral("end"), QStringLiteral("current_date"),
                                        QStringLiteral("current_time"), QStringLiteral("current_timestamp")};
    return words;
}

QString lowerAscii(QString text)
{
    for (QChar &c : text)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    return text;
}

QString quoteName(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

class Rewriter
{
public:
    Rewriter(const QString &sql, const RowOrderColumn &rowOrder) : m_sql(sql), m_t(sql), m_tokens(m_t.list)
    {
        const QString relation = singleRelation();
        if (!relation.isEmpty() && rowOrder)
            m_orderColumn = rowOrder(relation);
        m_replace.resize(m_tokens.size());
        m_replaced.resize(m_tokens.size(), false);
        m_after.resize(m_tokens.size());
        m_named.resize(m_tokens.size());
    }

    PgTranslation run()
    {
        nameSelectList();
        orderNullsAsSqlite();
        rewriteTokens();
        keepWrittenOrder();
        PgTranslation result;
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            result.sql += m_replaced[i] ? m_replace[i] : text(i);
            result.sql += m_after[i];
            result.sql += m_named[i];
        }
        result.longNames = m_longNames;
        return result;
    }

private:
    QString text(size_t i) const { return m_t.text(i); }
    QString word(size_t i) const { return m_t.word(i); }
    bool isPunct(size_t i, const char *p) const { return m_t.punct(i, QLatin1String(p)); }
    bool significant(size_t i) const { return !m_t.blank(i); }
    bool isName(size_t i) const
    {
        return m_tokens[i].kind == Kind::Ident || (m_tokens[i].kind == Kind::Word && !keywords().contains(word(i)));
    }
    void set(size_t i, const QString &replacement)
    {
        m_replace[i] = replacement;
        m_replaced[i] = true;
    }
    size_t previousSignificant(size_t i) const
    {
        while (i > 0)
            if (significant(--i))
                return i;
        return m_tokens.size();
    }
    size_t nextSignificant(size_t i) const { return m_t.next(i, m_tokens.size()); }
    // The name a quoted, bracketed or plain token spells, as written.
    QString nameText(size_t i) const
    {
        const QString t = text(i);
        if (m_tokens[i].kind == Kind::Word)
            return t;
        QString inner = t.mid(1, t.size() - 2);
        if (t.startsWith(QLatin1Char('"')))
            inner.replace(QLatin1String("\"\""), QLatin1String("\""));
        else if (t.startsWith(QLatin1Char('\'')))
            inner.replace(QLatin1String("''"), QLatin1String("'"));
        return inner;
    }
    QString alias(const QString &name)
    {
        // The server keeps 63 bytes of a name; a longer one goes by a short stand-in.
        if (name.toUtf8().size() <= 63)
            return quoteName(name);
        const QString standIn = QStringLiteral("jet_name_%1").arg(m_longNames.size() + 1);
        m_longNames.insert(standIn, name);
        return quoteName(standIn);
    }

    // Items of a comma list at one depth, from `from` up to a token that ends it.
    template<typename Ends>
    std::vector<std::vector<size_t>> items(size_t from, int depth, Ends ends, size_t *stop = nullptr) const
    {
        std::vector<std::vector<size_t>> list(1);
        size_t i = from;
        for (; i < m_tokens.size(); ++i) {
            const Token &t = m_tokens[i];
            if (t.depth < depth || (t.depth == depth && ends(i)))
                break;
            if (t.depth == depth && isPunct(i, ","))
                list.emplace_back();
            else if (significant(i))
                list.back().push_back(i);
        }
        if (stop)
            *stop = i;
        return list;
    }

    QString rowidColumn() const { return m_orderColumn.isEmpty() ? QStringLiteral("jet_rowid") : m_orderColumn; }

    // "select ... from <one table> [alias] [where ...] [limit ...]": the relation's name, or "".
    QString singleRelation() const
    {
        size_t i = nextSignificant(static_cast<size_t>(-1));
        if (i >= m_tokens.size() || m_tokens[i].depth != 0)
            return {};
        const QString head = word(i);
        // The table a write names ("update t", "delete from t", "insert into t").
        if (head == QLatin1String("update") || head == QLatin1String("delete") || head == QLatin1String("insert")) {
            i = nextSignificant(i);
            if (i < m_tokens.size() && (word(i) == QLatin1String("from") || word(i) == QLatin1String("into")))
                i = nextSignificant(i);
            return i < m_tokens.size() && isName(i) ? lowerAscii(nameText(i)) : QString();
        }
        if (head != QLatin1String("select"))
            return {};
        while (i < m_tokens.size() && !(m_tokens[i].depth == 0 && word(i) == QLatin1String("from")))
            ++i;
        i = i < m_tokens.size() ? nextSignificant(i) : i;
        if (i >= m_tokens.size() || !isName(i))
            return {};
        const QString relation = lowerAscii(nameText(i));
        i = nextSignificant(i);
        if (i < m_tokens.size() && word(i) == QLatin1String("as"))
            i = nextSignificant(i);
        if (i < m_tokens.size() && isName(i))
            i = nextSignificant(i);
        static const QSet<QString> follows = {QStringLiteral("where"), QStringLiteral("order"), QStringLiteral("group"),
                                              QStringLiteral("having"), QStringLiteral("limit"), QStringLiteral("offset"),
                                              QStringLiteral("union"), QStringLiteral("except"), QStringLiteral("intersect")};
        if (i < m_tokens.size() && !follows.contains(word(i)) && !isPunct(i, ";"))
            return {};
        return relation;
    }

    void keepWrittenOrder()
    {
        // A key of several columns (the statistics) is no order rows were written in, and sorting by
        // text that ignores case is dear on the server: those are read as they come.
        if (m_orderColumn.isEmpty() || m_orderColumn.contains(QLatin1Char(','))
            || word(nextSignificant(static_cast<size_t>(-1))) != QLatin1String("select"))
            return;
        static const QSet<QString> shaping = {QStringLiteral("order"), QStringLiteral("group"), QStringLiteral("having"),
                                              QStringLiteral("union"), QStringLiteral("except"), QStringLiteral("intersect"),
                                              QStringLiteral("distinct"), QStringLiteral("window")};
        static const QSet<QString> aggregates = {QStringLiteral("count"), QStringLiteral("sum"), QStringLiteral("avg"),
                                                 QStringLiteral("min"), QStringLiteral("max"), QStringLiteral("total"),
                                                 QStringLiteral("group_concat")};
        size_t insertAfter = m_tokens.size();
        bool inSelectList = true;
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            // One row folded from many (an aggregate anywhere in the select list) has no order.
            const size_t next = nextSignificant(i);
            if (inSelectList && aggregates.contains(word(i)) && next < m_tokens.size() && isPunct(next, "("))
                return;
            if (m_tokens[i].depth != 0 || !significant(i))
                continue;
            const QString w = word(i);
            if (shaping.contains(w))
                return;
            if (w == QLatin1String("from"))
                inSelectList = false;
            if (w == QLatin1String("limit") || w == QLatin1String("offset") || isPunct(i, ";"))
                break;
            insertAfter = i;
        }
        if (insertAfter < m_tokens.size())
            m_after[insertAfter] += QStringLiteral(" ORDER BY ") + m_orderColumn;
    }

    void nameSelectList()
    {
        size_t i = nextSignificant(static_cast<size_t>(-1));
        if (i >= m_tokens.size() || word(i) != QLatin1String("select") || m_tokens[i].depth != 0)
            return;
        i = nextSignificant(i);
        if (i < m_tokens.size() && (word(i) == QLatin1String("distinct") || word(i) == QLatin1String("all")))
            i = nextSignificant(i);
        static const QSet<QString> ends = {QStringLiteral("from"),   QStringLiteral("where"), QStringLiteral("group"),
                                           QStringLiteral("having"), QStringLiteral("order"), QStringLiteral("limit"),
                                           QStringLiteral("union"),  QStringLiteral("except"),
                                           QStringLiteral("intersect"), QStringLiteral("window")};
        const auto list = items(i, 0, [&](size_t k) { return ends.contains(word(k)) || isPunct(k, ";"); });
        for (const auto &item : list)
            nameItem(item);
    }

    void nameItem(const std::vector<size_t> &sig)
    {
        const size_t n = sig.size();
        if (n == 0 || isPunct(sig[n - 1], "*"))
            return;
        if (n >= 3 && word(sig[n - 2]) == QLatin1String("as") && (isName(sig[n - 1]) || m_tokens[sig[n - 1]].kind == Kind::String)) {
            const QString name = nameText(sig[n - 1]);
            set(sig[n - 1], alias(name));
            m_aliases << name;
            return;
        }
        if (n >= 2 && isName(sig[n - 1])) {
            const size_t prev = sig[n - 2];
            const Kind k = m_tokens[prev].kind;
            const bool endsValue = isPunct(prev, ")") || k == Kind::String || k == Kind::Number || k == Kind::Param
                                   || isName(prev) || valueKeywords().contains(word(prev));
            if (endsValue) {
                const QString name = nameText(sig[n - 1]);
                set(sig[n - 1], QStringLiteral("AS ") + alias(name));
                m_aliases << name;
                return;
            }
        }
        // A plain column keeps the name the server gives it (the engine spells it as declared).
        bool column = n % 2 == 1;
        for (size_t k = 0; column && k < n; ++k)
            column = k % 2 == 0 ? isName(sig[k]) : isPunct(sig[k], ".");
        if (column) {
            if (kRowids.contains(word(sig[n - 1])))
                set(sig[n - 1], rowidColumn() + QStringLiteral(" AS ") + quoteName(text(sig[n - 1])));
            return;
        }
        const qsizetype begin = m_tokens[sig.front()].begin;
        m_named[sig.back()] = QStringLiteral(" AS ") + alias(m_sql.mid(begin, m_tokens[sig.back()].end - begin));
    }

    void orderNullsAsSqlite()
    {
        static const QSet<QString> ends = {QStringLiteral("limit"),  QStringLiteral("offset"),
                                           QStringLiteral("fetch"),  QStringLiteral("for"),
                                           QStringLiteral("union"),  QStringLiteral("except"),
                                           QStringLiteral("intersect"), QStringLiteral("returning")};
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            if (word(i) != QLatin1String("order"))
                continue;
            const size_t by = nextSignificant(i);
            if (by >= m_tokens.size() || word(by) != QLatin1String("by"))
                continue;
            const int depth = m_tokens[i].depth;
            const auto list = items(by + 1, depth, [&](size_t k) { return ends.contains(word(k)) || isPunct(k, ";"); });
            for (const auto &item : list) {
                if (item.empty())
                    continue;
                bool hasNulls = false;
                for (size_t k : item)
                    hasNulls = hasNulls || word(k) == QLatin1String("nulls");
                // A row's identity and its key columns are never null, and their
                // index serves the order only as it is (else every row is sorted
                // before the first comes).
                if (hasNulls || (item.size() <= 2 && kRowids.contains(word(item.front())))
                    || (depth == 0 && isKeyColumn(item)))
                    continue;
                const QString last = word(item.back());
                // An output name written in another case than its alias still means the alias.
                const size_t head = item.front();
                if (depth == 0 && isName(head) && (item.size() == 1 || last == QLatin1String("asc") || last == QLatin1String("desc"))) {
                    for (const QString &a : m_aliases)
                        if (a.compare(nameText(head), Qt::CaseInsensitive) == 0)
                            set(head, alias(a));
                }
                m_after[item.back()] += last == QLatin1String("desc") ? QStringLiteral(" NULLS LAST")
                                                                      : QStringLiteral(" NULLS FIRST");
            }
        }
    }

    // A union (or except, intersect) orders rows of other relations too.
    bool combinesSelects() const
    {
        for (size_t i = 0; i < m_tokens.size(); ++i)
            if (m_tokens[i].depth == 0
                && (word(i) == QLatin1String("union") || word(i) == QLatin1String("except") || word(i) == QLatin1String("intersect")))
                return true;
        return false;
    }

    // "<column> [asc|desc]" naming a column of the single relation's key (or
    // its column of written order), not an output name of the select list.
    bool isKeyColumn(const std::vector<size_t> &item) const
    {
        if (m_orderColumn.isEmpty() || combinesSelects() || !isName(item.front()) || item.size() > 2
            || (item.size() == 2 && word(item.back()) != QLatin1String("asc") && word(item.back()) != QLatin1String("desc")))
            return false;
        const QString name = nameText(item.front());
        for (const QString &a : m_aliases)
            if (a.compare(name, Qt::CaseInsensitive) == 0)
                return false;
        return m_orderColumn.split(QStringLiteral(", ")).contains(lowerAscii(name));
    }

    void markLikeOperand(size_t like)
    {
        static const QSet<QString> stops = {
            QStringLiteral("and"),    QStringLiteral("or"),     QStringLiteral("then"),  QStringLiteral("else"),
            QStringLiteral("when"),   QStringLiteral("end"),    QStringLiteral("order"), QStringLiteral("group"),
            QStringLiteral("having"), QStringLiteral("limit"),  QStringLiteral("offset"), QStringLiteral("union"),
            QStringLiteral("except"), QStringLiteral("intersect"), QStringLiteral("from"), QStringLiteral("where"),
            QStringLiteral("as"),     QStringLiteral("asc"),    QStringLiteral("desc"),  QStringLiteral("collate"),
            QStringLiteral("is"),     QStringLiteral("not"),    QStringLiteral("in"),    QStringLiteral("between"),
            QStringLiteral("like"),   QStringLiteral("glob"),   QStringLiteral("returning")};
        static const QStringList comparisons = {QStringLiteral(","),  QStringLiteral(";"),  QStringLiteral("="),
                                                QStringLiteral("<"),  QStringLiteral(">"),  QStringLiteral("<="),
                                                QStringLiteral(">="), QStringLiteral("<>"), QStringLiteral("!="),
                                                QStringLiteral("==")};
        const int depth = m_tokens[like].depth;
        size_t last = like;
        for (size_t i = like + 1; i < m_tokens.size(); ++i) {
            const Token &t = m_tokens[i];
            if (t.depth < depth)
                break;
            if (t.depth == depth) {
                if (word(i) == QLatin1String("escape"))
                    return;
                if (stops.contains(word(i)) || (t.kind == Kind::Punct && comparisons.contains(text(i))))
                    break;
            }
            if (significant(i))
                last = i;
        }
        if (last != like)
            m_after[last] += QStringLiteral(" ESCAPE ''");
    }

    // "from (select ...)" needs a name on this server; SQLite does without.
    void nameSubqueries()
    {
        int named = 0;
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            if (word(i) != QLatin1String("from") && word(i) != QLatin1String("join"))
                continue;
            const size_t open = nextSignificant(i);
            if (open >= m_tokens.size() || !isPunct(open, "("))
                continue;
            const size_t inner = nextSignificant(open);
            if (inner >= m_tokens.size() || word(inner) != QLatin1String("select"))
                continue;
            size_t close = inner;
            while (close < m_tokens.size() && !(isPunct(close, ")") && m_tokens[close].depth == m_tokens[open].depth))
                ++close;
            if (close >= m_tokens.size())
                continue;
            const size_t after = nextSignificant(close);
            if (after < m_tokens.size() && (word(after) == QLatin1String("as") || isName(after)))
                continue;
            m_after[close] += QStringLiteral(" AS jet_sub_%1").arg(++named);
        }
    }

    void rewriteTokens()
    {
        nameSubqueries();
        static const QHash<QString, QString> functions = {
            {QStringLiteral("format"), QStringLiteral("jet_format")}, {QStringLiteral("now"), QStringLiteral("jet_now")},
            {QStringLiteral("char"), QStringLiteral("jet_char")},     {QStringLiteral("round"), QStringLiteral("jet_round")},
            {QStringLiteral("ifnull"), QStringLiteral("coalesce")},   {QStringLiteral("instr"), QStringLiteral("strpos")},
            {QStringLiteral("last_insert_rowid"), QStringLiteral("lastval")},
            {QStringLiteral("group_concat"), QStringLiteral("jet_group_concat")},
            {QStringLiteral("typeof"), QStringLiteral("jet_typeof")},
            {QStringLiteral("total"), QStringLiteral("jet_total")}};
        int parameter = 0;
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            if (m_replaced[i])
                continue;
            const Token &t = m_tokens[i];
            if (t.kind == Kind::Param) {
                set(i, QStringLiteral("$%1").arg(++parameter));
            } else if (t.kind == Kind::Ident) {
                set(i, quoteName(lowerAscii(nameText(i))));
            } else if (isPunct(i, "==")) {
                set(i, QStringLiteral("="));
            } else if (t.kind == Kind::Word) {
                const QString w = word(i);
                const size_t next = nextSignificant(i);
                const bool call = next < m_tokens.size() && isPunct(next, "(");
                if (w == QLatin1String("like")) {
                    set(i, QStringLiteral("ILIKE"));
                    markLikeOperand(i);
                } else if (call && functions.contains(w)) {
                    set(i, functions.value(w));
                } else if (call && w == QLatin1String("date")) {
                    // date() is today; date(x, modifiers...) is SQLite's own.
                    const size_t close = nextSignificant(next);
                    set(i, close < m_tokens.size() && isPunct(close, ")") ? QStringLiteral("jet_today")
                                                                          : QStringLiteral("jet_sqlite_date"));
                } else if (!call && kRowids.contains(w)) {
                    // Returned, the rowid keeps its name (the bookkeeping column's own name is not shown).
                    const bool returned = i > 0 && word(previousSignificant(i)) == QLatin1String("returning");
                    set(i, returned ? rowidColumn() + QStringLiteral(" AS ") + quoteName(text(i)) : rowidColumn());
                }
            }
        }
    }

    const QString &m_sql;
    const SqlLexer::Tokens m_t;
    const std::vector<Token> &m_tokens;
    std::vector<QString> m_replace;
    std::vector<bool> m_replaced;
    std::vector<QString> m_after;
    std::vector<QString> m_named; // names given to select items, after everything else of the item
    QStringList m_aliases;
    QHash<QString, QString> m_longNames;
    QString m_orderColumn;
};

} // namespace

PgTranslation translateForPostgres(const QString &jetSql, const RowOrderColumn &rowOrder)
{
    const QString sqlite = translateJet(jetSql);
    return Rewriter(sqlite, rowOrder).run();
}
