#pragma once

#include "store/engine.h"
#include "store/pgpipeline.h"
#include "store/pgsessions.h"
#include "store/pgstatementcache.h"
#include "store/pgtransaction.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QVariant>
#include <memory>

struct pg_conn;
class PgCatalog;
struct PgColumnFacts;

// An archive on a PostgreSQL server, which several counters write at once.
// Its parts: the sessions it holds, the pipeline that sends and counts round
// trips, the statements prepared on the main session, and the transaction
// that decides what travels together.
class PgEngine : public Engine
{
public:
    enum class Purpose {
        Open,   // an archive of ours; anything else is refused
        Create, // an empty database that is to become one
        LogIn,  // an archive of ours, as an operator with the password typed: none is asked for
    };
    // Connects to the database a libpq URI names. Throws DbException.
    // `firstReads` (translated, with their values) travel with the opening's own questions.
    using FirstReads = QList<QPair<QString, QVariantList>>;
    explicit PgEngine(const QString &uri, Purpose purpose = Purpose::Open, const FirstReads &firstReads = {});
    ~PgEngine() override;

    QString location() const override { return m_sessions.location(); }
    bool isServer() const override { return true; }

    QString translate(const QString &sql) const override;
    std::unique_ptr<StatementBackend> prepare(const QString &sql) override;
    // Runs as a cursor on a session of its own, read a page at a time: the
    // first rows arrive before the last is read, and this session stays free.
    std::unique_ptr<StatementBackend> prepareStreamed(const QString &sql) override;
    void executeScript(const QString &sql) override;
    void sendPending() override;
    void sendSoonWrites() override { m_transaction.sendSoonAlone(handle()); }
    void readAgainAfterWrite(const QVariantList &values) override;
    quint64 roundTrips() const override { return m_pipeline.roundTrips(); }

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
    static QString withoutPassword(const QString &uri) { return PgSessions::withoutPassword(uri); }
    // Keeps a password written in a URI in memory for its location, for this run only.
    static void rememberPassword(const QString &uri) { PgSessions::rememberPassword(uri); }

    // For this engine's statements.
    PgSessions &sessions() { return m_sessions; }
    PgPipeline &pipeline() { return m_pipeline; }
    PgTransaction &transaction() { return m_transaction; }
    pg_conn *handle() const { return m_sessions.main(); }
    // False once the engine is gone: a statement that outlives its connection must not touch it.
    std::shared_ptr<const bool> alive() const { return m_alive; }
    // Reconnects a connection the server dropped, when no transaction was lost with it.
    void ensureConnected();
    // The main session's prepared statement for a text. Throws DbException.
    std::shared_ptr<PgPrepared> prepared(const QByteArray &sql);
    // The same, or one parsed with its first run (see PgStatementCache::preparedOrNew).
    std::shared_ptr<PgPrepared> preparedOrNew(const QByteArray &sql);
    // A prepared statement kept, when the session has it.
    std::shared_ptr<PgPrepared> preparedIfKept(const QByteArray &sql);
    void release(std::shared_ptr<PgPrepared> &prepared) { m_statements.release(prepared); }
    // Throws the failure a result of the main session reports.
    [[noreturn]] void fail(const pg_result *result) const { throwPgFailure(result, m_sessions.main()); }
    const PgColumnFacts *columnFacts(unsigned table, int attribute);
    QHash<QString, QString> longNamesOf(const QString &translated) const { return m_longNames.value(translated); }

private:
    void checkArchive(Purpose purpose, const FirstReads &firstReads);
    // Runs SQL of our own that returns no rows we need; throws on failure.
    void run(const QString &sql);
    void setLockTimeout();
    QString rowOrderColumn(const QString &relation) const;

    PgSessions m_sessions;
    PgPipeline m_pipeline;
    PgStatementCache m_statements{m_pipeline};
    PgTransaction m_transaction{m_pipeline, m_statements};
    std::unique_ptr<PgCatalog> m_catalog;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    int m_busyTimeout = 5000;
    int m_lockTimeout = 0; // what the main session has
    mutable QHash<QString, QHash<QString, QString>> m_longNames;
    mutable QHash<QString, QString> m_rowOrder;
};
