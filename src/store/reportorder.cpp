#include "store/reportorder.h"

#include "store/sqllexer.h"

#include <QHash>
#include <QStringList>

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
    static const QStringList shaping = {QStringLiteral("order"), QStringLiteral("union"), QStringLiteral("limit"),
                                        QStringLiteral("join"), QStringLiteral("group")};
    const SqlLexer::Tokens t(sql);
    const size_t n = t.list.size();
    QString relation;
    bool afterFrom = false;
    for (size_t i = 0; i < n; ++i) {
        if (t.list[i].depth != 0 || t.blank(i))
            continue;
        const QString word = t.word(i);
        if (shaping.contains(word) || (t.punct(i, QLatin1String(",")) && !relation.isEmpty()))
            return sql;
        if (afterFrom && relation.isEmpty())
            relation = t.text(i);
        afterFrom = afterFrom || word == QLatin1String("from");
    }
    const QString keys = keysOf(relation);
    return keys.isEmpty() ? sql : sql + QStringLiteral(" order by ") + keys;
}
