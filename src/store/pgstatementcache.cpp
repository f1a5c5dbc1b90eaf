#include "store/pgstatementcache.h"

#include "store/pgpipeline.h"

#include <libpq-fe.h>

std::vector<const char *> PgBound::pointers(const std::vector<QByteArray> &values, const std::vector<bool> &null)
{
    std::vector<const char *> p(values.size());
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = null[i] ? nullptr : values[i].constData();
    return p;
}

bool PgBound::send(pg_conn *session) const
{
    const std::vector<const char *> p = pointers(values, null);
    if (prepared && !prepared->parsed
        && (!PQsendPrepare(session, prepared->name.constData(), prepared->sql.constData(), 0, nullptr)
            || !PQsendDescribePrepared(session, prepared->name.constData())))
        return false;
    if (!prepared)
        return PQsendQueryParams(session, text.constData(), static_cast<int>(p.size()), nullptr, p.data(), nullptr,
                                 nullptr, 0)
               != 0;
    return PQsendQueryPrepared(session, prepared->name.constData(), static_cast<int>(p.size()), p.data(), nullptr,
                               nullptr, 0)
           != 0;
}

std::shared_ptr<PgPrepared> PgStatementCache::prepared(pg_conn *session, int generation, const QByteArray &sql)
{
    std::shared_ptr<PgPrepared> statement = preparedOrNew(generation, sql);
    if (m_prepared.contains(sql))
        return statement;
    // Parse and describe in one round trip, not two.
    std::vector<PgResult> answers = m_pipeline.run(session, [&] {
        return PQsendPrepare(session, statement->name.constData(), sql.constData(), 0, nullptr)
               && PQsendDescribePrepared(session, statement->name.constData());
    });
    // The prepare's answer, then the description (or "aborted" after a failed prepare).
    PgResult description = PgPipeline::keepOne(answers, 1);
    if (!description)
        throwPgConnectionLost(session);
    if (pgFailed(description.get()))
        throwPgFailure(description.get(), session);
    statement->description = std::move(description);
    statement->parsed = true;
    // The texts the windows splice values into are many; the oldest go.
    m_prepared.insert(sql, statement);
    m_order << sql;
    while (m_order.size() > 200)
        forget(m_order.first());
    return statement;
}

std::shared_ptr<PgPrepared> PgStatementCache::preparedOrNew(int generation, const QByteArray &sql)
{
    if (generation != m_generation)
        forgetAll(generation);
    const auto known = m_prepared.constFind(sql);
    if (known != m_prepared.constEnd()) {
        m_order.removeOne(sql);
        m_order << sql;
        return *known;
    }
    auto statement = std::make_shared<PgPrepared>();
    statement->name = "jet_" + QByteArray::number(++m_statementNumber);
    statement->sql = sql;
    statement->generation = generation;
    statement->parsed = false;
    return statement;
}

void PgStatementCache::keep(const std::shared_ptr<PgPrepared> &statement)
{
    if (statement->generation != m_generation || m_prepared.contains(statement->sql))
        return;
    m_prepared.insert(statement->sql, statement);
    m_order << statement->sql;
    while (m_order.size() > 200)
        forget(m_order.first());
}

void PgStatementCache::forget(const QByteArray &sql)
{
    auto entry = m_prepared.take(sql);
    m_order.removeOne(sql);
    release(entry);
}

void PgStatementCache::release(std::shared_ptr<PgPrepared> &prepared)
{
    if (prepared && prepared.use_count() == 1 && prepared->generation == m_generation && prepared->parsed)
        m_discarded << prepared->name;
    prepared.reset();
}

void PgStatementCache::flushDiscarded(pg_conn *session)
{
    if (m_discarded.size() < 32 || PQstatus(session) != CONNECTION_OK || PQtransactionStatus(session) != PQTRANS_IDLE)
        return;
    QByteArray sql;
    for (const QByteArray &name : std::as_const(m_discarded))
        sql += "DEALLOCATE " + name + ";";
    m_discarded.clear();
    m_pipeline.count();
    PgResult{PQexec(session, sql.constData())};
}

void PgStatementCache::forgetAll(int generation)
{
    m_generation = generation;
    m_discarded.clear();
    m_prepared.clear();
    m_order.clear();
}
