#pragma once

// What the customer archive tests share: the entry dictionary as the windows
// read it, and customers and tickets written with bound parameters.

#include "hostilesupport.h"

namespace Hostile {

inline const QString kWrongData = QStringLiteral("数据有误，请重新输入!");

struct DictionaryField
{
    QString code, caption, type;
    int length = 0;
    bool required = false;
};

// The entry dictionary of a table as the windows lay themselves out from it.
inline QList<DictionaryField> dictionary(sqlite3 *db, const QString &table, bool visibleOnly)
{
    QList<DictionaryField> fields;
    const QString sql = QStringLiteral("select colm_code, colm_name, colm_type, colm_cd, nullbj from dh_codedict "
                                       "where table_code=?1")
                        + (visibleOnly ? QStringLiteral(" and can_show='1'") : QString()) + QStringLiteral(" order by xh");
    for (const QVariantList &r : rows(db, sql, {table}))
        fields.append({r.at(0).toString(), r.at(1).toString(), r.at(2).toString().toUpper(), r.at(3).toInt(),
                       r.at(4).toString() != QLatin1String("0")});
    return fields;
}

inline void addCustomer(sqlite3 *db, const QString &kh, const QString &xm = QStringLiteral("客户"))
{
    write(db, QStringLiteral("insert or ignore into hyda(kh, xm) values(?1, ?2)"), {kh, xm});
}

inline qint64 addTicket(sqlite3 *db, const QString &kh, double points)
{
    static int ticket = 0;
    return write(db,
                 QStringLiteral("insert into hyxc(kh, cprq, qfrq, daoda, kaishi, hbh, cw, piaohao, hangkong, jfbl, "
                                "amount1, jifen, jifenyue) values(?1, '2024-02-20', '2024-03-01', '北京', '上海', "
                                "'MU5101', 'Y', ?2, '东航', 5, 1000, ?3, ?3)"),
                 {kh, QStringLiteral("781-%1").arg(++ticket), points});
}

// Every non-empty input as a customer with tickets, and the look-alikes of
// each as customers of their own, so a command aimed at one can be seen not
// to touch the others.
inline void addHostileCustomers(sqlite3 *db, double points, int ticketsEach)
{
    for (const Input &in : inputs()) {
        if (in.text.isEmpty())
            continue;
        addCustomer(db, in.text);
        for (int i = 0; i < ticketsEach; ++i)
            addTicket(db, in.text, points);
        for (const QString &alike : lookAlikes(in.text)) {
            if (isInput(alike))
                continue;
            addCustomer(db, alike);
            addTicket(db, alike, points + 2);
        }
    }
}

} // namespace Hostile
