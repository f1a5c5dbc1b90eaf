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
    // This read went ahead with the last one: its answer is here already.
    if (what == Sending::Read && bound && m_answerAhead && bound->sameAs(m_answeredAhead)) {
        if (const auto f = m_followers.find(m_aheadOf); f != m_followers.end())
            f->misses = 0;
        PgResult answer = std::move(m_answerAhead);
        dropAnswerAhead(true);
        learn(nullptr);
        return answer;
    }
    dropAnswerAhead(false);
    QByteArrayList locks;
    if (std::exchange(m_beginPending, false))
        locks = {"BEGIN", kTakeLock};
    else if (what == Sending::Write && !inTransaction(session))
        locks = {kShareLock};
    // A read goes ahead only with a read outside a transaction: nothing written
    // comes between the two, and its failure can spoil no transaction.
    const bool plainRead = what == Sending::Read && bound && locks.isEmpty() && !inTransaction(session);
    std::optional<PgBound> readAfter = plainRead ? followerOf(*bound) : std::nullopt;
    learn(plainRead ? bound : nullptr);
    std::vector<Later> later = std::exchange(m_later, {});
    const size_t ahead = static_cast<size_t>(locks.size()) + later.size();
    PgResult r;
    if (ahead == 0 && !readAfter) {
        if (!send(session))
            throwPgConnectionLost(session);
        r = m_pipeline.collect(session);
    } else {
        std::vector<PgResult> answers = m_pipeline.run(session, [&] {
            for (const QByteArray &sql : std::as_const(locks))
                if (!sendText(session, sql))
                    return false;
            for (const Later &w : later)
                if (!w.write.send(session))
                    return false;
            return (!send || send(session)) && (!readAfter || readAfter->send(session));
        });
        std::optional<DbException> unmet;
        for (size_t i = 0; i < later.size(); ++i) {
            const size_t at = static_cast<size_t>(locks.size()) + i;
            pg_result *answer = at < answers.size() ? answers[at].get() : nullptr;
            if (answer && PQresultStatus(answer) == PGRES_COMMAND_OK)
                *later[i].count = std::atoi(PQcmdTuples(answer));
            // A statement that had to find a row found none: the command fails as its caller said.
            if (answer && later[i].unmet && !unmet && PQresultStatus(answer) == PGRES_FATAL_ERROR
                && qstrcmp(PQresultErrorField(answer, PG_DIAG_SQLSTATE), "TV001") == 0)
                unmet = later[i].unmet;
            m_cache.release(later[i].write.prepared);
        }
        if (unmet) {
            if (readAfter)
                m_cache.release(readAfter->prepared);
            throw *unmet;
        }
        // Kept when it was answered; a failed one is left for the read itself to meet.
        if (readAfter) {
            if (answers.size() == ahead + 2 && PQresultStatus(answers.back().get()) == PGRES_TUPLES_OK) {
                m_answerAhead = std::move(answers.back());
                m_answeredAhead = std::move(*readAfter);
                m_aheadOf = bound->prepared->sql;
            } else {
                m_cache.release(readAfter->prepared);
            }
            if (answers.size() == ahead + 2)
                answers.pop_back();
        }
        // The statement's answer comes last, unless something ahead of it failed (a lock
        // refused, a write sent later): a command's transaction is then left for its rollback.
        r = PgPipeline::keepOne(answers, send ? ahead : ahead - 1);
        if (!r)
            throwPgConnectionLost(session);
    }
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throwPgFailure(r.get(), session);
    return r;
}

std::optional<PgBound> PgTransaction::followerOf(const PgBound &read)
{
    const auto f = m_followers.constFind(read.prepared->sql);
    if (f == m_followers.constEnd() || f->read->generation != read.prepared->generation)
        return std::nullopt;
    return PgBound{f->read, read.values, read.null};
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
    auto count = std::make_shared<std::optional<int>>();
    m_later.push_back({std::move(write), count, std::move(unmet)});
    return count;
}

void PgTransaction::sendPending(pg_conn *session)
{
    dropAnswerAhead(false);
    learn(nullptr);
    if (m_beginPending || !m_later.empty())
        execute(session, Sending::Control, nullptr, {});
}

void PgTransaction::commit(pg_conn *session)
{
    // Nothing of the command was sent: there is nothing to commit.
    if (m_later.empty() && std::exchange(m_beginPending, false))
        return;
    // Writes sent later go with it, in its round trip.
    const PgResult r = execute(session, Sending::Control, nullptr, [](pg_conn *s) { return sendText(s, "COMMIT"); });
    // A transaction that failed earlier is rolled back by COMMIT: that is no success.
    if (qstrcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("事务中有语句失败，所有更改已撤消"));
}

void PgTransaction::rollback(pg_conn *session) noexcept
{
    dropLater();
    dropAnswerAhead(false);
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
    dropAnswerAhead(true);
    learn(nullptr);
    for (Follower &f : m_followers)
        m_cache.release(f.read);
    m_followers.clear();
}

void PgTransaction::dropAnswerAhead(bool wasWanted)
{
    // Sent along and not asked for next: after a few of those in a row it is no longer sent.
    if (m_answerAhead && !wasWanted) {
        const auto f = m_followers.find(m_aheadOf);
        if (f != m_followers.end() && ++f->misses >= kMostMisses) {
            m_cache.release(f->read);
            m_followers.erase(f);
        }
    }
    m_answerAhead.reset();
    m_cache.release(m_answeredAhead.prepared);
    m_answeredAhead = {};
    m_aheadOf.clear();
}

void PgTransaction::dropLater()
{
    for (Later &w : m_later)
        m_cache.release(w.write.prepared);
    m_later.clear();
}
