#include "store/rowstore.h"

#include "store/statement.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

void RowStore::reset(int columns)
{
    m_columns = columns;
    m_rows = 0;
    m_cells.clear();
    m_blocks.clear();
    m_cells.shrink_to_fit();
    m_blocks.shrink_to_fit();
}

RowStore::Cell RowStore::store(const void *data, size_t length, Type type)
{
    Cell c;
    if (type == Integer || type == Float) {
        qint64 whole = 0;
        if (type == Integer) {
            std::memcpy(&whole, data, sizeof whole);
        } else {
            double v;
            std::memcpy(&v, data, sizeof v);
            // A fraction, -0 and what is not a number keep their eight bytes.
            const bool whole32 = v >= -2147483648.0 && v <= 2147483647.0 && v == std::trunc(v) && !(v == 0 && std::signbit(v));
            whole = whole32 ? qint64(v) : std::numeric_limits<qint64>::max();
        }
        if (whole >= std::numeric_limits<qint32>::min() && whole <= std::numeric_limits<qint32>::max()) {
            c.offset = static_cast<quint32>(static_cast<qint32>(whole));
            c.packed = static_cast<quint32>(type == Integer ? SmallInteger : WholeFloat) << 29;
            return c;
        }
    }
    c.packed = (static_cast<quint32>(length) & 0x1FFFFFFFu) | (static_cast<quint32>(type) << 29);
    if (length == 0)
        return c;
    constexpr size_t block = size_t(1) << kBlockBits;
    // A value that does not fit the last block starts a new one; one larger
    // than a block has a block of its own (nothing fits after it). The first
    // block grows as it fills: a page of a few rows needs no megabyte.
    if (m_blocks.empty() || m_blocks.back().size() + length > block) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max(m_blocks.size() == 1 ? size_t(16384) : block, length));
    }
    std::vector<char> &last = m_blocks.back();
    c.offset = static_cast<quint32>(((m_blocks.size() - 1) << kBlockBits) + last.size());
    const char *from = static_cast<const char *>(data);
    last.insert(last.end(), from, from + length);
    return c;
}

void RowStore::appendFromStatement(const Statement &statement, int offset)
{
    for (int c = 0; c < m_columns; ++c) {
        const int i = c + offset;
        switch (statement.type(i)) {
        case ValueType::Null:
            m_cells.push_back(Cell{});
            break;
        case ValueType::Integer: {
            const qint64 v = statement.integer(i);
            m_cells.push_back(store(&v, sizeof v, Integer));
            break;
        }
        case ValueType::Float: {
            const double v = statement.real(i);
            m_cells.push_back(store(&v, sizeof v, Float));
            break;
        }
        case ValueType::Blob: {
            const QByteArrayView b = statement.bytes(i);
            m_cells.push_back(store(b.data(), static_cast<size_t>(b.size()), Blob));
            break;
        }
        case ValueType::Text: {
            const QByteArrayView t = statement.bytes(i);
            m_cells.push_back(store(t.data(), static_cast<size_t>(t.size()), Text));
            break;
        }
        }
    }
    ++m_rows;
}

void RowStore::appendEmpty()
{
    m_cells.resize(m_cells.size() + m_columns);
    ++m_rows;
}

void RowStore::removeRow(int row)
{
    const auto first = m_cells.begin() + static_cast<std::ptrdiff_t>(row) * m_columns;
    m_cells.erase(first, first + m_columns);
    --m_rows;
}

QVariant RowStore::value(int row, int column) const
{
    const Cell &c = cell(row, column);
    const char *at = bytes(c);
    switch (c.type()) {
    case Null:
        return {};
    case SmallInteger:
        return QVariant::fromValue<qint64>(static_cast<qint32>(c.offset));
    case WholeFloat:
        return double(static_cast<qint32>(c.offset));
    case Integer: {
        qint64 v;
        std::memcpy(&v, at, sizeof v);
        return QVariant::fromValue<qint64>(v);
    }
    case Float: {
        double v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    case Blob:
        return QByteArray(at, static_cast<qsizetype>(c.length()));
    case Text:
        return QString::fromUtf8(at, static_cast<qsizetype>(c.length()));
    }
    return {};
}

QVector<QVariant> RowStore::row(int row) const
{
    QVector<QVariant> values(m_columns);
    for (int c = 0; c < m_columns; ++c)
        values[c] = value(row, c);
    return values;
}

void RowStore::setValue(int row, int column, const QVariant &value)
{
    Cell c;
    if (value.isNull()) {
        c = Cell{};
    } else {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool: {
            const qint64 v = value.toLongLong();
            c = store(&v, sizeof v, Integer);
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float: {
            const double v = value.toDouble();
            c = store(&v, sizeof v, Float);
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray b = value.toByteArray();
            c = store(b.constData(), static_cast<size_t>(b.size()), Blob);
            break;
        }
        default: {
            const QByteArray t = value.toString().toUtf8();
            c = store(t.constData(), static_cast<size_t>(t.size()), Text);
            break;
        }
        }
    }
    cell(row, column) = c;
}

void RowStore::setFromStatement(int row, const Statement &statement, const QVector<int> &columns, int offset)
{
    // Read the values into a fresh row at the end, then move its cells over.
    RowStore one;
    one.reset(static_cast<int>(columns.size()));
    one.appendFromStatement(statement, offset);
    for (int i = 0; i < columns.size(); ++i)
        setValue(row, columns.at(i), one.value(0, i));
}

QByteArray RowStore::foldAscii(const QByteArray &utf8)
{
    QByteArray folded = utf8;
    for (char &ch : folded)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return folded;
}

std::optional<bool> RowStore::textEquals(int row, int column, const QByteArray &folded) const
{
    const Cell &c = cell(row, column);
    if (c.type() != Text)
        return std::nullopt;
    if (c.length() != static_cast<quint32>(folded.size()))
        return false;
    const char *at = bytes(c);
    for (quint32 i = 0; i < c.length(); ++i) {
        char ch = at[i];
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
        if (ch != folded.at(i))
            return false;
    }
    return true;
}
