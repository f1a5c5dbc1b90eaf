#include "store/pgengine.h"

#include "store/archivecopy.h"
#include "store/connection.h"
#include "store/pgcatalog.h"
#include "store/pgdialect.h"
#include "store/pgstatement.h"
#include "store/sqlquote.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimeZone>
#include <libpq-fe.h>
#include <poll.h>

namespace {

// The archive's write lock (pg_advisory_xact_lock): the application id is as good a number as any.
const QByteArray kLock = QByteArray::number(kTorvaneApplicationId);
// A command holds the archive's write lock alone; a single write shares it.
const QByteArray kTakeLock = "SELECT pg_advisory_xact_lock(" + kLock + ")";
const QByteArray kShareLock = "SELECT pg_advisory_xact_lock_shared(" + kLock + ")";

// Passwords typed for a location this run, never written anywhere.
QHash<QString, QByteArray> &typedPasswords()
{
    static QHash<QString, QByteArray> passwords;
    return passwords;
}

[[noreturn]] void failWith(const QString &text)
{
    throw DbException(DbErrorCode::GeneralFailure, text);
}

bool failed(const PGresult *r)
{
    const ExecStatusType s = PQresultStatus(r);
    return s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && s != PGRES_EMPTY_QUERY;
}

QString messageOf(const pg_conn *conn)
{
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

} // namespace

PgEngine::PgEngine(const QString &uri, Purpose purpose) : m_uri(uri), m_location(withoutPassword(uri))
{
    connect(typedPasswords().value(m_location));
    // Asked only when libpq's own means (~/.pgpass, PGPASSWORD, a service file) gave none that worked.
    auto wantsPassword = [this] {
        return PQconnectionNeedsPassword(m_conn)
               || (PQconnectionUsedPassword(m_conn) && messageOf(m_conn).contains(QLatin1String("password"), Qt::CaseInsensitive));
    };
    for (int attempt = 0; attempt < 3 && PQstatus(m_conn) != CONNECTION_OK && wantsPassword(); ++attempt) {
        const QString typed = Connection::askPassword(m_location);
        if (typed.isEmpty())
            break;
        connect(typed.toUtf8());
        if (PQstatus(m_conn) == CONNECTION_OK)
            typedPasswords().insert(m_location, typed.toUtf8());
    }
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString why = messageOf(m_conn);
        PQfinish(m_conn);
        m_conn = nullptr;
        failWith(QStringLiteral("无法连接数据库服务器“%1”: %2").arg(m_location, why));
    }
    m_catalog = std::make_unique<PgCatalog>(m_conn);
    try {
        setUpSession();
        checkArchive(purpose);
    } catch (...) {
        PQfinish(m_conn);
        m_conn = nullptr;
        throw;
    }
}

PgEngine::~PgEngine()
{
    *m_alive = false;
    dropAnswerAhead();
    PQfinish(m_spare);
    PQfinish(m_conn);
}

