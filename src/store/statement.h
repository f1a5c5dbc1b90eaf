#pragma once

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class DbException;

// How a value came back from the database.
enum class ValueType : quint8 { Null, Integer, Float, Text, Blob };

// What the engine knows of a result column: its name, and where it comes from
// when it is a plain column of a table (empty otherwise).
struct ColumnInfo
{
    QString name;
    QString originTable;
    QString originColumn;
    QString declType;
};

// The rows a write held back by the engine changed, known once it has been sent.
using PendingCount = std::shared_ptr<std::optional<int>>;

// One prepared statement of one engine. Statement wraps it; nothing outside
// the store sees this interface.
class StatementBackend
{
public:
    virtual ~StatementBackend() = default;
    virtual void bind(int index, const QVariant &value) = 0; // 1-based
    // Runs to the next row: true while a row is there; throws DbException.
    virtual bool step() = 0;
    // Back to the start, bindings kept, for another run.
    virtual void reset() = 0;
    virtual int columnCount() const = 0;
    virtual ColumnInfo column(int i) const = 0;
    virtual ValueType type(int i) const = 0;
    virtual qint64 integer(int i) const = 0;
    virtual double real(int i) const = 0;
    // Text as UTF-8, or the bytes of a blob; valid until the next step.
    virtual QByteArrayView bytes(int i) const = 0;
    // Rows changed by the statement once it has run.
    virtual int changes() const = 0;
    // Whether running it leaves the database as it was.
    virtual bool readOnly() const { return true; }
    // Hands a write inside a transaction to the engine to send with the
    // transaction's next statement or its commit; null when it must run now.
    virtual PendingCount runLater() { return nullptr; }
    // Hands a statement of a transaction that must find or change a row to the
    // engine, to send with the transaction's next statement or its commit and
    // throw `unmet` there when it found none; false when it must run now.
    virtual bool requireLater(const DbException &unmet) { Q_UNUSED(unmet); return false; }
    // Hands a write whose count nobody reads to the engine, to send ahead of
    // the next read; false when it must run now. `mayFail`: its failure is
    // only logged when it is sent with another statement.
    virtual bool runSoon(bool mayFail) { Q_UNUSED(mayFail); return false; }
    // Hands a read its caller makes next to the engine, to send with the
    // statement before it; false when there is nothing to gain.
    virtual bool readAhead() { return false; }
};

// A prepared statement that finalizes itself. Rows are read column by column
// while next() returns true; run() steps to the end, gives the rows changed and
// rewinds, so the statement can run again with new values bound.
// Each statement is logged with the time it took under "torvane.sql".
class Statement
{
public:
    Statement() = default;
    Statement(std::unique_ptr<StatementBackend> backend, const QString &sql);
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    ~Statement();

    bool isValid() const { return m_backend != nullptr; }
    const QString &sql() const { return m_sql; }

    Statement &bind(int index, const QVariant &value);
    Statement &bindAll(const QVariantList &values);

    bool next();
    int run();
    // Hands the write to the engine to send when it sees fit (see RowCount);
    // null when the engine runs it now, which is then for run() to do.
    PendingCount runLater();
    bool requireLater(const DbException &unmet) { return m_backend->requireLater(unmet); }
    bool runSoon(bool mayFail) { return m_backend->runSoon(mayFail); }
    bool readAhead() { return m_backend->readAhead(); }
    void reset();

    int columnCount() const { return m_backend->columnCount(); }
    ColumnInfo column(int i) const { return m_backend->column(i); }
    ValueType type(int i) const { return m_backend->type(i); }
    qint64 integer(int i) const { return m_backend->integer(i); }
    double real(int i) const { return m_backend->real(i); }
    QByteArrayView bytes(int i) const { return m_backend->bytes(i); }
    QVariant value(int i) const;
    int changes() const { return m_backend->changes(); }
    bool readOnly() const { return m_backend->readOnly(); }

private:
    void finishTrace();

    std::unique_ptr<StatementBackend> m_backend;
    QString m_sql;
    QElapsedTimer m_clock;
    qint64 m_nanoseconds = 0;
    bool m_stepped = false;
};

// The rows a write changed. A server holds a write of a transaction back to
// send with the transaction's next statement or its commit, where its failure
// is thrown; reading the count sends it at once.
class RowCount
{
public:
    RowCount(int known) : m_known(known) {}
    RowCount(PendingCount pending, std::function<void()> sendNow)
        : m_pending(std::move(pending)), m_sendNow(std::move(sendNow))
    {
    }
    operator int();

private:
    int m_known = 0;
    PendingCount m_pending;
    std::function<void()> m_sendNow;
};
