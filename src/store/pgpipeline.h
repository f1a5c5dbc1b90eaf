#pragma once

#include "store/pgresult.h"

#include <QElapsedTimer>
#include <functional>
#include <vector>

struct pg_conn;
struct pg_result;

// Whether a server's answer is a failure.
bool pgFailed(const pg_result *result);
// What libpq last said of a session, for the support log.
QString pgSessionMessage(const pg_conn *session);
// Throws the failure a result reports (a lost session as such).
[[noreturn]] void throwPgFailure(const pg_result *result, const pg_conn *session);
// Throws the lost connection, once its cause is in the support log.
[[noreturn]] void throwPgConnectionLost(const pg_conn *session);

// Sends statements to a session and collects what the server answers, a round
// trip at a time, telling an observer while a lock of another seat is waited
// for. It counts its round trips, so a command's cost on a network can be read.
class PgPipeline
{
public:
    explicit PgPipeline(std::function<void(bool waiting)> waiting) : m_waiting(std::move(waiting)) {}

    // What the server answered to the one query just sent: the first failure,
    // else the last answer. Throws when the session breaks.
    PgResult collect(pg_conn *session);
    // Sends what `send` queues on a session as one pipeline ending in a sync
    // and collects every answer up to it (an aborted one where an earlier
    // failed): several statements, one round trip. Statements queued without a
    // BEGIN run as one transaction, committed at the sync or, if any fails, not
    // at all; `send` may end such a transaction earlier with sync(), and what
    // follows runs in one of its own. Throws when the session breaks.
    // `owed`: syncs sent before on the session whose answers come first; they are dropped.
    std::vector<PgResult> run(pg_conn *session, const std::function<bool()> &send, int owed = 0);
    // Inside run()'s `send`: what was queued so far is one transaction, what follows another.
    bool sync(pg_conn *session);
    // Of a pipeline's answers, the first failure, else the one at `wanted`
    // (null when there is none); the others are freed.
    static PgResult keepOne(std::vector<PgResult> &answers, size_t wanted);

    // Round trips made so far (a query and its answers, or a pipeline and its sync).
    quint64 roundTrips() const { return m_roundTrips; }
    // A round trip made outside this pipeline (a statement run directly on a session).
    void count() const { ++m_roundTrips; }

private:
    // Waits for a session's answer, saying so after a moment; false when the session broke.
    bool waitForAnswer(pg_conn *session, QElapsedTimer &clock, bool &waiting);

    std::function<void(bool)> m_waiting;
    mutable quint64 m_roundTrips = 0;
    int m_syncs = 0; // queued by the pipeline being sent
};
