#include "domain/archive/pointscommands.h"

#include "store/connection.h"
#include "store/recordset.h"
#include "store/rowstore.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "store/valuecheck.h"

#include <cmath>

namespace {

bool sameCustomer(const QString &a, const QString &b)
{
    // Card numbers compare as the database compares them: letter case aside.
    return RowStore::foldAscii(a.toUtf8()) == RowStore::foldAscii(b.toUtf8());
}

} // namespace

qint64 PointsCommands::toHundredths(double points)
{
    return std::llround(points * 100.0);
}

double PointsCommands::fromHundredths(qint64 hundredths)
{
    return static_cast<double>(hundredths) / 100.0;
}

namespace {

// The clearing walk, done where the rows are: a customer's rows that still
// carry points, in the order they were written, are emptied until one has
// more than what is left to clear, which it gives up; the rows after it keep
// theirs. Counted in hundredths, as the log row's check counts the total.
// Values: the points three times, the card number twice, the points.
const QString kClearingWalk = QStringLiteral(
    "update hyxc set jifenyue = w.after / 100.0 from ("
    "select id, cents, case when before >= ? then cents when before + cents <= ? then 0 else cents - (? - before) end as after "
    "from (select id, round(jifenyue*100) as cents, sum(round(jifenyue*100)) over (order by id) - round(jifenyue*100) as before "
    "from hyxc where kh=? and jifenyue>0 and (select sum(round(jifenyue*100)) from hyxc where kh=?) >= ?) s) w "
    "where hyxc.id = w.id and w.after <> w.cents");
// The log row, written only when the customer's rows hold enough points.
const QString kClearingLog = QStringLiteral(
    "insert into jifenallow(kh,czy,jifen,bz) select ?,?,?,? "
    "where (select sum(round(jifenyue*100)) from hyxc where kh=?) >= ?");
const QString kRemaining = QStringLiteral("select sum(round(jifenyue*100)) from hyxc where kh=?");

} // namespace

PointsCommands::ClearResult PointsCommands::clearPoints(Connection &connection, const QString &kh,
                                                        const QString &pointsText, const QString &remark,
                                                        const QString &operatorName)
{
    ClearResult result;
    if (kh.isEmpty())
        return result;
    // Only a positive number clears (a negative one would add points); an empty box is no number either.
    const auto typed = Modcheck::parseNumber(pointsText);
    if (!typed || toHundredths(*typed) <= 0) {
        result.outcome = ClearOutcome::NotANumber;
        return result;
    }
    const qint64 points = toHundredths(*typed);
    result.points = fromHundredths(points);

    // Under the archive's write lock the check and the walk see the same rows;
    // on a server the whole command and the total after it are one round trip.
    TransactionGuard transaction(connection);
    RowCount logged = connection.execute(kClearingLog, {kh, operatorName, result.points,
                                                        remark.isEmpty() ? QVariant() : QVariant(remark), kh, points});
    connection.execute(kClearingWalk, {points, points, points, kh, kh, points});
    connection.readAhead(kRemaining, {kh});
    transaction.commit();
    const bool cleared = int(logged) == 1;
    const qint64 left = std::llround(connection.scalar(kRemaining, {kh}).toDouble());
    result.total = fromHundredths(left + (cleared ? points : 0));
    result.outcome = cleared ? ClearOutcome::Cleared : ClearOutcome::NotEnough;
    return result;
}

namespace {

const QString kCopy = QStringLiteral(
    "insert into hyxczhuanrang(kh,kaishi,daoda,amount1,amount2,amount3,hangkong,neivai,jifen,jifenyue,zhuanrangkh)"
    "  select kh,kaishi,daoda,amount1,amount2,amount3,hangkong,neivai,jifen,jifenyue,? from hyxc where ");

// The numbers as typed, before anything is asked of the archive.
PointsCommands::TransferOutcome checkNumbers(const QString &from, const QString &to)
{
    using Outcome = PointsCommands::TransferOutcome;
    if (from.isEmpty() || to.isEmpty())
        return Outcome::Nothing;
    if (sameCustomer(from, to))
        return Outcome::SameNumber;
    return Outcome::Moved;
}

// What a transfer's own checks throw, to be told apart from any other failure.
constexpr long kUnknownReceiver = 1;
constexpr long kNoRows = 2;
DbException unmet(long which)
{
    return DbException(which, QStringLiteral("转让的条件不成立"), DbErrorKind::Refused);
}

// Runs a transfer's statements as one command; its checks travel with it (on a
// server, the whole command is one round trip) and come back as outcomes.
PointsCommands::TransferOutcome moveAsOne(Connection &connection, const QString &to, const std::function<void()> &move)
{
    using Outcome = PointsCommands::TransferOutcome;
    try {
        TransactionGuard transaction(connection);
        connection.require(QStringLiteral("select kh from hyda where kh=?"), {to}, unmet(kUnknownReceiver));
        move();
        transaction.commit();
    } catch (const DbException &e) {
        if (e.kind() != DbErrorKind::Refused || (e.number() != kUnknownReceiver && e.number() != kNoRows))
            throw;
        return e.number() == kUnknownReceiver ? Outcome::UnknownReceiver : Outcome::NoRows;
    }
    return Outcome::Moved;
}

} // namespace

QString PointsCommands::transferableRowsSql()
{
    return QStringLiteral(" select kh,kaishi,daoda,amount1,amount2,amount3,hangkong,neivai,jifen,jifenyue,id"
                          " from hyxc where kh=? and jifenyue<>0");
}

PointsCommands::TransferOutcome PointsCommands::transferAll(Connection &connection, const QString &from,
                                                            const QString &to)
{
    const TransferOutcome check = checkNumbers(from, to);
    if (check != TransferOutcome::Moved)
        return check;
    // The log copy and the move see the same rows: the write lock is held from the start.
    return moveAsOne(connection, to, [&] {
        connection.execute(kCopy + QStringLiteral("kh=?"), {to, from});
        connection.require(QStringLiteral("update hyxc set kh=? where kh=?"), {to, from}, unmet(kNoRows));
    });
}

PointsCommands::TransferOutcome PointsCommands::transferRow(Connection &connection, const QString &from,
                                                            const QString &to, qint64 id,
                                                            std::optional<double> shownRemaining)
{
    const TransferOutcome check = checkNumbers(from, to);
    if (check != TransferOutcome::Moved)
        return check;
    // The row moves only while it is still the giver's and holds the points the operator saw.
    QString which = QStringLiteral("id=? and kh=?");
    QVariantList values = {id, from};
    if (shownRemaining) {
        which += QStringLiteral(" and jifenyue=?");
        values << *shownRemaining;
    }
    return moveAsOne(connection, to, [&] {
        connection.execute(kCopy + which, QVariantList{to} + values);
        connection.require(QStringLiteral("update hyxc set kh=? where ") + which, QVariantList{to} + values,
                           DbException::conflict());
    });
}


