#pragma once

#include "store/engine.h"

struct sqlite3;

// The embedded engine: one database file on this PC.
class SqliteEngine : public Engine
{
public:
    // Opens an existing file of ours (checked by its application id). Throws DbException.
    explicit SqliteEngine(const QString &path);
    ~SqliteEngine() override;

    QString location() const override { return m_path; }
    bool isServer() const override { return false; }

    QString translate(const QString &sql) const override;
    std::unique_ptr<StatementBackend> prepare(const QString &sql) override;
    void executeScript(const QString &sql) override;

    void begin() override;
    void beginSnapshot() override;
    void commit() override;
    void rollback() noexcept override;
    bool inTransaction() const override;
    void setBusyTimeout(int milliseconds) override;

    QString rowIdentity() const override { return QStringLiteral("_rowid_"); }
    QString identityEquals() const override { return QStringLiteral("_rowid_=?"); }
    qint64 identityOf(const Statement &row, int column) const override { return row.integer(column); }
    QVariant identityParameter(qint64 identity) const override { return identity; }
    QString sameValue(const QString &quotedColumn) const override;

    qint64 counterValue(const QString &table) override;
    void raiseCounter(const QString &table, qint64 value) override;

    void copyToFile(const QString &target) override;

    // Maps the engine's result code of the last call to the exception the windows see.
    [[noreturn]] void fail(int rc) const;

private:
    static int busyHandler(void *engine, int count);
    // Ends a wait for another seat's lock (the busy pointer goes).
    void notifyDone();

    sqlite3 *m_db = nullptr;
    QString m_path;
    int m_busyTimeout = 5000;
    qint64 m_waitStarted = 0;
    bool m_waiting = false;
    friend class SqliteStatement;
};
