#pragma once

#include "store/engine.h"
#include "store/pgresult.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QHash>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

struct pg_conn;
struct pg_result;
class PgCatalog;
struct PgColumnFacts;

// A statement prepared on the server, with what it returns; shared by every
// statement of the same text while the session lasts.
struct PgPrepared
{
    QByteArray name;
    PgResult description;
    int generation = 0;
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
    // The values as libpq takes them (null for SQL NULL), valid while this lives.
    static std::vector<const char *> pointers(const std::vector<QByteArray> &values, const std::vector<bool> &null)
    {
        std::vector<const char *> p(values.size());
        for (size_t i = 0; i < p.size(); ++i)
            p[i] = null[i] ? nullptr : values[i].constData();
        return p;
    }
};

// An archive on a PostgreSQL server, which several counters write at once.
// Commands of several statements hold one write lock of the archive from
// their start (an advisory lock), as SQLite's BEGIN IMMEDIATE does; a single
// write outside them shares it, so it waits for such a command and never
// lands in the middle of one.
class PgEngine : public Engine
{
public:
    enum class Purpose {
        Open,   // an archive of ours; anything else is refused
        Create, // an empty database that is to become one
    };
    // Connects to the database a libpq URI names. Throws DbException.
    explicit PgEngine(const QString &uri, Purpose purpose = Purpose::Open);
    ~PgEngine() override;

    QString location() const override { return m_location; }
    bool isServer() const override { return true; }

    QString translate(const QString &sql) const override;
    std::unique_ptr<StatementBackend> prepare(const QString &sql) override;
    // Runs as a cursor on a session of its own, read a page at a time: the
    // first rows arrive before the last is read, and this session stays free.
    std::unique_ptr<StatementBackend> prepareStreamed(const QString &sql) override;
    void executeScript(const QString &sql) override;

    void begin() override;
    void beginSnapshot() override;
    void commit() override;
    void rollback() noexcept override;
    bool inTransaction() const override;
    void setBusyTimeout(int milliseconds) override;

    // A row is found again by its table's key column (the translator names it
    // for "rowid"); whether it changed meanwhile, by its values (sameValue).
    // The physical place (ctid) would not do: it moves with every change, so a
    // row another seat changed could not be read again.
    QString rowIdentity() const override { return QStringLiteral("rowid"); }
    QString identityEquals() const override { return QStringLiteral("rowid=?"); }
    qint64 identityOf(const Statement &row, int column) const override;
    QVariant identityParameter(qint64 identity) const override;
    QString sameValue(const QString &quotedColumn) const override;
    bool canIdentifyRows(const QString &table) override;
    qint64 counterValue(const QString &table) override;
    void raiseCounter(const QString &table, qint64 value) override;

    void copyToFile(const QString &target) override;

    // A URI as shown and stored: without a password in it.
    static QString withoutPassword(const QString &uri);
    // Keeps a password written in a URI in memory for its location, for this run only.
    static void rememberPassword(const QString &uri);

