#include "store/jetsql.h"

#include "store/jetdate.h"
#include "store/sqlquote.h"

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Length of "delete <blanks> * <blanks> from" starting at pos, or 0.
qsizetype deleteStarLength(const QString &sql, qsizetype pos)
{
    static const QString kDelete = QStringLiteral("delete");
    static const QString kFrom = QStringLiteral("from");
    if (sql.mid(pos, kDelete.size()).compare(kDelete, Qt::CaseInsensitive) != 0)
        return 0;
    qsizetype i = pos + kDelete.size();
    const qsizetype afterDelete = i;
    while (i < sql.size() && sql.at(i).isSpace())
        ++i;
    if (i == afterDelete || i >= sql.size() || sql.at(i) != QLatin1Char('*'))
        return 0;
    ++i;
    while (i < sql.size() && sql.at(i).isSpace())
        ++i;
    if (sql.mid(i, kFrom.size()).compare(kFrom, Qt::CaseInsensitive) != 0)
        return 0;
    i += kFrom.size();
    if (i < sql.size() && isWordChar(sql.at(i)))
        return 0;
    return i - pos;
}

// Copies a quoted or bracketed run starting at pos (opening char included).
qsizetype copyRun(const QString &sql, qsizetype pos, QChar close, QString &out)
{
    qsizetype i = pos + 1;
    while (i < sql.size()) {
        if (sql.at(i) == close) {
            // A doubled quote stays inside the literal.
            if (close != QLatin1Char(']') && i + 1 < sql.size() && sql.at(i + 1) == close) {
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        ++i;
    }
    out += QStringView(sql).mid(pos, i - pos);
    return i;
}

} // namespace

QString translateJet(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            i = copyRun(sql, i, c, out);
        } else if (c == QLatin1Char('[')) {
            i = copyRun(sql, i, QLatin1Char(']'), out);
        } else if (c == QLatin1Char('#')) {
            const qsizetype close = sql.indexOf(QLatin1Char('#'), i + 1);
            if (close > i) {
                const auto date = parseJetDate(sql.mid(i + 1, close - i - 1));
                if (date) {
                    out += sqlQuote(date->toIso());
                    i = close + 1;
                    continue;
                }
            }
            out += c;
            ++i;
        } else if ((c == QLatin1Char('d') || c == QLatin1Char('D'))
                   && (i == 0 || !isWordChar(sql.at(i - 1)))) {
            const qsizetype len = deleteStarLength(sql, i);
            if (len > 0) {
                out += QStringLiteral("delete from");
                i += len;
            } else {
                out += c;
                ++i;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}
