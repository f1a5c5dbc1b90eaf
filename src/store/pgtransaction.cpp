#include "store/pgtransaction.h"

#include "store/connection.h"
#include "store/dberror.h"
#include "store/pgpipeline.h"

#include <libpq-fe.h>

namespace {

// The archive's write lock (pg_advisory_xact_lock): the application id is as good a number as any.
const QByteArray kLock = QByteArray::number(kTorvaneApplicationId);
// A command holds the archive's write lock alone; a single write shares it.
const QByteArray kTakeLock = "SELECT pg_advisory_xact_lock(" + kLock + ")";
const QByteArray kShareLock = "SELECT pg_advisory_xact_lock_shared(" + kLock + ")";

// A read that followed another this many times in a row without being asked for is forgotten.
constexpr int kMostMisses = 3;

bool sendText(pg_conn *session, const QByteArray &sql)
{
    return PQsendQueryParams(session, sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 0;
}

} // namespace

PgResult PgTransaction::execute(pg_conn *session, Sending what, const PgBound *bound,
                                const std::function<bool(pg_conn *)> &send)
{
    // What it follows, and the reads made one after the other, are learnt from what was answered.
    const bool plainRead = what == Sending::Read && bound && !inTransaction(session);
    PgResult r;
    try {
        r = run(session, what, bound, send);
    } catch (...) {
        learn(nullptr);
        throw;
    }
    if (plainRead) {
        learn(bound->prepared && bound->prepared->parsed ? bound : nullptr);
        noteRun(*bound);
    } else {
        learn(nullptr);
    }
    return r;
}

PgResult PgTransaction::run(pg_conn *session, Sending what, const PgBound *bound,
                            const std::function<bool(pg_conn *)> &send)
{
    const bool read = what == Sending::Read && bound;
    // This read went ahead with an earlier statement: its answer is here already.
    if (read) {
        if (PgResult answer = takeAhead(*bound)) {
            learn(nullptr);
            return answer;
        }
    }
    dropAnswersAhead(false);
    // The caller reads it now: it need not go after anything.
    if (read) {
        for (std::vector<PgBound> *waiting : {&m_announced, &m_again})
            for (auto r = waiting->begin(); r != waiting->end();)
                if (r->sameAs(*bound)) {
                    m_cache.release(r->prepared);
                    r = waiting->erase(r);
                } else {
                    ++r;
                }
    }
    const bool endsOutside = what == Sending::Control ? m_committing : !inTransaction(session);
    // Writes that wait for a read go ahead of one outside a transaction; before anything else, alone.
    const bool plainRead = read && endsOutside;
    if (!m_soon.empty() && !plainRead)
        sendSoonAlone(session);
    QByteArrayList locks;
    if (std::exchange(m_beginPending, false))
        locks = {"BEGIN", kTakeLock};
    else if (what == Sending::Write && !inTransaction(session))
        locks = {kShareLock};
    // A read goes ahead only with a read outside a transaction: nothing written
    // comes between the two, and its failure can spoil no transaction.
    std::optional<PgBound> readAfter = plainRead && bound->prepared ? followerOf(*bound) : std::nullopt;
    std::vector<Later> soon = std::exchange(m_soon, {});
    std::vector<Later> later = std::exchange(m_later, {});
    // What goes after the statement, once it has ended outside a transaction.
    std::vector<PgBound> after;
    if (endsOutside) {
        after = std::exchange(m_announced, {});
        if (what == Sending::Write || m_committing)
            for (PgBound &r : std::exchange(m_again, {}))
                after.push_back(std::move(r));
    }
    // Answers: the writes sent soon (each with its lock), the locks, the writes
    // sent later, the statement, its follower; then the reads after.
    const size_t first = 2 * soon.size();
    const size_t ahead = first + static_cast<size_t>(locks.size()) + later.size();
    const size_t own = bound ? bound->answers() : 1;
    const size_t mine = ahead + (send ? own : 0) + (readAfter ? 1 : 0);
    PgResult r;
    if (ahead == 0 && !readAfter && after.empty() && own == 1) {
        if (!send(session))
            throwPgConnectionLost(session);
        r = m_pipeline.collect(session);
    } else {
        std::vector<PgResult> answers = m_pipeline.run(session, [&] {
            if (!sendSoon(session, soon) || (!soon.empty() && !m_pipeline.sync(session)))
                return false;
            for (const QByteArray &sql : std::as_const(locks))
                if (!sendText(session, sql))
                    return false;
            for (const Later &w : later)
                if (!w.write.send(session))
                    return false;
            if ((send && !send(session)) || (readAfter && !readAfter->send(session)))
                return false;
            if (after.empty())
                return true;
            if (!m_pipeline.sync(session))
                return false;
            for (const PgBound &a : after)
                if (!a.send(session))
                    return false;
            return true;
        });
        const bool whole = answers.size() == mine + after.size();
        // The reads after ran in a transaction of their own: kept when answered.
        for (size_t i = 0; i < after.size(); ++i) {
            pg_result *answer = whole ? answers[mine + i].get() : nullptr;
            if (answer && PQresultStatus(answer) == PGRES_TUPLES_OK)
                m_ahead.push_back({std::move(after[i]), std::move(answers[mine + i]), {}});
            else
                m_cache.release(after[i].prepared);
        }
        if (whole)
            answers.resize(mine);
        const pg_result *soonFailure = soonFailed(soon, answers);
        std::optional<DbException> unmet;
        for (size_t i = 0; i < later.size(); ++i) {
            const size_t at = first + static_cast<size_t>(locks.size()) + i;
            pg_result *answer = at < answers.size() ? answers[at].get() : nullptr;
            if (answer && PQresultStatus(answer) == PGRES_COMMAND_OK)
                *later[i].count = std::atoi(PQcmdTuples(answer));
            // A statement that had to find a row found none: the command fails as its caller said.
            if (answer && later[i].unmet && !unmet && PQresultStatus(answer) == PGRES_FATAL_ERROR
                && qstrcmp(PQresultErrorField(answer, PG_DIAG_SQLSTATE), "TV001") == 0)
                unmet = later[i].unmet;
            m_cache.release(later[i].write.prepared);
        }
        // A write sent soon failed: the read it went with fails with its failure.
        if (soonFailure) {
            if (readAfter)
                m_cache.release(readAfter->prepared);
            throwPgFailure(soonFailure, session);
        }
        if (unmet) {
            if (readAfter)
                m_cache.release(readAfter->prepared);
            throw *unmet;
        }
        // Kept when it was answered; a failed one is left for the read itself to meet.
        if (readAfter) {
            if (whole && PQresultStatus(answers.back().get()) == PGRES_TUPLES_OK) {
                m_ahead.push_back({std::move(*readAfter), std::move(answers.back()), bound->prepared->sql});
            } else {
                m_cache.release(readAfter->prepared);
            }
            if (whole)
                answers.pop_back();
        }
        // Parsed with this run: described, and kept for the next run of the same text.
        if (send && own == 3 && whole && PQresultStatus(answers[ahead + 1].get()) == PGRES_COMMAND_OK) {
            bound->prepared->description = std::move(answers[ahead + 1]);
            bound->prepared->parsed = true;
            m_cache.keep(bound->prepared);
        }
        // The statement's answer comes last, unless something ahead of it failed (a lock
        // refused, a write sent later): a command's transaction is then left for its rollback.
        std::vector<PgResult> mineOnly;
        for (size_t i = first; i < answers.size(); ++i)
            if (answers[i])
                mineOnly.push_back(std::move(answers[i]));
        r = mineOnly.empty() ? PgResult() : PgPipeline::keepOne(mineOnly, mineOnly.size() - 1);
        if (!r)
            throwPgConnectionLost(session);
    }
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throwPgFailure(r.get(), session);
    return r;
}

PgResult PgTransaction::takeAhead(const PgBound &read)
{
    for (auto a = m_ahead.begin(); a != m_ahead.end(); ++a) {
        if (!a->read.sameAs(read))
            continue;
        if (const auto f = m_followers.find(a->follows); !a->follows.isEmpty() && f != m_followers.end())
            f->misses = 0;
        PgResult answer = std::move(a->answer);
        m_cache.release(a->read.prepared);
        m_ahead.erase(a);
        return answer;
    }
    return {};
}

void PgTransaction::noteRun(const PgBound &read)
{
    if (!read.prepared || read.values.empty())
        return;
    if (!m_run.empty() && (m_run.front().values != read.values || m_run.front().null != read.null))
        release(m_run);
    for (const PgBound &r : m_run)
        if (r.prepared->sql == read.prepared->sql)
            return;
    if (m_run.size() < 4)
        m_run.push_back(read);
}

bool PgTransaction::sendSoon(pg_conn *session, const std::vector<Later> &soon)
{
    // Each in a transaction of its own, so one that may fail spoils no other.
    for (size_t i = 0; i < soon.size(); ++i)
        if ((i > 0 && !m_pipeline.sync(session)) || !sendText(session, kShareLock) || !soon[i].write.send(session))
            return false;
    return true;
}

const pg_result *PgTransaction::soonFailed(std::vector<Later> &soon, const std::vector<PgResult> &answers)
{
    const pg_result *failure = nullptr;
    for (size_t i = 0; i < soon.size(); ++i) {
        m_cache.release(soon[i].write.prepared);
        for (size_t at : {2 * i, 2 * i + 1}) {
            const pg_result *answer = at < answers.size() ? answers[at].get() : nullptr;
            if (!answer || !pgFailed(answer))
                continue;
            if (!soon[i].mayFail && !failure)
                failure = answer;
            else if (soon[i].mayFail)
                qWarning("Torvane: a write sent with a later statement failed: %s", PQresultErrorMessage(answer));
            break;
        }
    }
    return failure;
}

void PgTransaction::sendSoonAlone(pg_conn *session)
{
    std::vector<Later> soon = std::exchange(m_soon, {});
    if (soon.empty())
        return;
    const std::vector<PgResult> answers = m_pipeline.run(session, [&] { return sendSoon(session, soon); });
    if (const pg_result *failure = soonFailed(soon, answers))
        throwPgFailure(failure, session);
}

void PgTransaction::release(std::vector<PgBound> &reads)
{
    for (PgBound &r : reads)
        m_cache.release(r.prepared);
    reads.clear();
}

std::optional<PgBound> PgTransaction::followerOf(const PgBound &read)
{
    const auto f = m_followers.constFind(read.prepared->sql);
    if (f == m_followers.constEnd() || f->read->generation != read.prepared->generation)
        return std::nullopt;
    return PgBound{f->read, read.values, read.null, {}};
}

void PgTransaction::learn(const PgBound *read)
{
    // The same values read by another statement right after: that one follows this one.
    if (read && m_lastRead && m_lastRead->values == read->values && m_lastRead->null == read->null
        && m_lastRead->prepared->sql != read->prepared->sql
        && PQnparams(read->prepared->description.get()) == static_cast<int>(read->values.size())) {
        Follower &f = m_followers[m_lastRead->prepared->sql];
        if (!f.read || f.read->sql != read->prepared->sql) {
            m_cache.release(f.read);
            f = {read->prepared, 0};
        }
    }
    if (m_lastRead)
        m_cache.release(m_lastRead->prepared);
    m_lastRead.reset();
    if (read)
        m_lastRead = *read;
}

PgPendingCount PgTransaction::sendLater(PgBound write, std::optional<DbException> unmet)
{
    // What came ahead was read before this write.
    dropAnswersAhead(false);
    auto count = std::make_shared<std::optional<int>>();
    m_later.push_back({std::move(write), count, std::move(unmet)});
    return count;
}

void PgTransaction::sendSoon(PgBound write, bool mayFail)
{
    dropAnswersAhead(false);
    m_soon.push_back({std::move(write), std::make_shared<std::optional<int>>(), std::nullopt, mayFail});
}

void PgTransaction::readAhead(PgBound read)
{
    m_announced.push_back(std::move(read));
}

std::vector<PgBound> PgTransaction::takeAnnounced()
{
    if (m_beginPending || !m_later.empty())
        return {};
    return std::exchange(m_announced, {});
}

void PgTransaction::keepAhead(PgBound read, PgResult answer)
{
    if (answer && PQresultStatus(answer.get()) == PGRES_TUPLES_OK)
        m_ahead.push_back({std::move(read), std::move(answer), {}});
    else
        m_cache.release(read.prepared);
}

void PgTransaction::readAgainAfterWrite(const std::vector<QByteArray> &values, const std::vector<bool> &null)
{
    release(m_again);
    if (m_run.empty() || m_run.front().values != values || m_run.front().null != null)
        return;
    m_again = m_run;
}

void PgTransaction::sendPending(pg_conn *session)
{
    if (m_soon.empty() && !m_beginPending && m_later.empty())
        return;
    dropAnswersAhead(false);
    learn(nullptr);
    sendSoonAlone(session);
    if (m_beginPending || !m_later.empty())
        execute(session, Sending::Control, nullptr, {});
}

void PgTransaction::begin()
{
    // A command's reads see the archive from its lock on, not what came ahead before it.
    dropAnswersAhead(false);
    m_beginPending = true;
}

void PgTransaction::commit(pg_conn *session)
{
    // Nothing of the command was sent: there is nothing to commit.
    if (m_later.empty() && std::exchange(m_beginPending, false))
        return;
    // Writes sent later go with it, in its round trip; reads to make again go after it.
    m_committing = true;
    PgResult r;
    try {
        r = execute(session, Sending::Control, nullptr, [](pg_conn *s) { return sendText(s, "COMMIT"); });
    } catch (...) {
        m_committing = false;
        throw;
    }
    m_committing = false;
    // A transaction that failed earlier is rolled back by COMMIT: that is no success.
    if (qstrcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("事务中有语句失败，所有更改已撤消"));
}

void PgTransaction::rollback(pg_conn *session) noexcept
{
    dropLater();
    dropAnswersAhead(false);
    release(m_announced);
    release(m_again);
    learn(nullptr);
    if (std::exchange(m_beginPending, false))
        return;
    const PGTransactionStatusType status = PQtransactionStatus(session);
    if (status == PQTRANS_INTRANS || status == PQTRANS_INERROR) {
        m_pipeline.count();
        PgResult{PQexec(session, "ROLLBACK")};
    }
}

bool PgTransaction::inTransaction(const pg_conn *session) const
{
    if (m_beginPending)
        return true;
    const PGTransactionStatusType status = PQtransactionStatus(session);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

void PgTransaction::forgetReads()
{
    dropAnswersAhead(true);
    learn(nullptr);
    release(m_announced);
    release(m_again);
    release(m_run);
    for (Follower &f : m_followers)
        m_cache.release(f.read);
    m_followers.clear();
}

void PgTransaction::dropAnswersAhead(bool wasWanted)
{
    for (Ahead &a : m_ahead) {
        // Sent along and not asked for next: after a few of those in a row it is no longer sent.
        const auto f = a.follows.isEmpty() ? m_followers.end() : m_followers.find(a.follows);
        if (!wasWanted && f != m_followers.end() && ++f->misses >= kMostMisses) {
            m_cache.release(f->read);
            m_followers.erase(f);
        }
        a.answer.reset();
        m_cache.release(a.read.prepared);
    }
    m_ahead.clear();
}

void PgTransaction::dropLater()
{
    for (Later &w : m_later)
        m_cache.release(w.write.prepared);
    m_later.clear();
}
