#pragma once

#include "store/rowstore.h"

#include <QString>
#include <QVariant>
#include <optional>
#include <unordered_map>
#include <vector>

class Connection;
class Statement;

// The rows of a whole table in the order of their identities, for a window
// that walks a table too large to hold: the rows' identities are kept (eight
// bytes a row, read from the first in chunks as they are needed and meanwhile
// in idle time), the values only of the pages last used, read again by their
// identities when they are needed once more. Rows changed by others since
// show as they are now; a row deleted meanwhile shows empty until it is
// looked at again.
//
// Once the rows are counted (a move to the last row, a new row), the last
// rows' identities are read from the end, and those between the first and
// the last ones only when a row among them is wanted, from whichever side is
// nearer. If others delete rows there before they are read, the rows close
// up and as many empty rows stand where the two sides meet, so the count
// holds; rows others add there are not in this snapshot.
class RowPages
{
public:
    static constexpr int kPageRows = 128;

    // `rowsSql` reads the table's rows with their identity first; `identity`
    // is how the table's identity is written in SQL. At most `cacheRows` rows
    // are held (a few pages at least).
    RowPages(Connection &connection, const QString &table, const QString &rowsSql, const QString &identity,
             int columns, int cacheRows);

    // The first rows, from a statement over `rowsSql` in identity order that
    // has stepped onto its first row (`more`), up to `rows` of them.
    void start(Statement &statement, bool more, int rows);
    // Or the identities of the first rows, read elsewhere (their values are read again when needed).
    void adopt(std::vector<qint64> identities) { m_ids = std::move(identities); }
    // Reads identities until `wanted` rows are known or the table ends; whether they are.
    bool readUpTo(int wanted);
    // Reads the next chunk of identities (idle time).
    void readChunk();
    // Counts the rows and reads the last ones' identities (not those between).
    void countRows();
    bool isCounted() const { return m_total >= 0; }
    // Whether the row count is final.
    bool isComplete() const { return m_complete || isCounted(); }
    // No more identities are read from the first rows on: those read so far
    // are all there will be (once counted, the rows between are still read
    // when they are wanted).
    void stopReading() { m_complete = true; }
    int rowCount() const { return isCounted() ? m_total : headRows(); }

    // A row deleted by others before its identity was read has none (kGone).
    static constexpr qint64 kGone = -1;
    qint64 identity(int row);
    void setIdentity(int row, qint64 identity);
    // The row of an identity, or -1 (identities up to it are read as needed).
    int rowOf(qint64 identity);

    QVariant value(int row, int column);
    QVector<QVariant> row(int row);
    std::optional<bool> textEquals(int row, int column, const QByteArray &folded);
    void setValue(int row, int column, const QVariant &value);
    void setFromStatement(int row, const Statement &statement, const QVector<int> &columns, int offset);

    // A new row after every other (once every identity is read), and a row gone.
    void appendEmpty();
    void removeRow(int row);

    // Pages of values held now (for the memory bound).
    int pagesHeld() const { return static_cast<int>(m_pages.size()); }
    int pagesAllowed() const { return m_maxPages; }

private:
    struct Page
    {
        RowStore rows;
        quint64 lastUse = 0;
    };
    // The page holding `row`, read when it is not held (or was held shorter than it is now).
    Page &pageOf(int row);
    void load(int page);
    void evictOne();
    int headRows() const { return static_cast<int>(m_ids.size()); }
    int tailStart() const { return m_total - static_cast<int>(m_tail.size()); }
    // Rows counted whose identities are not read yet (between the first and the last ones).
    int unread() const { return isCounted() ? tailStart() - headRows() - m_gone : 0; }
    // The smallest identity read from the end (the largest there is before counting).
    qint64 tailLow() const;
    // The largest identity read from the first rows on (the smallest there is before any).
    qint64 headHigh() const;
    // Reads up to `limit` identities strictly between `low` and `high`, in
    // order or from the top down, onto the end of `into`; how many it read.
    int readBetween(qint64 low, qint64 high, int limit, bool fromTheTop, std::vector<qint64> &into);
    void readHead();
    void readTailBack();
    // What was not read between the first and the last rows is gone.
    void closeGap() { m_gone += unread(); }
    // The next read's size, twice the last up to a bound.
    static int grow(int &chunk);

    Connection &m_connection;
    QString m_table;
    QString m_rowsSql;
    QString m_identity;
    int m_columns;
    int m_maxPages;
    std::vector<qint64> m_ids;  // the first rows', ascending
    std::vector<qint64> m_tail; // the last rows', the last row first (descending)
    int m_total = -1;           // rows in all, once counted
    int m_gone = 0;             // rows after the first ones found deleted before they were read
    bool m_complete = false;
    int m_chunk = 4096;
    int m_tailChunk = 1024;
    std::unordered_map<int, Page> m_pages;
    quint64 m_clock = 0;
};
