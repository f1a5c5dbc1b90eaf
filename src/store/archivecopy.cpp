#include "store/archivecopy.h"

#include "store/connection.h"
#include "store/databasecreator.h"
#include "store/engine.h"
#include "store/pgengine.h"
#include "store/schemafacts.h"
#include "store/serverroles.h"
#include "store/transactionguard.h"
#include "store/wholefile.h"

#include <QFileInfo>
#include <QVector>
#include <cmath>

namespace {

// Kept by triggers on the target from the tickets themselves, so never copied.
const QStringList kKeptStatistics = {QStringLiteral("SUMhangkong"), QStringLiteral("SUMgeren"),
                                     QStringLiteral("SUMdaoda")};
const QString kKeptPoints = QStringLiteral("SUMkh");
// The table they are kept from.
const QString kTickets = QStringLiteral("hyxc");
const int kPage = 2000;

[[noreturn]] void failWith(const QString &text)
{
    throw DbException(DbErrorCode::GeneralFailure, text);
}

QVariant scalar(Connection &c, const QString &sql)
{
    return c.scalar(sql);
}

// Copies `table`'s rows into `into` (the table itself, or one staging them).
qint64 copyTable(Connection &from, Connection &to, const QString &table, const QString &into)
{
    const QStringList columns = SchemaFacts::delivered().columns(table);
    const int width = static_cast<int>(columns.size());
    // Several rows per insert: a server writes them (and sums their statistics)
    // per statement. libpq of PostgreSQL 15 takes a description of at most
    // 30,000 bytes of parameters (4 each), hence 7,000 values per statement.
    const int batch = std::max(1, std::min(500, 7000 / width));
    const QString marks = QLatin1Char('(') + QStringList(width, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    auto insertFor = [&](int rows) {
        return to.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                              .arg(into, columns.join(QLatin1Char(',')), QStringList(rows, marks).join(QLatin1Char(','))));
    };
    Statement full = insertFor(batch);
    // Pages in the order the rows were written, so that order survives the move.
    Statement read = from.prepare(QStringLiteral("SELECT %1, rowid FROM %2 WHERE rowid > ? ORDER BY rowid LIMIT %3")
                                      .arg(columns.join(QLatin1Char(',')), table)
                                      .arg(kPage));
    qint64 copied = 0;
    QVariant after = QVariant::fromValue<qint64>(std::numeric_limits<qint64>::min());
    while (true) {
        QVector<QVariantList> rows;
        read.bind(1, after);
        while (read.next()) {
            QVariantList row;
            for (int i = 0; i < width; ++i)
                row << read.value(i);
            after = read.value(width);
            rows << row;
        }
        read.reset();
        for (qsizetype start = 0; start < rows.size(); start += batch) {
            const int n = static_cast<int>(std::min<qsizetype>(batch, rows.size() - start));
            Statement tail;
            Statement &insert = n == batch ? full : (tail = insertFor(n));
            int parameter = 1;
            for (int r = 0; r < n; ++r)
                for (const QVariant &value : rows.at(start + r))
                    insert.bind(parameter++, value);
            insert.run();
        }
        copied += rows.size();
        if (rows.size() < kPage)
            break;
    }
    to.engine().raiseCounter(table, from.engine().counterValue(table));
    return copied;
}

// A server sums the tickets' statistics and points per statement, into rows
// it rewrites each time (the old row stays until the copy commits). The
// tickets are staged first and go in with one statement, so each kept row is
// written once; batch by batch, the copy of ten million tickets slowed down
// as the dead rows piled up.
qint64 copyKeepingStatistics(Connection &from, Connection &to, const QString &table)
{
    if (!to.isServer() || table.compare(kTickets, Qt::CaseInsensitive) != 0)
        return copyTable(from, to, table, table);
    const QString columns = SchemaFacts::delivered().columns(table).join(QLatin1Char(','));
    const QString staging = QStringLiteral("copy_staging");
    to.executeScript(QStringLiteral("CREATE TEMP TABLE %1 AS SELECT %2 FROM %3 WITH NO DATA").arg(staging, columns, table));
    const qint64 copied = copyTable(from, to, table, staging);
    // A plain scan gives the staged rows in the order they were written.
    to.executeScript(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(table, columns, staging));
    to.executeScript(QStringLiteral("DROP TABLE ") + staging);
    return copied;
}

bool sameTotal(const QVariant &a, const QVariant &b)
{
    const double x = a.toDouble();
    const double y = b.toDouble();
    return std::fabs(x - y) <= 1e-6 * std::max(1.0, std::fabs(x));
}

void check(Connection &from, Connection &to, const QString &table, qint64 copied)
{
    const QString count = QStringLiteral("SELECT count(*) FROM ") + table;
    const qint64 source = scalar(from, count).toLongLong();
    const qint64 target = scalar(to, count).toLongLong();
    if (source != copied || target != copied)
        failWith(QStringLiteral("复制后核对不符: 表 %1 原有 %2 行，复制 %3 行，目标有 %4 行")
                     .arg(table)
                     .arg(source)
                     .arg(copied)
                     .arg(target));
}

void checkTotals(Connection &from, Connection &to)
{
    // Member points are money: the sums must come across as they were.
    const QStringList totals = {QStringLiteral("SELECT sum(jifen) FROM hyxc"), QStringLiteral("SELECT sum(jifenyue) FROM hyxc"),
                                QStringLiteral("SELECT sum(jifen) FROM jifenallow"),
                                QStringLiteral("SELECT sum(jifen) FROM hyxczhuanrang")};
    for (const QString &sql : totals) {
        const QVariant a = scalar(from, sql);
        const QVariant b = scalar(to, sql);
        if (a.isNull() != b.isNull() || !sameTotal(a, b))
            failWith(QStringLiteral("复制后积分合计不符 (%1): 原 %2，目标 %3").arg(sql, a.toString(), b.toString()));
    }
    const QVariant sold = scalar(to, QStringLiteral("SELECT count(*) FROM hyxc WHERE zt IS NULL OR zt = '正常'"));
    for (const QString &kept : kKeptStatistics) {
        const QVariant counted = scalar(to, QStringLiteral("SELECT coalesce(sum(tickets), 0) FROM ") + kept);
        if (counted.toLongLong() != sold.toLongLong())
            failWith(QStringLiteral("复制后统计表 %1 不符: %2 张，应为 %3 张").arg(kept, counted.toString(), sold.toString()));
    }
    const QVariant kept = scalar(to, QStringLiteral("SELECT sum(jifen) FROM ") + kKeptPoints);
    const QVariant fresh = scalar(to, QStringLiteral("SELECT sum(jifen) FROM hyxc"));
    if (kept.isNull() != fresh.isNull() || !sameTotal(kept, fresh))
        failWith(QStringLiteral("复制后统计表 %1 不符: 积分 %2，应为 %3").arg(kKeptPoints, kept.toString(), fresh.toString()));
}

// Copies every table into `to` in one transaction: into the schema written
// first, or in place of the rows `to` holds.
QStringList copyInto(Connection &from, Connection &to, bool replace = false)
{
    QStringList report;
    from.engine().beginSnapshot();
    try {
        TransactionGuard transaction(to);
        if (replace) {
            for (const QString &table : SchemaFacts::delivered().tables())
                to.execute(QStringLiteral("DELETE FROM ") + table);
        } else {
            DatabaseCreator::writeSchema(to);
            // The operators copied in get their roles as they arrive, without passwords.
            if (to.isServer())
                ServerRoles::install(to.engine(), true);
        }
        for (const QString &table : SchemaFacts::delivered().tables()) {
            if (kKeptStatistics.contains(table, Qt::CaseInsensitive) || table.compare(kKeptPoints, Qt::CaseInsensitive) == 0)
                continue;
            qint64 copied = 0;
            try {
                copied = copyKeepingStatistics(from, to, table);
            } catch (const DbException &e) {
                if (e.kind() != DbErrorKind::Failure)
                    throw;
                failWith(QStringLiteral("复制表 %1 失败: %2").arg(table, e.description()));
            }
            check(from, to, table, copied);
            report << QStringLiteral("%1\t%2").arg(table).arg(copied);
        }
        checkTotals(from, to);
        transaction.commit();
    } catch (...) {
        from.rollback();
        throw;
    }
    from.rollback();
    // On a server, every ticket copied rewrote a row of the kept tables and
    // left the old one behind: written afresh they are a fraction of the size,
    // and every statistic reads them. The copy is whole already; a seat that
    // keeps a table busy leaves it as it is.
    if (to.isServer()) {
        for (const QString &kept : kKeptStatistics + QStringList{kKeptPoints}) {
            try {
                to.executeScript(QStringLiteral("VACUUM FULL ") + kept);
            } catch (const DbException &e) {
                qWarning("%s was not compacted: %s", qPrintable(kept), qPrintable(e.description()));
            }
        }
    }
    to.executeScript(QStringLiteral("ANALYZE"));
    return report;
}

QStringList copyToNewFile(Connection &source, const QString &target, bool backup)
{
    QStringList report;
    writeWholeFile(target, [&](const QString &temp) {
        DatabaseCreator::createMarkedFile(temp);
        Connection file;
        file.openLocation(temp);
        report = copyInto(source, file);
        // A backup is a plain file of its own, readable without a journal beside it.
        if (backup)
            file.executeScript(QStringLiteral("PRAGMA journal_mode=DELETE"));
    });
    return report;
}

} // namespace