QString PgEngine::withoutPassword(const QString &uri)
{
    static const QRegularExpression userInfo(QStringLiteral("^(postgres(?:ql)?://[^/@?:]*):[^/@?]*@"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression parameter(QStringLiteral("([?&])password=[^&]*(&|$)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString shown = uri;
    shown.replace(userInfo, QStringLiteral("\\1@"));
    shown.replace(parameter, QStringLiteral("\\1"));
    while (shown.endsWith(QLatin1Char('&')) || shown.endsWith(QLatin1Char('?')))
        shown.chop(1);
    return shown;
}

void PgEngine::rememberPassword(const QString &uri)
{
    static const QRegularExpression userInfo(QStringLiteral("^postgres(?:ql)?://[^/@?:]*:([^/@?]*)@"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression parameter(QStringLiteral("[?&]password=([^&]*)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch m = userInfo.match(uri);
    if (!m.hasMatch())
        m = parameter.match(uri);
    if (m.hasMatch())
        typedPasswords().insert(withoutPassword(uri), QByteArray::fromPercentEncoding(m.captured(1).toUtf8()));
}

void PgEngine::connect(const QByteArray &password)
{
    PQfinish(m_conn);
    m_conn = openSession(password);
    m_startLockTimeout = m_lockTimeout = std::max(1, m_busyTimeout);
}

pg_conn *PgEngine::takeSession()
{
    pg_conn *session = std::exchange(m_spare, nullptr);
    // The last read's rollback, answered meanwhile.
    while (PgResult r{session ? PQgetResult(session) : nullptr}) {
    }
    if (PQstatus(session) == CONNECTION_OK && PQtransactionStatus(session) == PQTRANS_IDLE)
        return session;
    PQfinish(session);
    session = openSession(typedPasswords().value(m_location));
    if (PQstatus(session) == CONNECTION_OK) {
        PQsetNoticeProcessor(session, [](void *, const char *) {}, nullptr);
        return session;
    }
    PQfinish(session);
    return nullptr;
}

void PgEngine::giveBack(pg_conn *session)
{
    // Idle, or busy ending its transaction.
    const PGTransactionStatusType status = PQtransactionStatus(session);
    if (!m_spare && PQstatus(session) == CONNECTION_OK && (status == PQTRANS_IDLE || status == PQTRANS_ACTIVE))
        m_spare = session;
    else
        PQfinish(session);
}

pg_conn *PgEngine::openSession(const QByteArray &password) const
{
    // The session is set up as it starts, without a round trip of its own: values arrive as
    // SQLite gives them (exact doubles, ISO dates, text literals where a backslash is a
    // backslash), and now() and date() give the seat's local time.
    QByteArray options = "-c client_min_messages=warning -c standard_conforming_strings=on -c extra_float_digits=3 "
                         "-c DateStyle=ISO,YMD -c search_path=public -c lock_timeout="
                         + QByteArray::number(std::max(1, m_busyTimeout));
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    static const QRegularExpression plainZone(QStringLiteral("^[A-Za-z0-9_+/-]+$"));
    const bool withZone = plainZone.match(QString::fromUtf8(zone)).hasMatch();
    pg_conn *session = nullptr;
    for (bool zoned : {withZone, false}) {
        PQfinish(session);
        const QByteArray all = zoned ? options + " -c TimeZone=" + zone : options;
        const QByteArray uri = m_uri.toUtf8();
        const char *keys[] = {"dbname", "fallback_application_name", "client_encoding", "connect_timeout", "options",
                              password.isEmpty() ? nullptr : "password", nullptr};
        const char *values[] = {uri.constData(), "Avelor", "UTF8", "10", all.constData(), password.constData(), nullptr};
        session = PQconnectdbParams(keys, values, 1);
        // A zone the server does not know: its own stays.
        if (!zoned || PQstatus(session) == CONNECTION_OK || !messageOf(session).contains(QLatin1String("TimeZone")))
            break;
    }
    return session;
}

void PgEngine::setUpSession()
{
    PQsetNoticeProcessor(m_conn, [](void *, const char *) {}, nullptr);
    if (m_lockTimeout != std::max(1, m_busyTimeout))
        setBusyTimeout(m_busyTimeout);
}

void PgEngine::checkArchive(Purpose purpose)
{
    auto number = [this](const char *sql) {
        const PgResult r{PQexec(m_conn, sql)};
        if (failed(r.get()))
            fail(r.get());
        return PQntuples(r.get()) > 0 ? QByteArray(PQgetvalue(r.get(), 0, 0)) : QByteArray();
    };
    if (purpose == Purpose::Create) {
        if (number("SHOW server_encoding") != "UTF8")
            failWith(QStringLiteral("数据库“%1”的字符集不是 UTF8，不能保存中文").arg(m_location));
        if (number("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                   "WHERE n.nspname = 'public' AND c.relkind IN ('r', 'v', 'm', 'p', 'f')")
            != "0")
            failWith(QStringLiteral("数据库“%1”不是空的，不能在其中建立档案").arg(m_location));
        return;
    }
    // An archive of ours carries our application id, as a file of ours does.
    const QByteArray marker = number("SELECT prosrc FROM pg_proc WHERE oid = to_regprocedure('public.torvane_application_id()')");
    if (marker.trimmed() != "SELECT " + kLock)
        failWith(QStringLiteral("数据库“%1”不是本系统的数据库").arg(m_location));
}

void PgEngine::run(const QString &sql)
{
    forgetReadAhead();
    sendPending();
    if (!PQsendQuery(m_conn, sql.toUtf8().constData()))
        failConnection();
    const PgResult r = collect();
    if (failed(r.get()))
        fail(r.get());
}

void PgEngine::ensureConnected()
{
    if (PQstatus(m_conn) == CONNECTION_OK)
        return;
    // A transaction the server dropped is gone; the command that ran it fails
    // (its rollback clears the state), and the next one connects again.
    if (inTransaction())
        failConnection();
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK)
        failConnection();
    ++m_generation;
    m_lockTimeout = m_startLockTimeout; // the new session starts with what the first one started with
    m_discarded.clear();
    forgetReadAhead();
    m_prepared.clear();
    m_preparedOrder.clear();
    m_catalog->forget();
    setUpSession();
}

bool PgEngine::waitForAnswer(pg_conn *session, QElapsedTimer &clock, bool &waiting)
{
    while (PQisBusy(session)) {
        pollfd socket{PQsocket(session), POLLIN, 0};
        ::poll(&socket, 1, 100);
        if (!PQconsumeInput(session))
            return false;
        // Another seat holds a lock we wait for (up to lock_timeout): the busy pointer shows it.
        if (!waiting && clock.elapsed() >= 100 && PQisBusy(session)) {
            waiting = true;
            notifyWaiting(true);
        }
    }
    return true;
}

PgResult PgEngine::collect()
{
    QElapsedTimer clock;
    clock.start();
    bool waiting = false;
    waitForAnswer(m_conn, clock, waiting);
    PgResult kept;
    while (PgResult r{PQgetResult(m_conn)}) {
        // The first failure tells what went wrong; otherwise the last answer is the one asked for.
        if (!kept || !failed(kept.get()))
            kept = std::move(r);
    }
    if (waiting)
        notifyWaiting(false);
    if (!kept)
        failConnection();
    return kept;
}

std::vector<PgResult> PgEngine::pipeline(pg_conn *session, const std::function<bool()> &send)
{
    if (!PQenterPipelineMode(session) || !send() || !PQpipelineSync(session)) {
        PQexitPipelineMode(session);
        failConnection();
    }
    QElapsedTimer clock;
    clock.start();
    bool waiting = false;
    std::vector<PgResult> answers;
    bool whole = false;
    // Each statement's answer is followed by a null; the sync's answer ends the pipeline.
    while (waitForAnswer(session, clock, waiting) && PQstatus(session) == CONNECTION_OK) {
        PgResult r{PQgetResult(session)};
        if (!r)
            continue;
        if (PQresultStatus(r.get()) == PGRES_PIPELINE_SYNC) {
            whole = true;
            break;
        }
        answers.push_back(std::move(r));
    }
    if (waiting)
        notifyWaiting(false);
    PQexitPipelineMode(session);
    if (!whole)
        failConnection();
    return answers;
}

PgResult PgEngine::keepOne(std::vector<PgResult> &answers, size_t wanted)
{
    size_t kept = wanted;
    for (size_t i = 0; i < answers.size(); ++i)
        if (failed(answers[i].get())) {
            kept = i;
            break;
        }
    PgResult answer = kept < answers.size() ? std::move(answers[kept]) : PgResult();
    answers.clear();
    return answer;
}

PgResult PgEngine::execute(Sending what, const std::function<bool(pg_conn *)> &send)
{
    dropAnswerAhead();
    std::optional<PgBound> readAfter = std::exchange(m_readAhead, std::nullopt);
    QByteArrayList locks;
    if (takePendingBegin())
        locks = {"BEGIN", kTakeLock};
    else if (what == Sending::Write && !inTransaction())
        locks = {kShareLock};
    // A read ahead goes only with a read outside a transaction: nothing written
    // comes between the two, and its failure can spoil no transaction.
    if (what != Sending::Read || !locks.isEmpty() || inTransaction())
        readAfter.reset();
    std::vector<PgBound> later = std::exchange(m_later, {});
    const size_t ahead = static_cast<size_t>(locks.size()) + later.size();
    auto sendPrepared = [this](const PgBound &s) {
        const std::vector<const char *> values = PgBound::pointers(s.values, s.null);
        return PQsendQueryPrepared(m_conn, s.prepared->name.constData(), static_cast<int>(values.size()),
                                   values.data(), nullptr, nullptr, 0) != 0;
    };
    PgResult r;
    if (ahead == 0 && !readAfter) {
        if (!send(m_conn))
            failConnection();
        r = collect();
    } else {
        std::vector<PgResult> answers = pipeline(m_conn, [&] {
            for (const QByteArray &sql : std::as_const(locks))
                if (!PQsendQueryParams(m_conn, sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0))
                    return false;
            for (const PgBound &w : later)
                if (!sendPrepared(w))
                    return false;
            return (!send || send(m_conn)) && (!readAfter || sendPrepared(*readAfter));
        });
        for (PgBound &w : later)
            release(w.prepared);
        // Kept when it was answered; a failed one is left for the read itself to meet.
        if (readAfter && answers.size() == ahead + 2) {
            PgResult answer = std::move(answers.back());
            answers.pop_back();
            if (PQresultStatus(answer.get()) == PGRES_TUPLES_OK) {
                m_answerAhead = std::move(answer);
                m_answeredAhead = std::move(*readAfter);
            }
        }
        // The statement's answer comes last, unless something ahead of it failed (a lock
        // refused, a write sent later): a command's transaction is then left for its rollback.
        r = keepOne(answers, send ? ahead : ahead - 1);
        if (!r)
            failConnection();
    }
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        fail(r.get());
    return r;
}

PgResult PgEngine::takeAnswerAhead(const PgPrepared *prepared, const std::vector<QByteArray> &values,
                                     const std::vector<bool> &null)
{
    const bool same = m_answerAhead && m_answeredAhead.prepared.get() == prepared && m_answeredAhead.values == values
                      && m_answeredAhead.null == null;
    PgResult answer = same ? std::move(m_answerAhead) : PgResult();
    dropAnswerAhead();
    return answer;
}

void PgEngine::forgetReadAhead()
{
    dropAnswerAhead();
    m_readAhead.reset();
}

void PgEngine::dropAnswerAhead()
{
    m_answerAhead.reset();
    release(m_answeredAhead.prepared);
    m_answeredAhead = {};
}

void PgEngine::sendPending()
{
    if (m_beginPending || !m_later.empty())
        execute(Sending::Control, {});
}

void PgEngine::dropLater()
{
    for (PgBound &w : m_later)
        release(w.prepared);
    m_later.clear();
}

void PgEngine::fail(const pg_result *result) const
{
    const QByteArray state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    QString text = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
    const QString detail = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL));
    if (!detail.isEmpty())
        text += QStringLiteral(" (") + detail + QLatin1Char(')');
    if (text.isEmpty())
        text = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
    if (PQstatus(m_conn) != CONNECTION_OK)
        failConnection();
    // Another seat's lock outlasted our wait, a deadlock, or a snapshot that
    // could not be kept: the command changed nothing and may be tried again.
    if (state == "55P03" || state == "40P01" || state == "40001")
        throw DbException::busy();
    if (state == "23505")
        throw DbException(DbErrorCode::GeneralFailure, text, DbErrorKind::Duplicate);
    failWith(text);
}

void PgEngine::failConnection() const
{
    // What libpq says (its own state words among it) is for the support log;
    // the operator is told what happened and what to do, once.
    qWarning("Torvane: the server connection was lost: %s", qUtf8Printable(messageOf(m_conn)));
    throw DbException::connectionLost();
}

const PgColumnFacts *PgEngine::columnFacts(unsigned table, int attribute)
{
    return m_catalog->column(table, attribute);
}

std::shared_ptr<PgPrepared> PgEngine::prepared(const QByteArray &sql)
{
    ensureConnected();
    const auto known = m_prepared.constFind(sql);
    if (known != m_prepared.constEnd() && (*known)->generation == m_generation) {
        m_preparedOrder.removeOne(sql);
        m_preparedOrder << sql;
        return *known;
    }
    forget(sql);
    auto statement = std::make_shared<PgPrepared>();
    statement->name = "jet_" + QByteArray::number(++m_statementNumber);
    statement->generation = m_generation;
    // Parse and describe in one round trip, not two.
    std::vector<PgResult> answers = pipeline(m_conn, [&] {
        return PQsendPrepare(m_conn, statement->name.constData(), sql.constData(), 0, nullptr)
               && PQsendDescribePrepared(m_conn, statement->name.constData());
    });
    // The prepare's answer, then the description (or "aborted" after a failed prepare).
    PgResult description = keepOne(answers, 1);
    if (!description)
        failConnection();
    if (failed(description.get()))
        fail(description.get());
    statement->description = std::move(description);
    // The texts the windows splice values into are many; the oldest go.
    m_prepared.insert(sql, statement);
    m_preparedOrder << sql;
    while (m_preparedOrder.size() > 200)
        forget(m_preparedOrder.first());
    return statement;
}

void PgEngine::forget(const QByteArray &sql)
{
    auto entry = m_prepared.take(sql);
    m_preparedOrder.removeOne(sql);
    release(entry);
}

void PgEngine::release(std::shared_ptr<PgPrepared> &prepared)
{
    if (prepared && prepared.use_count() == 1 && prepared->generation == m_generation)
        m_discarded << prepared->name;
    prepared.reset();
}

void PgEngine::flushDiscarded()
{
    // Prepared statements are dropped in batches, not one round trip each.
    if (m_discarded.size() < 32 || PQstatus(m_conn) != CONNECTION_OK
        || PQtransactionStatus(m_conn) == PQTRANS_INERROR)
        return;
    QByteArray sql;
    for (const QByteArray &name : std::as_const(m_discarded))
        sql += "DEALLOCATE " + name + ";";
    m_discarded.clear();
    PgResult{PQexec(m_conn, sql.constData())};
}

QString PgEngine::rowOrderColumn(const QString &relation) const
{
    const auto known = m_rowOrder.constFind(relation);
    if (known != m_rowOrder.constEnd())
        return *known;
    const QByteArray name = relation.toUtf8();
    const char *values[] = {name.constData()};
    // The bookkeeping column, else the counter, else the key (a one-column
    // key is SQLite's rowid alias; the statistics are read in key order).
    const PgResult r{PQexecParams(
        m_conn,
        "SELECT coalesce((SELECT a.attname FROM pg_attribute a WHERE a.attrelid = c.oid AND a.attnum > 0 "
        "                 AND NOT a.attisdropped AND (a.attname = 'jet_rowid' OR a.attidentity <> '') "
        "                 ORDER BY a.attname = 'jet_rowid' DESC LIMIT 1), "
        "                (SELECT string_agg(a.attname, ', ' ORDER BY k.n) FROM pg_constraint p, "
        "                 unnest(p.conkey) WITH ORDINALITY k(attnum, n) JOIN pg_attribute a ON a.attnum = k.attnum "
        "                 WHERE p.conrelid = c.oid AND p.contype = 'p' AND a.attrelid = c.oid), '') "
        "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
        "WHERE n.nspname = 'public' AND c.relname = $1 AND c.relkind IN ('r', 'p')",
        1, nullptr, values, nullptr, nullptr, 0)};
    if (failed(r.get()))
        return {};
    const QString column = PQntuples(r.get()) > 0 ? QString::fromUtf8(PQgetvalue(r.get(), 0, 0)) : QString();
    m_rowOrder.insert(relation, column);
    return column;
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
    flushDiscarded();
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

void PgEngine::begin()
{
    ensureConnected();
    // The lock is taken before the command's first statement, so a command
    // either runs whole or waits and says so. BEGIN and the lock go with that
    // statement, in its round trip (see execute()).
    m_beginPending = true;
}

void PgEngine::beginSnapshot()
{
    ensureConnected();
    run(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
}

void PgEngine::commit()
{
    // Nothing of the command was sent: there is nothing to commit.
    if (m_later.empty() && takePendingBegin())
        return;
    // Writes sent later go with it, in its round trip.
    const PgResult r = execute(Sending::Control, [](pg_conn *session) {
        return PQsendQueryParams(session, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0) != 0;
    });
    // A transaction that failed earlier is rolled back by COMMIT: that is no success.
    if (qstrcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0)
        failWith(QStringLiteral("事务中有语句失败，所有更改已撤消"));
}

void PgEngine::rollback() noexcept
{
    dropLater();
    forgetReadAhead();
    if (takePendingBegin())
        return;
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    if (status == PQTRANS_INTRANS || status == PQTRANS_INERROR)
        PgResult{PQexec(m_conn, "ROLLBACK")};
}

bool PgEngine::inTransaction() const
{
    if (m_beginPending)
        return true;
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

void PgEngine::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = std::max(0, milliseconds);
    // lock_timeout 0 would wait for ever; SQLite's 0 gives up at once.
    const int lockTimeout = std::max(1, m_busyTimeout);
    if (PQstatus(m_conn) == CONNECTION_OK && lockTimeout != m_lockTimeout) {
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
    reader.adopt(std::make_unique<PgEngine>(m_uri));
    ArchiveCopy::toNewFile(reader, target);
}
