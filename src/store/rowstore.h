#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVector>
#include <optional>
#include <vector>

class Statement;

// The rows of a recordset, packed: each row is one record of tagged values in
// a byte arena of 1 MB blocks (growing by a block, never by copying
// everything), found by four bytes of its own. A cell is a tag byte (its type
// and length) and only the bytes its value needs: a whole number takes as many
// bytes as it has, a null none. A snapshot of a million rows costs a few
// allocations and about what its values weigh. Values turn into QVariants
// only when read.
class RowStore
{
public:
    void reset(int columns);
    int rowCount() const { return static_cast<int>(m_rowAt.size()); }
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
    // Tag byte: the type in the low three bits, the size in the high five.
    // Integer and WholeFloat keep their value in `size` bytes (sign-extended,
    // so 0 takes none); Float keeps eight; Text and Blob keep `size` bytes, or
    // with size kLongSize four bytes of length and then the bytes.
    enum Type : quint8 { Null, Integer, Float, WholeFloat, Text, Blob };
    static constexpr quint8 kLongSize = 31;
    static constexpr int kBlockBits = 20;

    static void encodeInteger(std::vector<char> &out, Type type, qint64 v);
    static void encodeDouble(std::vector<char> &out, double v);
    static void encodeBytes(std::vector<char> &out, Type type, const char *data, size_t length);
    static void encodeVariant(std::vector<char> &out, const QVariant &value);
    static void encodeStatementValue(std::vector<char> &out, const Statement &statement, int i);
    static const char *skip(const char *cell);
    static QVariant decode(const char *cell);

    // Where row `row`'s record starts, and where its cell `column` does.
    const char *record(int row) const
    {
        const quint32 at = m_rowAt[static_cast<size_t>(row)];
        return m_blocks[at >> kBlockBits].data() + (at & ((1u << kBlockBits) - 1));
    }
    const char *cellAt(int row, int column) const;
    // Stores a record and says where it is.
    quint32 store(const std::vector<char> &record);
    // Writes `row` again with the cells `encode` makes.
    template <typename Encode>
    void replaceCells(int row, Encode encode);

    int m_columns = 0;
    std::vector<quint32> m_rowAt;
    std::vector<std::vector<char>> m_blocks;
    std::vector<char> m_scratch;
};
