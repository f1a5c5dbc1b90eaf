#include "operators/mod_czywrite.h"

#include "store/connection.h"
#include "store/sqlquote.h"

#include <QDateTime>

QString Mod_czywrite::openStatement(const QString &operatorName, const QString &content)
{
    return QStringLiteral("insert into czyrz([czyname],czyxm) ") + QStringLiteral(" values(") + sqlQuote(operatorName)
           + QLatin1Char(',') + sqlQuote(content) + QLatin1Char(')');
}

QString Mod_czywrite::closeStatement(const QString &content, const QString &now)
{
    return QStringLiteral("update czyrz set last_time=# ") + now + QStringLiteral("# where czyxm=") + sqlQuote(content)
           + QStringLiteral(" and last_time is null");
}

void Mod_czywrite::czyrz_open(Connection &connection, const QString &operatorName, const QString &content)
{
    connection.execute(openStatement(operatorName, content));
}

void Mod_czywrite::czyrz_close(Connection &connection, const QString &content)
{
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    connection.execute(closeStatement(content, now));
}
