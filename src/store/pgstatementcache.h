#pragma once

#include "store/pgresult.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QList>
#include <memory>
#include <vector>

struct pg_conn;
class PgPipeline;

// A statement prepared on the server, with what it returns; shared by every
// statement of the same text while the session lasts.
struct PgPrepared
{
    QByteArray name;
    QByteArray sql;
    PgResult description;
    int generation = 0;
    bool parsed = true; // false: parsed and described on the server with its first run
    PgPrepared() = default;
    PgPrepared(const PgPrepared &) = delete;
    PgPrepared &operator=(const PgPrepared &) = delete;
};

// A prepared statement with the values bound to it, kept to be sent with
// another one: a write of a transaction, a read ahead.
struct PgBound
{
    std::shared_ptr<PgPrepared> prepared;
    std::vector<QByteArray> values;
    std::vector<bool> null;
    QByteArray text; // a statement not prepared: parsed and run with its values in one go
    // Queues it on a session (parsed and described first when it is not yet); false when the session is broken.
    bool send(pg_conn *session) const;
    // Answers it gives: the parse's and the description's before its own when it is not parsed yet.
    size_t answers() const { return prepared && !prepared->parsed ? 3 : 1; }
    const QByteArray &sql() const { return prepared ? prepared->sql : text; }
    // The same statement with the same values, prepared or not.
    bool sameAs(const PgBound &other) const
    {
        return !sql().isEmpty() && sql() == other.sql() && values == other.values && null == other.null;
    }
    // The values as libpq takes them (null for SQL NULL), valid while `values` lives.
    static std::vector<const char *> pointers(const std::vector<QByteArray> &values, const std::vector<bool> &null);
};

// The statements a session has prepared, by text: a text is parsed and
// described once, and the least recently used of many are dropped on the
// server in batches, never one round trip each.
class PgStatementCache
{
public:
    explicit PgStatementCache(PgPipeline &pipeline) : m_pipeline(pipeline) {}

    // The prepared statement for a text on the session of this generation: kept
    // from before, or prepared and described now in one round trip. Throws DbException.
    std::shared_ptr<PgPrepared> prepared(pg_conn *session, int generation, const QByteArray &sql);
    // The prepared statement kept for a text, else a new one that is parsed
    // and described with its first run, in the run's round trip (see keep()).
    std::shared_ptr<PgPrepared> preparedOrNew(int generation, const QByteArray &sql);
    // A new statement its first run parsed: kept for the texts that come again.
    void keep(const std::shared_ptr<PgPrepared> &statement);
    // A prepared statement its holder is done with; dropped on the server once nobody holds it.
    void release(std::shared_ptr<PgPrepared> &prepared);
    // Drops on the session what nobody holds any more, when there is enough of it.
    void flushDiscarded(pg_conn *session);
    // The session was opened again: nothing prepared before is there.
    void forgetAll(int generation);

private:
    void forget(const QByteArray &sql);

    PgPipeline &m_pipeline;
    int m_generation = 0;
    quint64 m_statementNumber = 0;
    QByteArrayList m_discarded;
    QHash<QByteArray, std::shared_ptr<PgPrepared>> m_prepared;
    QList<QByteArray> m_order; // least recently used first
};
