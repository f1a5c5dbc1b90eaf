#include "store/rowpages.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/statement.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

namespace {
constexpr int kLargestChunk = 65536;
}

RowPages::RowPages(Connection &connection, const QString &table, const QString &rowsSql, const QString &identity,
                   int columns, int cacheRows)
    : m_connection(connection), m_table(connection.engine().quoteIdentifier(table)), m_rowsSql(rowsSql),
      m_identity(identity), m_columns(columns), m_maxPages(std::max(4, cacheRows / kPageRows))
{
}

void RowPages::start(Statement &statement, bool more, int rows)
{
    const Engine &engine = m_connection.engine();
    for (; more && rowCount() < rows; more = statement.next()) {
        const int row = rowCount();
        m_ids.push_back(engine.identityOf(statement, 0));
        Page &page = m_pages[row / kPageRows];
        if (row % kPageRows == 0)
            page.rows.reset(m_columns);
        page.rows.appendFromStatement(statement, 1);
    }
    // The statement was limited to `rows`: only a shorter answer is the end of the table.
    m_complete = rowCount() < rows;
}

int RowPages::grow(int &chunk)
{
    return std::exchange(chunk, std::min(chunk * 2, kLargestChunk));
}

qint64 RowPages::tailLow() const
{
    // A row being added (identity 0) sits first in the tail.
    return m_tail.empty() || m_tail.back() == 0 ? std::numeric_limits<qint64>::max() : m_tail.back();
}

int RowPages::readBetween(qint64 low, qint64 high, int limit, bool fromTheTop, std::vector<qint64> &into)
{
    Statement statement = m_connection.prepare(QStringLiteral("select %1 from %2 where %1 > ? and %1 < ? order by %1%3 limit ?")
                                                   .arg(m_identity, m_table, fromTheTop ? QStringLiteral(" desc") : QString()));
    statement.bind(1, low);
    statement.bind(2, high);
    statement.bind(3, limit);
    const Engine &engine = m_connection.engine();
    int read = 0;
    for (; statement.next(); ++read)
        into.push_back(engine.identityOf(statement, 0));
    return read;
}

qint64 RowPages::headHigh() const
{
    return m_ids.empty() ? std::numeric_limits<qint64>::min() : m_ids.back();
}

void RowPages::readHead()
{
    const int chunk = grow(m_chunk);
    const int limit = isCounted() ? std::min(chunk, unread()) : chunk;
    // Fewer than asked: the table ends here, or the last rows begin.
    if (readBetween(headHigh(), tailLow(), limit, false, m_ids) < limit) {
        m_complete = true;
        closeGap();
    }
}

void RowPages::readTailBack()
{
    const int limit = std::min(grow(m_tailChunk), unread());
    if (readBetween(headHigh(), tailLow(), limit, true, m_tail) < limit)
        closeGap();
}

void RowPages::readChunk()
{
    if (!isComplete())
        readHead();
}

void RowPages::countRows()
{
    if (isCounted())
        return;
    if (m_complete) {
        m_total = headRows();
        return;
    }
    // One statement, so that the count and the last rows are of one moment.
    // The count names the identity so that no index serves its range: it then
    // walks the smallest index, not the table.
    const qint64 after = headHigh();
    const int limit = grow(m_tailChunk);
    Statement statement = m_connection.prepare(
        QStringLiteral("select %1, (select count(*) from %2 where +%1 > ?) from %2 where %1 > ? order by %1 desc limit ?")
            .arg(m_identity, m_table));
    statement.bind(1, after);
    statement.bind(2, after);
    statement.bind(3, limit);
    const Engine &engine = m_connection.engine();
    qint64 counted = 0;
    while (statement.next()) {
        if (m_tail.empty())
            counted = statement.integer(1);
        m_tail.push_back(engine.identityOf(statement, 0));
    }
    const int read = static_cast<int>(m_tail.size());
    // Fewer than asked: the last rows reach the first ones.
    m_total = headRows() + (read < limit ? read : static_cast<int>(std::max<qint64>(counted, read)));
}

bool RowPages::readUpTo(int wanted)
{
    while (!isComplete() && rowCount() < wanted)
        readHead();
    return rowCount() >= wanted;
}

qint64 RowPages::identity(int row)
{
    for (;;) {
        if (row < headRows())
            return m_ids[static_cast<size_t>(row)];
        if (isCounted() && row >= tailStart())
            return m_tail[static_cast<size_t>(m_total - 1 - row)];
        if (row < headRows() + m_gone)
            return kGone;
        if (!isCounted() && m_complete)
            return kGone; // past the end; not a row
        // Between the first and the last rows read: read on from the nearer side.
        if (!isCounted() || row - headRows() <= tailStart() - 1 - row)
            readHead();
        else
            readTailBack();
    }
}

