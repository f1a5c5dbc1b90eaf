#include "domain/archive/ticketcommands.h"

#include "domain/operators/mod_czywrite.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"

QString TicketCommands::itinerarySql(const QStringList &fieldCodes)
{
    return QStringLiteral("select [id],") + fieldCodes.join(QLatin1Char(',')) + QStringLiteral(" from hyxc where kh=?");
}

QString TicketCommands::totalsSql()
{
    // Money sums to the fen: a sum of prices with fen in binary carries a remainder (1800.1299999999999).
    return QStringLiteral("select sum(ZS) as 张数,round(sum(amount1*ZS),2) as 公布价,round(sum(amount2*ZS),2) as 销售价,"
                          "round(sum(amount3*ZS),2) as [净价],format(sum(jifen),'###00.00')  as 积分合计,"
                          "format(sum(jifenyue),'##00.00') as 剩余积分 from hyxc where kh=?");
}

QString TicketCommands::customerCondition(const QString &kh)
{
    return QStringLiteral("kh=") + sqlQuote(kh);
}

void TicketCommands::saveStateChange(Connection &connection, Recordset &rows, const QString &operatorName,
                                     const QString &action, const QString &airline, qint64 id)
{
    // The log line is written only once the row is.
    TransactionGuard transaction(connection);
    rows.update();
    Mod_czywrite::writeClosed(connection, operatorName,
                              action + QLatin1Char(' ') + airline + QStringLiteral(" id=") + QString::number(id));
    transaction.commit();
}
