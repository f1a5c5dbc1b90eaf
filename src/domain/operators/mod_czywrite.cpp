#include "domain/operators/mod_czywrite.h"

#include "store/connection.h"
#include "store/sqlquote.h"

#include <QSet>


QString Mod_czywrite::now(Connection &connection)
{
    return connection.scalar(QStringLiteral("select now()")).toString();
}

void Mod_czywrite::czyrz_open(Connection &connection, const QString &operatorName, const QString &content)
{
    // Nobody waits for it: on a server it goes with the next read.
    connection.executeSoon(QStringLiteral("insert into czyrz(czyname,czyxm) values(?,?)"), {operatorName, content});
}

void Mod_czywrite::czyrz_close(Connection &connection, const QString &content)
{
    // Times come from the database's clock (the server's, on a server), so that
    // entries from seats whose clocks differ sort in the order they happened.
    // On a server an operator cannot change log rows: the archive closes the operator's own entries.
    if (connection.isServer()) {
        // Once the archive's function has closed an entry there, the next ones
        // go with the seat's next read (their window is gone; nobody waits),
        // a failure only logged, as a failed close is.
        static QSet<QString> closingByFunction;
        if (closingByFunction.contains(connection.location())) {
            connection.executeSoon(QStringLiteral("select torvane_log_close(?)"), {content}, true);
            return;
        }
        try {
            connection.scalar(QStringLiteral("select torvane_log_close(?)"), {content});
            closingByFunction.insert(connection.location());
            return;
        } catch (const DbException &) {
            // An archive whose roles were never set up has no such function.
        }
    }
    connection.execute(QStringLiteral("update czyrz set last_time=now() where czyxm=? and last_time is null"), {content});
}

void Mod_czywrite::writeClosed(Connection &connection, const QString &operatorName, const QString &content)
{
    connection.execute(QStringLiteral("insert into czyrz(czyname,czyxm,last_time) values(?,?,now())"),
                            {operatorName, content});
}

QString Mod_czywrite::listSql(const QString &condition)
{
    // 24-hour times, as every other time the program shows.
    QString sql = QStringLiteral("select tag,czyname,czyxm,format(init_time,'yyyy-mm-dd hh:nn:ss'),"
                                 "format(last_time,'yyyy-mm-dd hh:nn:ss')  from czyrz where last_time is not null");
    if (!condition.isEmpty())
        sql += QStringLiteral(" and ") + condition;
    return sql;
}

QString Mod_czywrite::findCondition(const QString &name, const QDate &startDate)
{
    QString condition;
    if (!name.isEmpty())
        condition = QStringLiteral("czyname=") + sqlQuote(name);
    if (startDate.isValid()) {
        const QString day = sqlQuote(startDate.toString(QStringLiteral("yyyy-MM-dd")));
        if (!condition.isEmpty())
            condition += QStringLiteral(" and Format(init_time, 'yyyy-MM-dd') =") + day;
        else
            condition = QStringLiteral(" Format(init_time, 'yyyy-MM-dd')=") + day;
    }
    return condition;
}

int Mod_czywrite::deleteClosed(Connection &connection, const QString &listedAt)
{
    return connection.execute(QStringLiteral("delete from czyrz where last_time is not null and last_time<=?"),
                              {listedAt});
}
