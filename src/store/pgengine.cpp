#include "store/pgengine.h"

#include "store/archivecopy.h"
#include "store/connection.h"
#include "store/pgcatalog.h"
#include "store/pgdialect.h"
#include "store/pgstatement.h"
#include "store/schemaupgrade.h"
#include "store/sqlquote.h"

#include <libpq-fe.h>
#include <poll.h>

namespace {

// Each table's order of writing: the bookkeeping column, else the counter,
// else the key (a one-column key is SQLite's rowid alias; the statistics are
// read in key order). A view's is its id, the identity of the rows it lists
// (the archive's views that have one, like the customers' points, list a
// table's rows one for one). By name, or of every relation at once.
QByteArray rowOrderSql(const char *which)
{
    return QByteArray("SELECT c.relname, coalesce((SELECT a.attname FROM pg_attribute a WHERE a.attrelid = c.oid "
                      "AND a.attnum > 0 AND NOT a.attisdropped AND (a.attname = 'jet_rowid' OR a.attidentity <> '' "
                      "OR (c.relkind = 'v' AND a.attname = 'id')) "
                      "ORDER BY a.attname = 'jet_rowid' DESC LIMIT 1), "
                      "(SELECT string_agg(a.attname, ', ' ORDER BY k.n) FROM pg_constraint p, "
                      "unnest(p.conkey) WITH ORDINALITY k(attnum, n) JOIN pg_attribute a ON a.attnum = k.attnum "
                      "WHERE p.conrelid = c.oid AND p.contype = 'p' AND a.attrelid = c.oid), '') "
                      "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                      "WHERE n.nspname = 'public' AND c.relkind IN ('r', 'p', 'v')")
           + which;
}

} // namespace

PgEngine::PgEngine(const QString &uri, Purpose purpose, const FirstReads &firstReads)
    : m_sessions(uri), m_pipeline([this](bool waiting) { notifyWaiting(waiting); })
{
    // The session starts with the wait the connection will set: no round trip to change it.
    m_busyTimeout = Connection::defaultBusyTimeout();
    m_sessions.setLockTimeout(m_busyTimeout);
    m_sessions.connect(purpose != Purpose::LogIn);
    m_lockTimeout = m_sessions.startLockTimeout();
    m_catalog = std::make_unique<PgCatalog>(handle());
    checkArchive(purpose, firstReads);
}

PgEngine::~PgEngine()
{
    *m_alive = false;
}

void PgEngine::checkArchive(Purpose purpose, const FirstReads &firstReads)
{
    auto number = [this](const char *sql) {
        m_pipeline.count();
        const PgResult r{PQexec(handle(), sql)};
        if (pgFailed(r.get()))
            fail(r.get());
        return PQntuples(r.get()) > 0 ? QByteArray(PQgetvalue(r.get(), 0, 0)) : QByteArray();
    };
    auto refuse = [](const QString &text) { throw DbException(DbErrorCode::GeneralFailure, text); };
    if (purpose == Purpose::Create) {
        if (number("SHOW server_encoding") != "UTF8")
            refuse(QStringLiteral("数据库“%1”的字符集不是 UTF8，不能保存中文").arg(location()));
        if (number("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                   "WHERE n.nspname = 'public' AND c.relkind IN ('r', 'v', 'm', 'p', 'f')")
            != "0")
            refuse(QStringLiteral("数据库“%1”不是空的，不能在其中建立档案").arg(location()));
        return;
    }
    // Whatever an opening asks goes in one round trip, after the marker: the
    // relations' facts every statement is described and translated by, the
    // schema's question and the caller's first reads (answered from here when
    // they are asked).
    const PgBound columns{nullptr, {}, {}, PgCatalog::everyRelationSql()};
    const PgBound orders{nullptr, {}, {}, rowOrderSql(" ORDER BY 1")};
    for (const PgBound &read : {columns, orders, PgBound{nullptr, {}, {}, SchemaUpgrade::question(true).toUtf8()}})
        m_transaction.readAhead(read);
    for (const auto &[sql, values] : firstReads) {
        PgBound read{nullptr, std::vector<QByteArray>(static_cast<size_t>(values.size())),
                     std::vector<bool>(static_cast<size_t>(values.size())), sql.toUtf8()};
        for (size_t i = 0; i < read.values.size(); ++i)
            read.null[i] = !PgStatement::textOf(values.at(static_cast<qsizetype>(i)), read.values[i]);
        m_transaction.readAhead(std::move(read));
    }
    // An archive of ours carries our application id, as a file of ours does.
    const PgBound marker{nullptr, {}, {}, "SELECT prosrc FROM pg_proc WHERE oid = to_regprocedure('public.torvane_application_id()')"};
    const PgResult r = m_transaction.execute(handle(), PgTransaction::Sending::Read, &marker,
                                             [&marker](pg_conn *session) { return marker.send(session); });
    const QByteArray found = PQntuples(r.get()) > 0 ? QByteArray(PQgetvalue(r.get(), 0, 0)) : QByteArray();
    if (found.trimmed() != "SELECT " + QByteArray::number(kTorvaneApplicationId)) {
        m_transaction.dropAhead();
        refuse(QStringLiteral("数据库“%1”不是本系统的数据库").arg(location()));
    }
    if (const PgResult facts = m_transaction.takeAhead(columns))
        m_catalog->learnAll(facts.get());
    if (const PgResult known = m_transaction.takeAhead(orders)) {
        for (int i = 0; i < PQntuples(known.get()); ++i)
            m_rowOrder.insert(QString::fromUtf8(PQgetvalue(known.get(), i, 0)),
                              QString::fromUtf8(PQgetvalue(known.get(), i, 1)));
    }
}

void PgEngine::run(const QString &sql)
{
    m_transaction.sendPending(handle());
    m_transaction.dropAhead();
    if (!PQsendQuery(handle(), sql.toUtf8().constData()))
        throwPgConnectionLost(handle());
    const PgResult r = m_pipeline.collect(handle());
    if (pgFailed(r.get()))
        fail(r.get());
}

void PgEngine::ensureConnected()
{
    // An idle session hears nothing unless the server is ending it (restarted, or an
    // administrator's doing): it is opened again before anything is sent to it.
    const bool idle = !inTransaction();
    pollfd socket{PQsocket(handle()), POLLIN, 0};
    if (PQstatus(handle()) == CONNECTION_OK && !(idle && ::poll(&socket, 1, 0) > 0))
        return;
    // A transaction the server dropped is gone; the command that ran it fails
    // (its rollback clears the state), and the next one connects again.
    if (!idle || !m_sessions.reconnect())
        throwPgConnectionLost(handle());
    m_lockTimeout = m_sessions.startLockTimeout(); // the new session starts as the first one did
    m_transaction.forgetReads();
    m_statements.forgetAll(m_sessions.generation());
    m_catalog->forget();
    setLockTimeout();
}

const PgColumnFacts *PgEngine::columnFacts(unsigned table, int attribute)
{
    // A relation not known yet is asked for, a round trip of its own.
    if (table != 0 && !m_catalog->knows(table))
        m_pipeline.count();
    return m_catalog->column(table, attribute);
}

std::shared_ptr<PgPrepared> PgEngine::prepared(const QByteArray &sql)
{
    ensureConnected();
    return m_statements.prepared(handle(), m_sessions.generation(), sql);
}

QString PgEngine::rowOrderColumn(const QString &relation) const
{
    const auto known = m_rowOrder.constFind(relation);
    if (known != m_rowOrder.constEnd())
        return *known;
    const QByteArray name = relation.toUtf8();
    const char *values[] = {name.constData()};
    m_pipeline.count();
    const PgResult r{PQexecParams(handle(), rowOrderSql(" AND c.relname = $1").constData(), 1, nullptr, values, nullptr,
                                  nullptr, 0)};
    if (pgFailed(r.get()))
        return {};
    const QString column = PQntuples(r.get()) > 0 ? QString::fromUtf8(PQgetvalue(r.get(), 0, 1)) : QString();
    m_rowOrder.insert(relation, column);
    return column;
}

std::shared_ptr<PgPrepared> PgEngine::preparedOrNew(const QByteArray &sql)
{
    ensureConnected();
    return m_statements.preparedOrNew(m_sessions.generation(), sql);
}

std::shared_ptr<PgPrepared> PgEngine::preparedIfKept(const QByteArray &sql)
{
    std::shared_ptr<PgPrepared> statement = preparedOrNew(sql);
    return statement->parsed ? statement : nullptr;
}

QString PgEngine::translate(const QString &sql) const
{
    PgTranslation t = translateForPostgres(sql, [this](const QString &relation) { return rowOrderColumn(relation); });
    if (!t.longNames.isEmpty()) {
        if (m_longNames.size() > 64)
            m_longNames.clear();
        m_longNames.insert(t.sql, t.longNames);
    }
    return t.sql;
}

std::unique_ptr<StatementBackend> PgEngine::prepare(const QString &sql)
{
    m_statements.flushDiscarded(handle());
    return std::make_unique<PgStatement>(*this, sql);
}

std::unique_ptr<StatementBackend> PgEngine::prepareStreamed(const QString &sql)
{
    auto statement = std::make_unique<PgStatement>(*this, sql);
    statement->setStreamed();
    return statement;
}

void PgEngine::executeScript(const QString &sql)
{
    ensureConnected();
    run(sql);
}

void PgEngine::sendPending()
{
    m_transaction.sendPending(handle());
}

void PgEngine::readAgainAfterWrite(const QVariantList &values)
{
    std::vector<QByteArray> texts(static_cast<size_t>(values.size()));
    std::vector<bool> null(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        null[i] = !PgStatement::textOf(values.at(static_cast<qsizetype>(i)), texts[i]);
    m_transaction.readAgainAfterWrite(texts, null);
}

void PgEngine::begin()
{
    ensureConnected();
    // The lock is taken before the command's first statement, so a command
    // either runs whole or waits and says so; BEGIN and the lock go with that
    // statement, in its round trip.
    m_transaction.begin();
}

void PgEngine::beginSnapshot()
{
    ensureConnected();
    run(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
}

void PgEngine::commit()
{
    m_transaction.commit(handle());
}

void PgEngine::rollback() noexcept
{
    m_transaction.rollback(handle());
}

bool PgEngine::inTransaction() const
{
    return m_transaction.inTransaction(handle());
}

void PgEngine::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = std::max(0, milliseconds);
    m_sessions.setLockTimeout(m_busyTimeout);
    if (PQstatus(handle()) == CONNECTION_OK)
        setLockTimeout();
}

void PgEngine::setLockTimeout()
{
    // lock_timeout 0 would wait for ever; SQLite's 0 gives up at once.
    const int lockTimeout = std::max(1, m_busyTimeout);
    if (lockTimeout != m_lockTimeout) {
        run(QStringLiteral("SET lock_timeout = %1").arg(lockTimeout));
        m_lockTimeout = lockTimeout;
    }
}

qint64 PgEngine::identityOf(const Statement &row, int column) const
{
    return row.integer(column);
}

QVariant PgEngine::identityParameter(qint64 identity) const
{
    return identity;
}

QString PgEngine::sameValue(const QString &quotedColumn) const
{
    // Exact, nulls equal, a change of letter case counts (see jet_same).
    return QStringLiteral("jet_same(%1,?)").arg(quotedColumn);
}

bool PgEngine::canIdentifyRows(const QString &table)
{
    const QString key = rowOrderColumn(table.toLower());
    return m_catalog->isTable(table) && !key.isEmpty() && !key.contains(QLatin1Char(','));
}

qint64 PgEngine::counterValue(const QString &table)
{
    Statement s(prepare(QStringLiteral(
                    "SELECT coalesce(pg_sequence_last_value(pg_get_serial_sequence(c.relname::text, a.attname)::regclass), 0) "
                    "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_attribute a ON a.attrelid = c.oid "
                    "WHERE n.nspname = 'public' AND c.relname = $1 AND a.attidentity <> '' AND a.attname <> 'jet_rowid'")),
                QString());
    s.bind(1, table.toLower());
    return s.next() ? s.integer(0) : 0;
}

void PgEngine::raiseCounter(const QString &table, qint64 value)
{
    Statement column(prepare(QStringLiteral(
                         "SELECT a.attname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                         "JOIN pg_attribute a ON a.attrelid = c.oid WHERE n.nspname = 'public' AND c.relname = $1 "
                         "AND a.attidentity <> '' AND a.attname <> 'jet_rowid'")),
                     QString());
    column.bind(1, table.toLower());
    if (!column.next())
        return;
    const QString name = quoteIdentifier(QString::fromUtf8(column.bytes(0).toByteArray()));
    const QString relation = quoteIdentifier(table.toLower());
    // At least the highest number in use, so the next row never takes one of them.
    Statement raise(prepare(QStringLiteral("SELECT setval(pg_get_serial_sequence(%1, %2), greatest($1::bigint, m, 1), "
                                           "greatest($1::bigint, m) > 0) FROM (SELECT coalesce(max(%3), 0) AS m FROM %4) x")
                                .arg(sqlQuote(relation), sqlQuote(QString(name).remove(QLatin1Char('"'))), name, relation)),
                    QString());
    raise.bind(1, value);
    raise.run();
}

void PgEngine::copyToFile(const QString &target)
{
    // A connection of its own reads one moment of the archive, whatever this one has pending.
    Connection reader;
    reader.adopt(std::make_unique<PgEngine>(m_sessions.uri()));
    ArchiveCopy::toNewFile(reader, target);
}