    // For this engine's statements.
    pg_conn *handle() const { return m_conn; }
    // A second session on the same archive, set up as this one (the one given
    // back last, when there is one); null when it cannot be had.
    pg_conn *takeSession();
    // A second session done with: kept for the next one when it is idle.
    void giveBack(pg_conn *session);
    int generation() const { return m_generation; }
    // False once the engine is gone: a statement that outlives its connection must not touch it.
    std::shared_ptr<const bool> alive() const { return m_alive; }
    // The server's prepared statement for a text: kept from before, or prepared
    // and described now in one round trip. Throws DbException.
    std::shared_ptr<PgPrepared> prepared(const QByteArray &sql);
    // A prepared statement nobody uses any more is dropped on the server (in batches).
    void release(std::shared_ptr<PgPrepared> &prepared);
    // Reconnects a connection the server dropped, when no transaction was lost with it.
    void ensureConnected();
    // Collects what the server answered to the query just sent, showing the
    // busy pointer while it waits.
    PgResult collect();
    // Sends what `send` queues on a session as one pipeline ending in a sync
    // and collects every answer up to it (an aborted one where an earlier
    // failed), waiting as collect() does: several statements, one round trip.
    // Statements queued without a BEGIN run as one transaction, committed at
    // the sync or, if any fails, not at all.
    // Throws when the session breaks.
    std::vector<PgResult> pipeline(pg_conn *session, const std::function<bool()> &send);
    // Of a pipeline's answers, the first failure, else the one at `wanted` (null
    // when there is none); every other answer is freed.
    static PgResult keepOne(std::vector<PgResult> &answers, size_t wanted);
    // Runs one statement that `send` queues on the main session and returns
    // its answer; throws its failure. What its
    // transaction needs goes ahead of it in the same round trip: BEGIN and the
    // write lock for a command's first statement, the write lock shared for a
    // single write outside a command (so it never lands in the middle of one).
    // A transaction's writes handed over by sendLater() go ahead of it too, and
    // a read asked for by readAhead() after it. `send` empty: only what waits.
    enum class Sending { Read, Write, Control };
    PgResult execute(Sending what, const std::function<bool(pg_conn *)> &send);
    // Keeps a write of the open transaction (prepared, values bound) for its next
    // statement or its commit: no round trip of its own.
    void sendLater(PgBound write) { m_later.push_back(std::move(write)); }
    // A read that is likely to be asked for right after the next one, outside a
    // transaction: sent with that read, in its round trip, and its answer kept
    // for the very next statement alone (both read the same moment).
    void readAhead(PgBound read) { m_readAhead = std::move(read); }
    // The kept answer of a read ahead when this statement with these values is
    // that read, else null; any kept answer is gone afterwards.
    PgResult takeAnswerAhead(const PgPrepared *prepared, const std::vector<QByteArray> &values,
                               const std::vector<bool> &null);
    // Throws the failure a result reports.
    [[noreturn]] void fail(const pg_result *result) const;
    [[noreturn]] void failConnection() const;
    const PgColumnFacts *columnFacts(unsigned table, int attribute);
    QHash<QString, QString> longNamesOf(const QString &translated) const { return m_longNames.value(translated); }

private:
    // Sends now what waits to go ahead of the next statement (a begun
    // command's BEGIN and write lock, writes sent later); throws their failure.
    void sendPending();
    // Queues what goes ahead of a statement; how many answers it gives.
    bool sendAhead(bool write, size_t &answers);
    void dropLater();
    void dropAnswerAhead();
    // A read ahead, sent or not, is of no use once anything else was sent.
    void forgetReadAhead();
    // A command was begun and nothing of it sent yet: true once, for whatever sends BEGIN.
    bool takePendingBegin() { return std::exchange(m_beginPending, false); }
    // Waits for a session's answer, with the busy pointer after a moment.
    bool waitForAnswer(pg_conn *session, QElapsedTimer &clock, bool &waiting);
    void connect(const QByteArray &password);
    pg_conn *openSession(const QByteArray &password) const;
    void setUpSession();
    void checkArchive(Purpose purpose);
    // Runs SQL of our own that returns no rows we need; throws on failure.
    void run(const QString &sql);
    QString rowOrderColumn(const QString &relation) const;
    void flushDiscarded();
    void forget(const QByteArray &sql);

    pg_conn *m_conn = nullptr;
    pg_conn *m_spare = nullptr;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    QString m_uri;      // as given, password included if it had one
    QString m_location; // as shown
    int m_busyTimeout = 5000;
    int m_lockTimeout = 0;      // what the session has
    int m_startLockTimeout = 0; // what a session starts with
    int m_generation = 0;
    bool m_beginPending = false; // begin() called, BEGIN not sent yet
    std::vector<PgBound> m_later; // writes of the transaction not sent yet
    std::optional<PgBound> m_readAhead; // to be sent with the next read
    PgBound m_answeredAhead;             // what m_answerAhead answers
    PgResult m_answerAhead;
    quint64 m_statementNumber = 0;
    QByteArrayList m_discarded;
    QHash<QByteArray, std::shared_ptr<PgPrepared>> m_prepared;
    QList<QByteArray> m_preparedOrder; // least recently used first
    std::unique_ptr<PgCatalog> m_catalog;
    mutable QHash<QString, QHash<QString, QString>> m_longNames;
    mutable QHash<QString, QString> m_rowOrder;
};
