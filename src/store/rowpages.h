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
// that walks a table too large to hold: every row's identity is kept (eight
// bytes a row, read in chunks as they are needed and meanwhile in idle time),
// the values only of the pages last used, read again by their identities when
// they are needed once more. Rows changed by others since show as they are
// now; a row deleted meanwhile shows empty until it is looked at again.
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
    bool isComplete() const { return m_complete; }
    // No more identities are read: those read so far are all there will be.
    void stopReading() { m_complete = true; }
    int rowCount() const { return static_cast<int>(m_ids.size()); }

    qint64 identity(int row) const { return m_ids[static_cast<size_t>(row)]; }
    void setIdentity(int row, qint64 identity) { m_ids[static_cast<size_t>(row)] = identity; }
    // The row of an identity among those read, or -1.
    int rowOf(qint64 identity) const;

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
    void appendIds(Statement &statement, int limit);

    Connection &m_connection;
    QString m_table;
    QString m_rowsSql;
    QString m_identity;
    int m_columns;
    int m_maxPages;
    std::vector<qint64> m_ids;
    bool m_complete = false;
    int m_chunk = 4096;
    std::unordered_map<int, Page> m_pages;
    quint64 m_clock = 0;
};
