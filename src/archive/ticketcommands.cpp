#include "archive/ticketcommands.h"

#include "operators/mod_czywrite.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"

QString TicketCommands::itinerarySql(const QStringList &fieldCodes)
{
    return QStringLiteral("select [id],") + fieldCodes.join(QLatin1Char(',')) + QStringLiteral(" from hyxc where kh=?");
}

QString TicketCommands::totalsSql()
{
    return QStringLiteral("select sum(ZS) as 张数,sum(amount1*ZS) as 公布价,sum(amount2*ZS) as 销售价,"
                          "sum(amount3*ZS) as [净价],format(sum(jifen),'###00.00')  as 积分合计,"
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
