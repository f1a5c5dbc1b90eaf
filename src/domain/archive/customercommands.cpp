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

QString CustomerCommands::cardsAndNamesSql()
{
    return QStringLiteral("select kh,xm from hyda");
}

QStringList CustomerCommands::cardsNamed(Connection &connection, const PinyinMatcher &pinyin)
{
    QStringList cards;
    // Read in one go (on a server, one round trip), matched one at a time.
    Statement names = connection.prepare(cardsAndNamesSql());
    while (names.next())
        if (pinyin.matches(names.value(1).toString()))
            cards << names.value(0).toString();
    return cards;
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
