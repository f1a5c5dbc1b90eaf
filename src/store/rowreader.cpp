#include "store/rowreader.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/statement.h"

#include <QElapsedTimer>
#include <QTimer>

RowReader::RowReader(QObject *parent) : QObject(parent) {}

RowReader::~RowReader()
{
    stop();
}

void RowReader::start(Statement statement, bool more, int columns, bool withIdentity, int firstRows,
                      Connection &connection)
{
    stop();
    m_error.clear();
    m_connection = &connection;
    m_engine = &connection.engine();
    m_withIdentity = withIdentity;
    clear(columns);
    try {
        for (; more; more = statement.next()) {
            if (firstRows > 0 && m_store.rowCount() >= firstRows) {
                // The statement stays on its first unread row.
                m_pending = std::make_unique<Statement>(std::move(statement));
                connection.addPendingReader(this, [this] { readAll(); });
                if (!m_idleRead) {
                    m_idleRead = new QTimer(this);
                    connect(m_idleRead, &QTimer::timeout, this, &RowReader::readInIdleTime);
                }
                m_idleRead->start(0);
                return;
            }
            append(statement);
        }
    } catch (...) {
        clear(columns);
        throw;
    }
}

void RowReader::clear(int columns)
{
    m_store.reset(columns);
    m_identities.clear();
}

void RowReader::append(const Statement &statement)
{
    m_store.appendFromStatement(statement, m_withIdentity ? 1 : 0);
    m_identities.push_back(m_withIdentity ? m_engine->identityOf(statement, 0) : 0);
}

bool RowReader::readUpTo(int wanted)
{
    if (!m_pending || m_store.rowCount() >= wanted)
        return m_store.rowCount() >= wanted;
    const int first = m_store.rowCount();
    auto announce = [&] {
        if (m_store.rowCount() > first)
            emit rowsRead(first, m_store.rowCount() - 1);
    };
    try {
        while (m_store.rowCount() < wanted) {
            append(*m_pending);
            if (!m_pending->next()) {
                stop();
                break;
            }
        }
    } catch (const DbException &e) {
        // Said before the rows are announced, so whoever sees the end sees why.
        m_error = e.description();
        stop();
        announce();
        throw;
    } catch (...) {
        stop();
        announce();
        throw;
    }
    announce();
    return m_store.rowCount() >= wanted;
}

void RowReader::readInIdleTime()
{
    // A few milliseconds at a time, so the window stays responsive meanwhile.
    QElapsedTimer slice;
    slice.start();
    try {
        while (m_pending && slice.elapsed() < 4)
            readUpTo(m_store.rowCount() + 256);
    } catch (const DbException &e) {
        qWarning("reading the rest of a result: %s", qPrintable(e.description()));
        emit readFailed(e.error());
    }
}

void RowReader::stop()
{
    if (!m_pending)
        return;
    m_pending.reset();
    if (m_idleRead)
        m_idleRead->stop();
    if (m_connection)
        m_connection->removePendingReader(this);
}

void RowReader::appendEmpty()
{
    m_store.appendEmpty();
    m_identities.push_back(0);
}

void RowReader::removeRow(int row)
{
    m_store.removeRow(row);
    m_identities.erase(m_identities.begin() + row);
}

RowStore RowReader::takeStore()
{
    readAll();
    RowStore rows = std::move(m_store);
    m_store = RowStore();
    m_identities.clear();
    return rows;
}
