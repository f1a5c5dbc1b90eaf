#include "store/rowpages.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/statement.h"

#include <algorithm>
#include <limits>

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

void RowPages::appendIds(Statement &statement, int limit)
{
    const Engine &engine = m_connection.engine();
    int read = 0;
    while (statement.next()) {
        m_ids.push_back(engine.identityOf(statement, 0));
        ++read;
    }
    m_complete = read < limit;
}

void RowPages::readChunk()
{
    if (m_complete)
        return;
    Statement statement = m_connection.prepare(QStringLiteral("select %1 from %2 where %1 > ? order by %1 limit ?")
                                                   .arg(m_identity, m_table));
    statement.bind(1, m_ids.empty() ? std::numeric_limits<qint64>::min() : m_ids.back());
    statement.bind(2, m_chunk);
    appendIds(statement, m_chunk);
    m_chunk = std::min(m_chunk * 2, kLargestChunk);
}

bool RowPages::readUpTo(int wanted)
{
    while (!m_complete && rowCount() < wanted)
        readChunk();
    return rowCount() >= wanted;
}

int RowPages::rowOf(qint64 identity) const
{
    // A row being added has no identity yet, and sits after all the others.
    auto end = m_ids.cend();
    if (end != m_ids.cbegin() && *(end - 1) == 0)
        --end;
    const auto at = std::lower_bound(m_ids.cbegin(), end, identity);
    return at != end && *at == identity ? static_cast<int>(at - m_ids.cbegin()) : -1;
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
    Page loaded;
    loaded.rows.reset(m_columns);
    qint64 low = 0, high = 0;
    for (int k = 0; k < count; ++k) {
        const qint64 id = identity(first + k);
        if (id == 0)
            continue;
        low = low == 0 ? id : std::min(low, id);
        high = std::max(high, id);
    }
    if (low != 0) {
        const Engine &engine = m_connection.engine();
        Statement statement = m_connection.prepare(m_rowsSql + QStringLiteral(" where %1 >= ? and %1 <= ? order by %1").arg(m_identity));
        statement.bind(1, low);
        statement.bind(2, high);
        bool more = statement.next();
        for (int k = 0; k < count; ++k) {
            const qint64 id = identity(first + k);
            while (more && id != 0 && engine.identityOf(statement, 0) < id)
                more = statement.next();
            if (more && id != 0 && engine.identityOf(statement, 0) == id) {
                loaded.rows.appendFromStatement(statement, 1);
                more = statement.next();
            } else {
                loaded.rows.appendEmpty(); // gone meanwhile, or not written yet
            }
        }
    } else {
        for (int k = 0; k < count; ++k)
            loaded.rows.appendEmpty();
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
    m_ids.push_back(0);
    m_pages.erase((rowCount() - 1) / kPageRows);
}

void RowPages::removeRow(int row)
{
    m_ids.erase(m_ids.begin() + row);
    // The rows after it move up a place: their pages are read again when needed.
    const int from = row / kPageRows;
    for (auto it = m_pages.begin(); it != m_pages.end();)
        it = it->first >= from ? m_pages.erase(it) : std::next(it);
}
