#include "store/rowreader.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/statement.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {
// Rows a count reads on before it asks the table how many are left.
constexpr int kShortRest = 2048;
}

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

void RowReader::startPaged(std::unique_ptr<RowPages> pages, Statement &statement, bool more, int firstRows)
{
    stop();
    m_error.clear();
    clear(0);
    pages->start(statement, more, firstRows);
    m_pages = std::move(pages);
    if (m_pages->isComplete())
        return;
    // No statement stays open: the identities come in chunks, each a read of its own.
    if (!m_idleRead) {
        m_idleRead = new QTimer(this);
        connect(m_idleRead, &QTimer::timeout, this, &RowReader::readInIdleTime);
    }
    m_idleRead->start(0);
}

void RowReader::clear(int columns)
{
    m_pages.reset();
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
    if (isComplete() || rowCount() >= wanted)
        return rowCount() >= wanted;
    const int first = rowCount();
    auto announce = [&] {
        if (rowCount() > first)
            emit rowsRead(first, rowCount() - 1);
    };
    try {
        while (!m_pages && rowCount() < wanted) {
            append(*m_pending);
            if (!m_pending->next()) {
                stop();
                break;
            }
            if (m_makePages && rowCount() > m_pagedBeyond)
                toPages();
        }
        if (m_pages) {
            m_pages->readUpTo(wanted);
            if (m_pages->isComplete())
                stop();
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
    return rowCount() >= wanted;
}

void RowReader::countAll()
{
    // A read that would turn to pages past a number of rows reads a short
    // rest as it comes (on a server, its next part); a long one is counted
    // and turns to pages now, rather than read every row up to there.
    if (!m_pages && m_makePages && m_pending) {
        readUpTo(rowCount() + kShortRest);
        if (m_pending && !m_pages) {
            std::unique_ptr<RowPages> pages = m_makePages();
            pages->adopt(m_identities);
            pages->countRows();
            if (pages->rowCount() > m_pagedBeyond)
                toPages(std::move(pages));
        }
    }
    if (!m_pages) {
        readAll();
        return;
    }
    const int first = rowCount();
    m_pages->countRows();
    stop();
    if (rowCount() > first)
        emit rowsRead(first, rowCount() - 1);
}

void RowReader::toPages(std::unique_ptr<RowPages> counted)
{
    // The rows read so far give up their values and keep their places.
    m_pending.reset();
    m_connection->removePendingReader(this);
    if (counted) {
        m_pages = std::move(counted); // it holds their identities already
    } else {
        m_pages = m_makePages();
        m_pages->adopt(std::move(m_identities));
    }
    m_makePages = nullptr;
    m_identities.clear();
    m_store.reset(m_store.columnCount());
}

void RowReader::readInIdleTime()
{
    // A few milliseconds at a time, so the window stays responsive meanwhile.
    QElapsedTimer slice;
    slice.start();
    try {
        while (!isComplete() && slice.elapsed() < 4)
            readUpTo(rowCount() + (m_pages ? 1 : 256));
    } catch (const DbException &e) {
        qWarning("reading the rest of a result: %s", qPrintable(e.description()));
        emit readFailed(e.error());
    }
}

void RowReader::stop()
{
    if (m_pages) {
        m_pages->stopReading();
        if (m_idleRead)
            m_idleRead->stop();
    }
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
    countAll(); // a new row goes after every row
    if (m_pages) {
        m_pages->appendEmpty();
        return;
    }
    m_store.appendEmpty();
    m_identities.push_back(0);
}

void RowReader::removeRow(int row)
{
    if (m_pages) {
        m_pages->removeRow(row);
        return;
    }
    m_store.removeRow(row);
    m_identities.erase(m_identities.begin() + row);
}

void RowReader::setIdentity(int row, qint64 identity)
{
    if (m_pages)
        m_pages->setIdentity(row, identity);
    else
        m_identities[static_cast<size_t>(row)] = identity;
}

int RowReader::rowOf(qint64 identity)
{
    if (m_pages) {
        // Read on, announced, as far as the identity (once counted, the pages read what lies between).
        while (!isComplete() && (rowCount() == 0 || m_pages->identity(rowCount() - 1) < identity))
            readUpTo(rowCount() + 1);
        return m_pages->rowOf(identity);
    }
    const auto at = std::find(m_identities.begin(), m_identities.end(), identity);
    return at == m_identities.end() ? -1 : static_cast<int>(at - m_identities.begin());
}

void RowReader::setValue(int row, int column, const QVariant &value)
{
    if (m_pages)
        m_pages->setValue(row, column, value);
    else
        m_store.setValue(row, column, value);
}

void RowReader::setFromStatement(int row, const Statement &statement, const QVector<int> &columns, int offset)
{
    if (m_pages)
        m_pages->setFromStatement(row, statement, columns, offset);
    else
        m_store.setFromStatement(row, statement, columns, offset);
}

RowStore RowReader::takeStore()
{
    readAll();
    RowStore rows = std::move(m_store);
    m_store = RowStore();
    m_identities.clear();
    return rows;
}
