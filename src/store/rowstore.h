#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVector>
#include <optional>
#include <vector>

class Statement;

// The rows of a recordset, packed: every value sits in a byte arena of 1 MB
// blocks (growing by a block, never by copying everything) and each cell is a
// small descriptor, so a snapshot of 100,000 customers or a million
// tickets costs a few allocations instead of one per value. Values turn into
// QVariants only when read.
class RowStore
{
public:
    void reset(int columns);
    int rowCount() const { return m_rows; }
    int columnCount() const { return m_columns; }

    // Appends the current row of a statement (columns offset .. offset + columnCount - 1).
    void appendFromStatement(const Statement &statement, int offset);
    void appendEmpty();
    void removeRow(int row);

    QVariant value(int row, int column) const;
    QVector<QVariant> row(int row) const;
    void setValue(int row, int column, const QVariant &value);
    // Column `columns[i]` of `row` from statement column i.
    void setFromStatement(int row, const Statement &statement, const QVector<int> &columns, int offset = 0);

    // Text comparison as the database's NOCASE does it (ASCII letters folded),
    // without making a QString; `folded` is the ASCII-lower-cased UTF-8 text.
    // Nothing for a cell that is not text.
    std::optional<bool> textEquals(int row, int column, const QByteArray &folded) const;
    static QByteArray foldAscii(const QByteArray &utf8);

private:
    // A whole number that fits 32 bits is kept in the cell itself (SmallInteger,
    // and WholeFloat for a float of such a value): sums and counts take no block space.
    enum Type : quint8 { Null, Integer, Float, Text, Blob, SmallInteger, WholeFloat };
    // Eight bytes a cell: where the value starts, and its length with the type in the top bits.
    struct Cell
    {
        quint32 offset = 0;
        quint32 packed = 0;
        quint32 length() const { return packed & 0x1FFFFFFFu; }
        Type type() const { return static_cast<Type>(packed >> 29); }
    };
    Cell &cell(int row, int column) { return m_cells[static_cast<size_t>(row) * m_columns + column]; }
    const Cell &cell(int row, int column) const { return m_cells[static_cast<size_t>(row) * m_columns + column]; }
    Cell store(const void *data, size_t length, Type type);
    // Where a cell's bytes are: the block is the offset's top bits.
    static constexpr int kBlockBits = 20;
    const char *bytes(const Cell &c) const
    {
        return c.length() == 0 ? "" : m_blocks[c.offset >> kBlockBits].data() + (c.offset & ((1u << kBlockBits) - 1));
    }

    int m_columns = 0;
    int m_rows = 0;
    std::vector<Cell> m_cells;
    std::vector<std::vector<char>> m_blocks;
};
