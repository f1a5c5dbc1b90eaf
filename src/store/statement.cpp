#include "store/statement.h"

#include "store/dberror.h"

#include "store/sqltrace.h"

Q_LOGGING_CATEGORY(lcSql, "torvane.sql", QtWarningMsg)

Statement::Statement(std::unique_ptr<StatementBackend> backend, const QString &sql)
    : m_backend(std::move(backend)), m_sql(sql)
{
}

Statement::Statement(Statement &&other) noexcept
    : m_backend(std::move(other.m_backend)), m_sql(std::move(other.m_sql)), m_nanoseconds(other.m_nanoseconds),
      m_stepped(other.m_stepped)
{
    other.m_stepped = false;
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        finishTrace();
        m_backend = std::move(other.m_backend);
        m_sql = std::move(other.m_sql);
        m_nanoseconds = other.m_nanoseconds;
        m_stepped = other.m_stepped;
        other.m_stepped = false;
    }
    return *this;
}

Statement::~Statement()
{
    finishTrace();
}

Statement &Statement::bind(int index, const QVariant &value)
{
    m_backend->bind(index, value);
    return *this;
}

Statement &Statement::bindAll(const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        m_backend->bind(i + 1, values.at(i));
    return *this;
}

bool Statement::next()
{
    const bool tracing = lcSql().isDebugEnabled();
    if (tracing)
        m_clock.start();
    m_stepped = true;
    bool row = false;
    try {
        row = m_backend->step();
    } catch (...) {
        if (tracing)
            m_nanoseconds += m_clock.nsecsElapsed();
        qCDebug(lcSql).noquote() << "failed:" << m_sql;
        m_stepped = false;
        throw;
    }
    if (tracing)
        m_nanoseconds += m_clock.nsecsElapsed();
    if (!row)
        finishTrace();
    return row;
}

int Statement::run()
{
    while (next()) {
    }
    const int changed = m_backend->changes();
    m_backend->reset();
    return changed;
}

PendingCount Statement::runLater()
{
    PendingCount pending = m_backend->runLater();
    if (pending)
        qCDebug(lcSql).noquote() << "sent later:" << m_sql;
    return pending;
}

RowCount::operator int()
{
    if (!m_pending)
        return m_known;
    if (!*m_pending)
        m_sendNow();
    // Sent, and what went ahead of it failed: that failure was thrown at the time.
    if (!*m_pending)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("语句没有执行，事务已撤消"));
    return **m_pending;
}

void Statement::reset()
{
    finishTrace();
    m_backend->reset();
}

QVariant Statement::value(int i) const
{
    switch (type(i)) {
    case ValueType::Null:
        return {};
    case ValueType::Integer:
        return QVariant::fromValue<qint64>(integer(i));
    case ValueType::Float:
        return real(i);
    case ValueType::Blob: {
        const QByteArrayView b = bytes(i);
        return QByteArray(b.data(), b.size());
    }
    case ValueType::Text: {
        const QByteArrayView b = bytes(i);
        return QString::fromUtf8(b.data(), b.size());
    }
    }
    return {};
}

void Statement::finishTrace()
{
    if (!m_stepped)
        return;
    m_stepped = false;
    if (lcSql().isDebugEnabled())
        qCDebug(lcSql).noquote() << QStringLiteral("%1 ms").arg(m_nanoseconds / 1e6, 0, 'f', 3) << m_sql;
    m_nanoseconds = 0;
}
