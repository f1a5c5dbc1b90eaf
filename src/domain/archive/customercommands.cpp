#include "domain/archive/customercommands.h"

#include "domain/archive/pinyinmatcher.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/statement.h"

namespace {

QStringList cardNumbers(Connection &connection, const QString &sql, const QVariantList &parameters)
{
    Recordset rs;
    rs.open(sql, &connection, LockType::ReadOnly, parameters);
    QStringList cards;
    for (int i = 0; i < rs.recordCount(); ++i)
        cards << rs.valueAt(i, 0).toString();
    return cards;
}

} // namespace

QString CustomerCommands::customersSql()
{
    return QStringLiteral("select * from hyda");
}

QStringList CustomerCommands::namesMatching(Connection &connection, const PinyinMatcher &pinyin)
{
    // Each name is matched once however many customers bear it; the name's
    // index gives the names in one walk.
    QStringList names;
    Statement distinct = connection.prepare(QStringLiteral("select distinct xm from hyda"));
    while (distinct.next()) {
        const QString name = distinct.value(0).toString();
        if (pinyin.matches(name))
            names << name;
    }
    names.sort();
    return names;
}

QString CustomerCommands::clearingLogSql()
{
    return QStringLiteral("select * from jifenallow");
}

void CustomerCommands::deleteCustomer(Connection &connection, Recordset &customers)
{
    const QString kh = customers.text(QStringLiteral("kh"));
    customers.deleteCurrentWith([&] { connection.execute(QStringLiteral("delete from hyxc where kh=?"), {kh}); });
}

CustomerCommands::Duplicates CustomerCommands::duplicatesOf(Connection &connection, const QString &idNumber,
                                                            const QString &name, const QString &mobile)
{
    Duplicates found;
    // Numbers are compared as typed apart from blanks around them and the case of a final x.
    if (!idNumber.trimmed().isEmpty())
        found.sameIdNumber = cardNumbers(connection, QStringLiteral("select kh from hyda where upper(trim(sfzh))=? order by kh"),
                                         {idNumber.trimmed().toUpper()});
    if (!name.trimmed().isEmpty() && !mobile.trimmed().isEmpty())
        found.sameNameAndMobile =
            cardNumbers(connection, QStringLiteral("select kh from hyda where xm=? and trim(sj)=? order by kh"),
                        {name.trimmed(), mobile.trimmed()});
    return found;
}
