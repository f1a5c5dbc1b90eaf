#include "store/reportorder.h"

#include "store/sqllexer.h"

#include <QHash>

QString ReportOrder::keysOf(const QString &relation)
{
    static const QHash<QString, QString> keys = {
        {QStringLiteral("sumhangkong"), QStringLiteral("hangkong, cprq, neivai")},
        {QStringLiteral("sumgeren"), QStringLiteral("dpy, cprq, hangkong")},
        {QStringLiteral("sumdaoda"), QStringLiteral("kaishi, daoda, cprq")},
        {QStringLiteral("srriqi"), QStringLiteral("cprq")},
        {QStringLiteral("srhangkong"), QStringLiteral("hangkong, cprq")},
        {QStringLiteral("srdpy"), QStringLiteral("dpy, cprq")},
        {QStringLiteral("sumjifen"), QStringLiteral("id")}};
    return keys.value(relation.toLower());
}

QString ReportOrder::ordered(const QString &sql)
{
    using SqlLexer::Kind;
    const std::vector<SqlLexer::Token> tokens = SqlLexer::tokenize(sql);
    QString relation;
    bool afterFrom = false;
    for (const SqlLexer::Token &t : tokens) {
        if (t.depth != 0 || t.kind == Kind::Space || t.kind == Kind::Comment)
            continue;
        const QString word = t.kind == Kind::Word ? sql.mid(t.begin, t.end - t.begin).toLower() : QString();
        static const QStringList shaping = {QStringLiteral("order"), QStringLiteral("union"), QStringLiteral("limit"),
                                            QStringLiteral("join"), QStringLiteral("group")};
        if (shaping.contains(word) || (t.kind == Kind::Punct && sql.at(t.begin) == QLatin1Char(',') && !relation.isEmpty()))
            return sql;
        if (afterFrom && relation.isEmpty())
            relation = sql.mid(t.begin, t.end - t.begin);
        afterFrom = afterFrom || word == QLatin1String("from");
    }
    const QString keys = keysOf(relation);
    return keys.isEmpty() ? sql : sql + QStringLiteral(" order by ") + keys;
}
