#pragma once

#include "store/dberror.h"
#include "store/statement.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class Engine;

// The application id written into every database file we create; a file
// without it is not ours and is refused.
constexpr int kTorvaneApplicationId = 0x41564C52; // "AVLR"

// One open database, whatever engine holds it. Statements arrive in the
// program's dialect and are translated before the engine sees them; failures
// throw DbException.
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // "data source=" + folder + "/" + file, as the windows pass it around.
    static QString connectionText(const QString &folder, const QString &file);
    // The location named by a connection text's data source.
    static QString dataSourceOf(const QString &connectionText);
    // A server URI (postgresql://...) rather than a database file.
    static bool isServerLocation(const QString &location);
    // A location as it may be shown and stored: a password in a server URI left out.
    static QString shownLocation(const QString &location);

    // How long every connection waits for another seat's lock before a
    // command gives up (the settings keep it), and who shows the busy pointer.
    static void setDefaultBusyTimeout(int milliseconds);
    static int defaultBusyTimeout();
    static void setDefaultBusyObserver(std::function<void(bool waiting)> observer);

    // Asks for the password of a server location when libpq's own means
    // (~/.pgpass, PGPASSWORD, a service file) give none that works; an empty
    // answer gives up. What is typed is kept in memory for this run only.
    static void setPasswordProvider(std::function<QString(const QString &location)> provider);
    static QString askPassword(const QString &location);
    // A password written into a server URI, kept in memory for its shown location.
    static void rememberPassword(const QString &location);

    void open(const QString &connectionText);
    // A database file, or a server URI.
    void openLocation(const QString &location);
    // An engine opened by other means (a database that is to become an archive).
    void adopt(std::unique_ptr<Engine> engine);
    void close();
    bool isOpen() const { return m_engine != nullptr; }
    // The file or server the connection is open on.
    QString location() const { return m_location; }
    bool isServer() const;
    QString connectionString() const { return m_connectionText; }

    Statement prepare(const QString &sql);
    // For a read taken a few rows at a time, first rows first (see Engine::prepareStreamed).
    Statement prepareStreamed(const QString &sql);
    // Runs one statement that returns no rows; the rows it changed. On a
    // server a write inside a transaction whose count is never read travels
    // with the transaction's next statement or its commit, and a failure of it
    // is thrown there.
    RowCount execute(const QString &sql, const QVariantList &parameters = {});
    // A statement of a command that must find a row (a read) or change one (a
    // write), else the command fails with `unmet` and keeps nothing. On a
    // server, inside a transaction, the server checks it where it runs, and it
    // travels with the command's next statement or its commit.
    void require(const QString &sql, const QVariantList &parameters, const DbException &unmet);
    // A write whose count nobody reads and that need not be done before the
    // next read (a log row). On a server, outside a command, it travels ahead
    // of the next read, in a transaction of its own, and its failure is thrown
    // by that read (only logged when it `mayFail`); before any other
    // statement, or at sendSoonWrites(), it goes alone. Inside a command it
    // is one of the command's writes.
    void executeSoon(const QString &sql, const QVariantList &parameters = {}, bool mayFail = false);
    // The read this seat makes next. On a server it travels after the next
    // statement that ends outside a transaction, in the same round trip, and
    // that read is answered from there; or, when a read in parts opens first,
    // with that one on its own session, ahead of this seat's writes still held
    // (log rows), so it must not read what those write.
    void readAhead(const QString &sql, const QVariantList &parameters = {});
    // The reads last made one after the other with these values (a customer's
    // tickets, then their totals) are made again after the next write that
    // ends outside a command (a single write, a commit), in its round trip.
    void readAgainAfterWrite(const QVariantList &values);
    // Sends now the writes of executeSoon() still held; throws a failure.
    void sendSoonWrites();
    // Round trips to the server so far (none on a file).
    quint64 roundTrips() const;
    // First column of the first row, or an invalid variant when there is none.
    QVariant scalar(const QString &sql, const QVariantList &parameters = {});
    // Several statements, untranslated (schema scripts).
    void executeScript(const QString &sql);

    void begin();
    void commit();
    void rollback() noexcept;
    bool inTransaction() const;

    void setBusyTimeout(int milliseconds);

    Engine &engine();
    [[noreturn]] void fail(long number, const QString &description) const;

    // A recordset still stepping through its rows (see Recordset::setFirstRows)
    // is finished before anything is written on this connection, so the rows
    // it has yet to read are those of the moment it started.
    void addPendingReader(const void *key, std::function<void()> finish);
    void removePendingReader(const void *key);
    void finishPendingReaders();

private:
    Engine &requireOpen() const;

    std::unique_ptr<Engine> m_engine;
    QString m_location;
    QString m_connectionText;
    std::vector<std::pair<const void *, std::function<void()>>> m_pendingReaders;
};
