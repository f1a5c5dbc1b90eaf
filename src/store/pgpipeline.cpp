#include "store/pgpipeline.h"

#include "store/dberror.h"

#include <libpq-fe.h>
#include <poll.h>
#include <utility>

bool pgFailed(const pg_result *result)
{
    const ExecStatusType s = PQresultStatus(result);
    return s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && s != PGRES_EMPTY_QUERY;
}

QString pgSessionMessage(const pg_conn *session)
{
    return QString::fromUtf8(PQerrorMessage(session)).trimmed();
}

void throwPgFailure(const pg_result *result, const pg_conn *session)
{
    const QByteArray state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    QString text = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
    const QString detail = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL));
    if (!detail.isEmpty())
        text += QStringLiteral(" (") + detail + QLatin1Char(')');
    if (text.isEmpty())
        text = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
    if (PQstatus(session) != CONNECTION_OK)
        throwPgConnectionLost(session);
    // Another seat's lock outlasted our wait, a deadlock, or a snapshot that
    // could not be kept: the command changed nothing and may be tried again.
    if (state == "55P03" || state == "40P01" || state == "40001")
        throw DbException::busy();
    if (state == "23505")
        throw DbException(DbErrorCode::GeneralFailure, text, DbErrorKind::Duplicate);
    throw DbException(DbErrorCode::GeneralFailure, text);
}

void throwPgConnectionLost(const pg_conn *session)
{
    // What libpq says (its own state words among it) is for the support log;
    // the operator is told what happened and what to do, once.
    qWarning("Torvane: the server connection was lost: %s", qUtf8Printable(pgSessionMessage(session)));
    throw DbException::connectionLost();
}

bool PgPipeline::waitForAnswer(pg_conn *session, QElapsedTimer &clock, bool &waiting)
{
    while (PQisBusy(session)) {
        pollfd socket{PQsocket(session), POLLIN, 0};
        ::poll(&socket, 1, 100);
        if (!PQconsumeInput(session))
            return false;
        // Another seat holds a lock we wait for (up to lock_timeout): the observer shows it.
        if (!waiting && clock.elapsed() >= 100 && PQisBusy(session)) {
            waiting = true;
            if (m_waiting)
                m_waiting(true);
        }
    }
    return true;
}

PgResult PgPipeline::collect(pg_conn *session)
{
    ++m_roundTrips;
    QElapsedTimer clock;
    clock.start();
    bool waiting = false;
    waitForAnswer(session, clock, waiting);
    PgResult kept;
    while (PgResult r{PQgetResult(session)}) {
        if (!kept || !pgFailed(kept.get()))
            kept = std::move(r);
    }
    if (waiting && m_waiting)
        m_waiting(false);
    if (!kept)
        throwPgConnectionLost(session);
    return kept;
}

std::vector<PgResult> PgPipeline::run(pg_conn *session, const std::function<bool()> &send, int owed)
{
    ++m_roundTrips;
    m_syncs = 0;
    if (!PQenterPipelineMode(session) || !send() || !sync(session)) {
        PQexitPipelineMode(session);
        throwPgConnectionLost(session);
    }
    int syncs = std::exchange(m_syncs, 0) + owed;
    QElapsedTimer clock;
    clock.start();
    bool waiting = false;
    std::vector<PgResult> answers;
    bool whole = false;
    // Each statement's answer is followed by a null; the last sync's answer ends the pipeline.
    while (waitForAnswer(session, clock, waiting) && PQstatus(session) == CONNECTION_OK) {
        PgResult r{PQgetResult(session)};
        if (!r)
            continue;
        if (PQresultStatus(r.get()) == PGRES_PIPELINE_SYNC) {
            if (owed > 0) {
                --owed;
                answers.clear();
            }
            if (--syncs > 0)
                continue;
            whole = true;
            break;
        }
        answers.push_back(std::move(r));
    }
    if (waiting && m_waiting)
        m_waiting(false);
    PQexitPipelineMode(session);
    if (!whole)
        throwPgConnectionLost(session);
    return answers;
}

bool PgPipeline::sync(pg_conn *session)
{
    ++m_syncs;
    return PQpipelineSync(session) != 0;
}

PgResult PgPipeline::keepOne(std::vector<PgResult> &answers, size_t wanted)
{
    size_t kept = wanted;
    for (size_t i = 0; i < answers.size(); ++i)
        if (pgFailed(answers[i].get())) {
            kept = i;
            break;
        }
    PgResult answer = kept < answers.size() ? std::move(answers[kept]) : PgResult();
    answers.clear();
    return answer;
}
