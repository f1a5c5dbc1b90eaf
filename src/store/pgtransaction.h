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
// - a write outside any transaction that nobody waits for (a log row) goes
//   ahead of the next read, in a transaction of its own;
// - a read that has followed another read with the same values before (a
//   customer's totals after the customer's tickets) is sent with it the next
//   time;
// - a read the caller says it makes next, and the reads made again after a
//   write, go after the statement that ends outside a transaction (a read, a
//   single write, a commit), in a transaction of their own, so their failure
//   can undo nothing.
// Answers that came ahead serve the reads that ask for them until the next
// round trip, a command's start or a write; then they are dropped unread.
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
    // answer; throws its failure. `bound` names the statement with its values
    // (prepared, or a text run once), so a read can be answered from what came
    // ahead or take its follower along. `send` empty: only what waits.
    PgResult execute(pg_conn *session, Sending what, const PgBound *bound, const std::function<bool(pg_conn *)> &send);
    // Keeps a write of the open transaction for its next statement or its
    // commit; its count is known once it has been sent.
    // `unmet`: the statement must find or change a row (see jet_require), else
    // the transaction fails with it.
    PgPendingCount sendLater(PgBound write, std::optional<DbException> unmet = std::nullopt);
    // A write outside a transaction whose count nobody reads: it goes ahead of
    // the next read (its failure thrown there, unless it `mayFail`: then only
    // logged), else alone before any other statement.
    void sendSoon(PgBound write, bool mayFail);
    // Sends the writes sent soon now, alone; throws a failure of one that may not fail.
    void sendSoonAlone(pg_conn *session);
    // The read the caller makes next: sent after the next statement that ends
    // outside a transaction, and answered from there.
    void readAhead(PgBound read);
    // The reads announced so far, for a read in parts that opens on another
    // session now to take along (nothing while a transaction is open): their
    // answers are then given back to keepAhead as if they had come ahead here.
    std::vector<PgBound> takeAnnounced();
    void keepAhead(PgBound read, PgResult answer);
    // The reads last made with these values (one after the other, outside a
    // transaction) are made again after the next single write or commit.
    void readAgainAfterWrite(const std::vector<QByteArray> &values, const std::vector<bool> &null);
    // Sends now whatever waits to go ahead of the next statement; throws its failure.
    void sendPending(pg_conn *session);
    // Answers that came ahead are not to serve a read any more (something else was run).
    void dropAhead() { dropAnswersAhead(false); }
    // The answer of a read that came ahead, taken for its reader; null when there is none.
    PgResult takeAhead(const PgBound &read);

    void begin();
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
        bool mayFail = false;
    };
    struct Follower
    {
        std::shared_ptr<PgPrepared> read;
        int misses = 0;
    };
    struct Ahead
    {
        PgBound read;
        PgResult answer;
        QByteArray follows; // the read it went with as its follower; empty when asked for
    };
    PgResult run(pg_conn *session, Sending what, const PgBound *bound, const std::function<bool(pg_conn *)> &send);
    std::optional<PgBound> followerOf(const PgBound &read);
    void learn(const PgBound *read);
    void dropAnswersAhead(bool wasWanted);
    void noteRun(const PgBound &read);
    bool sendSoon(pg_conn *session, const std::vector<Later> &soon);
    const pg_result *soonFailed(std::vector<Later> &soon, const std::vector<PgResult> &answers);
    void release(std::vector<PgBound> &reads);
    void dropLater();

    PgPipeline &m_pipeline;
    PgStatementCache &m_cache;
    bool m_beginPending = false; // begun, BEGIN not sent yet
    bool m_committing = false;
    std::vector<Later> m_later;  // writes of the transaction not sent yet
    std::vector<Later> m_soon;   // writes outside a transaction not sent yet
    std::optional<PgBound> m_lastRead; // the last thing sent, when it was a prepared read outside a transaction
    QHash<QByteArray, Follower> m_followers; // by the text of the read they follow
    std::vector<Ahead> m_ahead;              // answers that came ahead of their reads
    std::vector<PgBound> m_announced;        // reads to send after the next statement
    std::vector<PgBound> m_again;            // reads to send after the next write
    std::vector<PgBound> m_run;              // the last reads made one after the other with the same values
};
