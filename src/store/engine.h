#pragma once

#include "store/statement.h"

#include <QString>
#include <functional>
#include <memory>

// One open database of one kind. The connection above it is the same for
// every kind; what differs between them (dialect, row identity, locking,
// copying the whole archive) is said here.
class Engine
{
public:
    virtual ~Engine() = default;

    // Opens the database a location names: a file path, or a server URI
    // (postgresql://...). Throws DbException.
    static std::unique_ptr<Engine> open(const QString &location);
    static bool isServerLocation(const QString &location);

    // File path or server URI, as the operator would recognise it (no password).
    virtual QString location() const = 0;
    virtual bool isServer() const = 0;

    // The program's dialect turned into this engine's.
    virtual QString translate(const QString &sql) const = 0;
    // One statement, already translated. Throws DbException.
    virtual std::unique_ptr<StatementBackend> prepare(const QString &sql) = 0;
    // A read whose rows are taken a few at a time while other statements run
    // on the connection (a window reading the rest of its rows when idle).
    virtual std::unique_ptr<StatementBackend> prepareStreamed(const QString &sql) { return prepare(sql); }
    // Several statements, untranslated (schema scripts).
    virtual void executeScript(const QString &sql) = 0;
    // Sends now whatever the engine holds back to travel with a later statement.
    virtual void sendPending() {}
    // Sends now the writes held to go ahead of a later read (see Connection::executeSoon).
    virtual void sendSoonWrites() {}
    // The reads last made one after the other with these values are made
    // again once the next write is done (see Connection::readAgainAfterWrite).
    virtual void readAgainAfterWrite(const QVariantList &values) { Q_UNUSED(values); }
    // Round trips to a server so far (none for a file), to read a command's cost on a network.
    virtual quint64 roundTrips() const { return 0; }

    // A transaction that holds the write lock from its start, so a command
    // of several statements never fails half-way for a lock.
    virtual void begin() = 0;
    // A read-only transaction that sees one moment of the archive throughout
    // (copies and backups read in one).
    virtual void beginSnapshot() = 0;
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;
    virtual bool inTransaction() const = 0;

    // How long a statement waits for another seat's lock before it gives up
    // with DbErrorKind::Busy, and who is told while it waits (the busy pointer).
    virtual void setBusyTimeout(int milliseconds) = 0;
    void setBusyObserver(std::function<void(bool waiting)> observer) { m_busyObserver = std::move(observer); }

    // Rows written back by a recordset are found by their identity: a column
    // selected beside the caller's, and a term that finds the row by it.
    virtual QString rowIdentity() const = 0;
    virtual QString identityEquals() const = 0; // with one parameter
    virtual qint64 identityOf(const Statement &row, int column) const = 0;
    virtual QVariant identityParameter(qint64 identity) const = 0;
    // "column holds exactly this value" (nulls equal), with one parameter.
    virtual QString sameValue(const QString &quotedColumn) const = 0;
    virtual QString quoteIdentifier(const QString &name) const;
    // Whether rows of a relation named by column origins can be found again by their identity.
    virtual bool canIdentifyRows(const QString &table) { Q_UNUSED(table); return true; }

    // The highest number a table's counter has handed out (0 when it has none
    // or never counted), and raising it so numbers already used elsewhere are
    // never handed out again (an archive moved between engines).
    virtual qint64 counterValue(const QString &table) = 0;
    virtual void raiseCounter(const QString &table, qint64 value) = 0;

    // A consistent copy of the whole archive as a database file of our own
    // (the backup), written to `target`. Throws DbException.
    virtual void copyToFile(const QString &target) = 0;

protected:
    void notifyWaiting(bool waiting) const
    {
        if (m_busyObserver)
            m_busyObserver(waiting);
    }

private:
    std::function<void(bool)> m_busyObserver;
};
