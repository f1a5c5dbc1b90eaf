#pragma once

#include "store/dberror.h"
#include "store/pgresult.h"
#include "store/pgstatementcache.h"

#include <QHash>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct pg_conn;
class PgPipeline;

// What a write's count will be once the server has answered it.
using PgPendingCount = std::shared_ptr<std::optional<int>>;

// The main session's commands, sent in as few round trips as what they need
// allows. The engine decides what travels together from what it is given:
// - a command's BEGIN and write lock go with its first statement;
// - a write of a transaction whose count nobody has read waits for the
//   transaction's next statement or its commit;
// - a read that has followed another read with the same values before (a
//   customer's totals after the customer's tickets) is sent with it the next
//   time, and its answer kept for the very next statement alone.
// Commands of several statements hold one write lock of the archive from
// their start (an advisory lock), as SQLite's BEGIN IMMEDIATE does; a single
// write outside them shares it, so it waits for such a command and never
// lands in the middle of one.
class PgTransaction
{
public:
    PgTransaction(PgPipeline &pipeline, PgStatementCache &cache) : m_pipeline(pipeline), m_cache(cache) {}
    ~PgTransaction() { forgetReads(); }

    enum class Sending { Read, Write, Control };
    // Runs one statement that `send` queues on the session and returns its
    // answer; throws its failure. `bound` names a prepared statement with its
    // values (null for a text run once), so a read can be answered from what
    // came ahead or take its follower along. `send` empty: only what waits.
    PgResult execute(pg_conn *session, Sending what, const PgBound *bound, const std::function<bool(pg_conn *)> &send);
    // Keeps a write of the open transaction for its next statement or its
    // commit; its count is known once it has been sent.
    // `unmet`: the statement must find or change a row (see jet_require), else
    // the transaction fails with it.
    PgPendingCount sendLater(PgBound write, std::optional<DbException> unmet = std::nullopt);
    // Sends now whatever waits to go ahead of the next statement; throws its failure.
    void sendPending(pg_conn *session);

    void begin() { m_beginPending = true; }
    void commit(pg_conn *session);
    void rollback(pg_conn *session) noexcept;
    bool inTransaction(const pg_conn *session) const;
    // A session opened again knows nothing of what was prepared or learnt before.
    void forgetReads();

private:
    struct Later
    {
        PgBound write;
        PgPendingCount count;
        std::optional<DbException> unmet;
    };
    struct Follower
    {
        std::shared_ptr<PgPrepared> read;
        int misses = 0;
    };
    std::optional<PgBound> followerOf(const PgBound &read);
    void learn(const PgBound *read);
    void dropAnswerAhead(bool wasWanted);
    void dropLater();

    PgPipeline &m_pipeline;
    PgStatementCache &m_cache;
    bool m_beginPending = false; // begun, BEGIN not sent yet
    std::vector<Later> m_later;  // writes of the transaction not sent yet
    std::optional<PgBound> m_lastRead; // the last thing sent, when it was a prepared read outside a transaction
    QHash<QByteArray, Follower> m_followers; // by the text of the read they follow
    PgBound m_answeredAhead;                 // what m_answerAhead answers
    QByteArray m_aheadOf;                    // the read it went with
    PgResult m_answerAhead;
};