void RowPages::setIdentity(int row, qint64 identity)
{
    if (row < headRows())
        m_ids[static_cast<size_t>(row)] = identity;
    else
        m_tail[static_cast<size_t>(m_total - 1 - row)] = identity;
}

int RowPages::rowOf(qint64 identity)
{
    if (identity <= 0)
        return -1;
    if (isCounted() && identity >= tailLow()) {
        // The tail read backwards is ascending, but for a row being added first in it.
        const auto end = m_tail.crend() - (!m_tail.empty() && m_tail.front() == 0 ? 1 : 0);
        const auto at = std::lower_bound(m_tail.crbegin(), end, identity);
        return at != end && *at == identity ? tailStart() + static_cast<int>(at - m_tail.crbegin()) : -1;
    }
    while (unread() > 0 && (m_ids.empty() || m_ids.back() < identity))
        readHead();
    const auto at = std::lower_bound(m_ids.cbegin(), m_ids.cend(), identity);
    return at != m_ids.cend() && *at == identity ? static_cast<int>(at - m_ids.cbegin()) : -1;
}

void RowPages::evictOne()
{
    auto oldest = m_pages.begin();
    for (auto it = m_pages.begin(); it != m_pages.end(); ++it)
        if (it->second.lastUse < oldest->second.lastUse)
            oldest = it;
    m_pages.erase(oldest);
}

void RowPages::load(int page)
{
    const int first = page * kPageRows;
    const int count = std::min(kPageRows, rowCount() - first);
    // A row being added has no identity yet (0), one found gone has kGone: both read empty.
    std::vector<qint64> ids(static_cast<size_t>(count));
    qint64 low = 0, high = 0;
    for (int k = 0; k < count; ++k) {
        const qint64 id = ids[static_cast<size_t>(k)] = identity(first + k);
        if (id <= 0)
            continue;
        low = low == 0 ? id : std::min(low, id);
        high = std::max(high, id);
    }
    Page loaded;
    loaded.rows.reset(m_columns);
    std::optional<Statement> statement;
    bool more = false;
    if (low != 0) {
        statement.emplace(m_connection.prepare(m_rowsSql + QStringLiteral(" where %1 >= ? and %1 <= ? order by %1").arg(m_identity)));
        statement->bind(1, low);
        statement->bind(2, high);
        more = statement->next();
    }
    const Engine &engine = m_connection.engine();
    for (const qint64 id : ids) {
        while (more && id > 0 && engine.identityOf(*statement, 0) < id)
            more = statement->next();
        if (more && id > 0 && engine.identityOf(*statement, 0) == id) {
            loaded.rows.appendFromStatement(*statement, 1);
            more = statement->next();
        } else {
            loaded.rows.appendEmpty(); // gone meanwhile, or not written yet
        }
    }
    m_pages.erase(page);
    while (static_cast<int>(m_pages.size()) >= m_maxPages)
        evictOne();
    m_pages.emplace(page, std::move(loaded));
}

RowPages::Page &RowPages::pageOf(int row)
{
    const int page = row / kPageRows;
    auto it = m_pages.find(page);
    if (it == m_pages.end() || it->second.rows.rowCount() <= row % kPageRows) {
        load(page);
        it = m_pages.find(page);
    }
    it->second.lastUse = ++m_clock;
    return it->second;
}

QVariant RowPages::value(int row, int column)
{
    return pageOf(row).rows.value(row % kPageRows, column);
}

QVector<QVariant> RowPages::row(int row)
{
    return pageOf(row).rows.row(row % kPageRows);
}

std::optional<bool> RowPages::textEquals(int row, int column, const QByteArray &folded)
{
    return pageOf(row).rows.textEquals(row % kPageRows, column, folded);
}

void RowPages::setValue(int row, int column, const QVariant &value)
{
    pageOf(row).rows.setValue(row % kPageRows, column, value);
}

void RowPages::setFromStatement(int row, const Statement &statement, const QVector<int> &columns, int offset)
{
    pageOf(row).rows.setFromStatement(row % kPageRows, statement, columns, offset);
}

void RowPages::appendEmpty()
{
    // Counted first: the new row goes after the last, which the tail holds.
    countRows();
    m_tail.insert(m_tail.begin(), 0);
    ++m_total;
    m_pages.erase((rowCount() - 1) / kPageRows);
}

void RowPages::removeRow(int row)
{
    if (row < headRows())
        m_ids.erase(m_ids.begin() + row);
    else if (isCounted() && row >= tailStart())
        m_tail.erase(m_tail.begin() + (m_total - 1 - row));
    else
        --m_gone; // one found gone (a row not read yet cannot be removed: its identity is read first)
    if (isCounted())
        --m_total;
    // The rows after it move up a place: their pages are read again when needed.
    const int from = row / kPageRows;
    for (auto it = m_pages.begin(); it != m_pages.end();)
        it = it->first >= from ? m_pages.erase(it) : std::next(it);
}