// Passwords do not move between engines (a file keeps hashes, a server its
// roles'): each operator of the copy gets one from whoever administers it.
static QStringList withoutPasswords(Connection &target, const QString &location)
{
    QStringList lines;
    Statement names = target.prepare(QStringLiteral("select czy_name from czyzd order by czy_no"));
    while (names.next())
        lines << QStringLiteral("operator %1 has no password yet: torvane --reset-password %1 --database %2")
                     .arg(names.value(0).toString(), location);
    return lines;
}

QStringList ArchiveCopy::copy(const QString &from, const QString &to)
{
    if (from == to)
        failWith(QStringLiteral("源和目标是同一个数据库“%1”").arg(from));
    Connection source;
    source.openLocation(from);
    if (!Engine::isServerLocation(to)) {
        if (QFileInfo::exists(to))
            failWith(QStringLiteral("文件“%1”已存在，不覆盖").arg(to));
        QStringList report = copyToNewFile(source, to, false);
        if (source.isServer()) {
            Connection target;
            target.openLocation(to);
            report << withoutPasswords(target, to);
        }
        return report;
    }
    Connection target;
    target.adopt(std::make_unique<PgEngine>(to, PgEngine::Purpose::Create));
    return copyInto(source, target) << withoutPasswords(target, Connection::shownLocation(to));
}

void ArchiveCopy::toNewFile(Connection &source, const QString &target)
{
    copyToNewFile(source, target, true);
}

QStringList ArchiveCopy::replaceContent(Connection &target, const QString &from)
{
    Connection source;
    source.openLocation(from);
    return copyInto(source, target, true);
}
