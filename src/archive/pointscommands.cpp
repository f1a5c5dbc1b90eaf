#include "archive/pointscommands.h"

#include "store/connection.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "store/valuecheck.h"
#include "ui/messagebox.h"

namespace {

QString numberText(double value)
{
    return QString::number(value, 'g', 12);
}

bool customerExists(Connection &connection, const QString &kh)
{
    Recordset rs;
    rs.open(QStringLiteral("select kh from hyda where kh=") + sqlQuote(kh), &connection, LockType::ReadOnly);
    return rs.recordCount() > 0;
}

} // namespace

QVector<double> PointsCommands::clearingWalk(const QVector<double> &remaining, double points)
{
    QVector<double> result = remaining;
    double left = points;
    for (double &row : result) {
        if (row > left) {
            row -= left;
            break;
        }
        left -= row;
        row = 0;
    }
    return result;
}

PointsCommands::ClearResult PointsCommands::clearPoints(Connection &connection, const QString &kh,
                                                        const QString &pointsText, const QString &remark,
                                                        const QString &operatorName)
{
    ClearResult result;
    if (kh.isEmpty())
        return result;
    // Only a positive number clears (a negative one would add points); an empty box is no number either.
    const QString typed = pointsText.trimmed();
    if (!Modcheck::isNumeric(typed)) {
        result.outcome = ClearOutcome::NotANumber;
        return result;
    }
    result.points = QString(typed).remove(QLatin1Char(',')).toDouble();
    if (!(result.points > 0)) {
        result.outcome = ClearOutcome::NotANumber;
        return result;
    }

    TransactionGuard transaction(connection);
    Recordset total;
    total.open(QStringLiteral("select sum(jifenyue) as sumjifen from hyxc where kh=") + sqlQuote(kh), &connection, LockType::Optimistic);
    result.total = total.value(QStringLiteral("sumjifen")).toDouble();
    if (result.total < result.points) {
        result.outcome = ClearOutcome::NotEnough;
        return result;
    }

    Recordset rows;
    rows.open(QStringLiteral("select * from hyxc where kh=") + sqlQuote(kh) + QStringLiteral(" and jifenyue>0"),
              &connection, LockType::Optimistic);
    QVector<double> remaining;
    const int column = rows.fieldIndex(QStringLiteral("jifenyue"));
    for (int i = 0; i < rows.recordCount(); ++i)
        remaining.append(rows.valueAt(i, column).toDouble());
    const QVector<double> after = clearingWalk(remaining, result.points);
    for (int i = 0; i < after.size(); ++i) {
        if (after.at(i) == remaining.at(i))
            continue;
        rows.moveTo(i);
        rows.setValue(column, after.at(i));
        rows.update();
    }
    if (remark.isEmpty())
        connection.execute(QStringLiteral("insert into jifenallow(kh,czy,jifen) values(") + sqlQuote(kh)
                           + QLatin1Char(',') + sqlQuote(operatorName) + QLatin1Char(',') + sqlNumber(result.points)
                           + QLatin1Char(')'));
    else
        connection.execute(QStringLiteral("insert into jifenallow(kh,czy,jifen,bz) values(") + sqlQuote(kh)
                           + QLatin1Char(',') + sqlQuote(operatorName) + QLatin1Char(',') + sqlNumber(result.points)
                           + QLatin1Char(',') + sqlQuote(remark) + QLatin1Char(')'));
    transaction.commit();
    result.outcome = ClearOutcome::Cleared;
    return result;
}

void PointsCommands::clearPointsWithMessages(Connection &connection, const QString &kh, const QString &pointsText,
                                             const QString &remark, const QString &operatorName)
{
    ClearResult result;
    try {
        result = clearPoints(connection, kh, pointsText, remark, operatorName);
    } catch (const DbException &e) {
        Msg::stop(QStringLiteral("积分清除失败: ") + e.description());
        return;
    }
    switch (result.outcome) {
    case ClearOutcome::Nothing:
        break;
    case ClearOutcome::NotANumber:
        Msg::exclamation(QStringLiteral("请输入数字"));
        break;
    case ClearOutcome::NotEnough:
        Msg::information(kh + QStringLiteral("客户总积分") + numberText(result.total)
                         + QStringLiteral(", 小于当前要清除积分:") + pointsText.trimmed());
        break;
    case ClearOutcome::Cleared:
        Msg::information(kh + QStringLiteral("会员 ") + pointsText.trimmed() + QStringLiteral("分已清除!"));
        break;
    }
}

QString PointsCommands::copyStatement(const QString &to, const QString &whereClause)
{
    return QStringLiteral("insert into hyxczhuanrang(kh,kaishi,daoda,amount1,amount2,amount3,hangkong,neivai,jifen,"
                          "jifenyue,zhuanrangkh)  select kh,kaishi,daoda,amount1,amount2,amount3,hangkong,neivai,"
                          "jifen,jifenyue,")
           + sqlQuote(to) + QStringLiteral(" from hyxc where ") + whereClause;
}

namespace {

// Copies the rows into the transfer log, then moves them: both or neither.
PointsCommands::TransferOutcome transferRows(Connection &connection, const QString &from, const QString &to,
                                             const QString &where)
{
    using Outcome = PointsCommands::TransferOutcome;
    if (from.isEmpty() || to.isEmpty())
        return Outcome::Nothing;
    if (from == to)
        return Outcome::SameNumber;
    if (!customerExists(connection, to))
        return Outcome::UnknownReceiver;
    TransactionGuard transaction(connection);
    connection.execute(PointsCommands::copyStatement(to, where));
    connection.execute(QStringLiteral("update hyxc set kh=") + sqlQuote(to) + QStringLiteral(" where ") + where);
    transaction.commit();
    return Outcome::Moved;
}

} // namespace

PointsCommands::TransferOutcome PointsCommands::transferAll(Connection &connection, const QString &from,
                                                            const QString &to)
{
    return transferRows(connection, from, to, QStringLiteral("kh=") + sqlQuote(from));
}

PointsCommands::TransferOutcome PointsCommands::transferRow(Connection &connection, const QString &from,
                                                            const QString &to, qint64 id)
{
    return transferRows(connection, from, to, QStringLiteral("id=") + sqlNumber(id));
}

void PointsCommands::transferAllWithMessages(Connection &connection, const QString &from, const QString &to)
{
    TransferOutcome outcome;
    try {
        outcome = transferAll(connection, from, to);
    } catch (const DbException &e) {
        Msg::stop(QStringLiteral("积分转让失败: ") + e.description());
        return;
    }
    if (outcome == TransferOutcome::UnknownReceiver)
        Msg::information(QStringLiteral("客户编号") + to + QStringLiteral("不存在，积分未转让"));
    else if (outcome == TransferOutcome::Moved)
        Msg::information(QStringLiteral("客户") + from + QStringLiteral("已全部转让到") + to);
}

QString PointsCommands::ticketLogStatement(const QString &operatorName, const QString &action, const QString &airline,
                                           qint64 id, const QString &now)
{
    return QStringLiteral("insert into czyrz([czyname],czyxm,last_time) ") + QStringLiteral(" values(")
           + sqlQuote(operatorName) + QLatin1Char(',')
           + sqlQuote(action + QLatin1Char(' ') + airline + QStringLiteral(" id=") + QString::number(id))
           + QStringLiteral(",#") + now + QStringLiteral("#)");
}
