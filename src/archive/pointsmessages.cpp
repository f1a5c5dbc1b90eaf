#include "archive/pointsmessages.h"

#include "store/sqlquote.h"
#include "ui/errorboundary.h"
#include "ui/messagebox.h"

void PointsCommands::clearPointsWithMessages(Connection &connection, const QString &kh, const QString &pointsText,
                                             const QString &remark, const QString &operatorName)
{
    ClearResult result;
    if (!ErrorBoundary::run([&] { result = clearPoints(connection, kh, pointsText, remark, operatorName); }))
        return;
    switch (result.outcome) {
    case ClearOutcome::Nothing:
        break;
    case ClearOutcome::NotANumber:
        Msg::exclamation(QStringLiteral("请输入数字"));
        break;
    case ClearOutcome::NotEnough:
        Msg::information(kh + QStringLiteral("客户总积分") + sqlNumber(result.total)
                         + QStringLiteral(", 小于当前要清除积分:") + pointsText.trimmed());
        break;
    case ClearOutcome::Cleared:
        Msg::information(kh + QStringLiteral("会员 ") + pointsText.trimmed() + QStringLiteral("分已清除!"));
        break;
    }
}

void PointsCommands::transferAllWithMessages(Connection &connection, const QString &from, const QString &to)
{
    TransferOutcome outcome = TransferOutcome::Nothing;
    if (!ErrorBoundary::run([&] { outcome = transferAll(connection, from, to); }))
        return;
    switch (outcome) {
    case TransferOutcome::Nothing:
        break;
    case TransferOutcome::SameNumber:
        Msg::information(QStringLiteral("转出和转入的客户编号相同，积分未转让"));
        break;
    case TransferOutcome::UnknownReceiver:
        Msg::information(QStringLiteral("客户编号") + to + QStringLiteral("不存在，积分未转让"));
        break;
    case TransferOutcome::NoRows:
        Msg::information(QStringLiteral("客户") + from + QStringLiteral("没有可转让的行程，积分未转让"));
        break;
    case TransferOutcome::Moved:
        Msg::information(QStringLiteral("客户") + from + QStringLiteral("已全部转让到") + to);
        break;
    }
}

bool PointsCommands::transferRowWithMessages(Connection &connection, const QString &from, const QString &to,
                                             qint64 id, double shownRemaining)
{
    TransferOutcome outcome = TransferOutcome::Nothing;
    if (!ErrorBoundary::run([&] { outcome = transferRow(connection, from, to, id, shownRemaining); }))
        return false;
    switch (outcome) {
    case TransferOutcome::SameNumber:
        Msg::information(QStringLiteral("转出和转入的客户编号相同，积分未转让"));
        return false;
    case TransferOutcome::UnknownReceiver:
        Msg::information(QStringLiteral("客户编号") + to + QStringLiteral("不存在，积分未转让"));
        return false;
    case TransferOutcome::Moved:
        Msg::information(QStringLiteral("客户") + from + QStringLiteral("当前积分转让到") + to);
        return true;
    default:
        return false;
    }
}
