#include "store/rowstore.h"

#include "store/statement.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include <QtGlobal>

// Numbers are kept in the host's byte order, read back on the same host.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);

namespace {

quint8 tagOf(quint8 type, quint8 size)
{
    return static_cast<quint8>(type | (size << 3));
}

// The value of the low `n` bytes of `u`, sign-extended.
qint64 signExtended(quint64 u, int n)
{
    if (n == 0)
        return 0;
    const int shift = 64 - 8 * n;
    return static_cast<qint64>(u << shift) >> shift;
}

// The fewest little-endian bytes that give `v` back when sign-extended.
int bytesFor(qint64 v)
{
    int n = 0;
    while (n < 8 && signExtended(static_cast<quint64>(v), n) != v)
        ++n;
    return n;
}

qint64 readInteger(const char *at, int n)
{
    if (n == 0)
        return 0;
    quint64 u = 0;
    std::memcpy(&u, at, static_cast<size_t>(n));
    return signExtended(u, n);
}

} // namespace

void RowStore::reset(int columns)
{
    m_columns = columns;
    m_rowAt.clear();
    m_blocks.clear();
    m_rowAt.shrink_to_fit();
    m_blocks.shrink_to_fit();
}

void RowStore::encodeInteger(std::vector<char> &out, Type type, qint64 v)
{
    const int n = bytesFor(v);
    out.push_back(static_cast<char>(tagOf(type, static_cast<quint8>(n))));
    const char *from = reinterpret_cast<const char *>(&v);
    out.insert(out.end(), from, from + n);
}

void RowStore::encodeDouble(std::vector<char> &out, double v)
{
    // A whole number keeps only the bytes it has; a fraction, -0, what is
    // not a number and what is past 2^53 keep all eight.
    constexpr double exact = 9007199254740992.0;
    if (v > -exact && v < exact && v == std::trunc(v) && !(v == 0 && std::signbit(v))) {
        encodeInteger(out, WholeFloat, static_cast<qint64>(v));
        return;
    }
    out.push_back(static_cast<char>(tagOf(Float, 8)));
    const char *from = reinterpret_cast<const char *>(&v);
    out.insert(out.end(), from, from + sizeof v);
}

void RowStore::encodeBytes(std::vector<char> &out, Type type, const char *data, size_t length)
{
    if (length < kLongSize) {
        out.push_back(static_cast<char>(tagOf(type, static_cast<quint8>(length))));
    } else {
        out.push_back(static_cast<char>(tagOf(type, kLongSize)));
        const quint32 n = static_cast<quint32>(length);
        const char *from = reinterpret_cast<const char *>(&n);
        out.insert(out.end(), from, from + sizeof n);
    }
    out.insert(out.end(), data, data + length);
}

void RowStore::encodeVariant(std::vector<char> &out, const QVariant &value)
{
    if (value.isNull()) {
        out.push_back(static_cast<char>(tagOf(Null, 0)));
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        encodeInteger(out, Integer, value.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        encodeDouble(out, value.toDouble());
        return;
    case QMetaType::QByteArray: {
        const QByteArray b = value.toByteArray();
        encodeBytes(out, Blob, b.constData(), static_cast<size_t>(b.size()));
        return;
    }
    default: {
        const QByteArray t = value.toString().toUtf8();
        encodeBytes(out, Text, t.constData(), static_cast<size_t>(t.size()));
        return;
    }
    }
}

void RowStore::encodeStatementValue(std::vector<char> &out, const Statement &statement, int i)
{
    switch (statement.type(i)) {
    case ValueType::Null:
        out.push_back(static_cast<char>(tagOf(Null, 0)));
        return;
    case ValueType::Integer:
        encodeInteger(out, Integer, statement.integer(i));
        return;
    case ValueType::Float:
        encodeDouble(out, statement.real(i));
        return;
    case ValueType::Blob: {
        const QByteArrayView b = statement.bytes(i);
        encodeBytes(out, Blob, b.data(), static_cast<size_t>(b.size()));
        return;
    }
    case ValueType::Text: {
        const QByteArrayView t = statement.bytes(i);
        encodeBytes(out, Text, t.data(), static_cast<size_t>(t.size()));
        return;
    }
    }
}

const char *RowStore::skip(const char *cell)
{
    const quint8 size = static_cast<quint8>(*cell) >> 3;
    if (size != kLongSize)
        return cell + 1 + size;
    quint32 n;
    std::memcpy(&n, cell + 1, sizeof n);
    return cell + 1 + sizeof n + n;
}

QVariant RowStore::decode(const char *cell)
{
    const quint8 tag = static_cast<quint8>(*cell);
    const quint8 size = tag >> 3;
    const char *at = cell + 1;
    qsizetype length = size;
    if (size == kLongSize) {
        quint32 n;
        std::memcpy(&n, at, sizeof n);
        at += sizeof n;
        length = n;
    }
    switch (static_cast<Type>(tag & 7)) {
    case Null:
        return {};
    case Integer:
        return QVariant::fromValue<qint64>(readInteger(at, size));
    case WholeFloat:
        return double(readInteger(at, size));
    case Float: {
        double v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    case Blob:
        return QByteArray(at, length);
    case Text:
        return QString::fromUtf8(at, length);
    }
    return {};
}

const char *RowStore::cellAt(int row, int column) const
{
    const char *at = record(row);
    for (int c = 0; c < column; ++c)
        at = skip(at);
    return at;
}

quint32 RowStore::store(const std::vector<char> &record)
{
    constexpr size_t block = size_t(1) << kBlockBits;
    const size_t length = record.size();
    // A record that does not fit the last block starts a new one; one larger
    // than a block has a block of its own (nothing fits after it). The first
    // block grows as it fills: a page of a few rows needs no megabyte.
    if (m_blocks.empty() || m_blocks.back().size() + length > block) {
        if (m_blocks.size() >= (size_t(1) << (32 - kBlockBits)))
            throw std::bad_alloc();
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max(m_blocks.size() == 1 ? size_t(16384) : block, length));
    }
    std::vector<char> &last = m_blocks.back();
    const quint32 at = static_cast<quint32>(((m_blocks.size() - 1) << kBlockBits) + last.size());
    last.insert(last.end(), record.begin(), record.end());
    return at;
}

void RowStore::appendFromStatement(const Statement &statement, int offset)
{
    m_scratch.clear();
    for (int c = 0; c < m_columns; ++c)
        encodeStatementValue(m_scratch, statement, c + offset);
    m_rowAt.push_back(store(m_scratch));
}

void RowStore::appendEmpty()
{
    m_scratch.assign(static_cast<size_t>(m_columns), static_cast<char>(tagOf(Null, 0)));
    m_rowAt.push_back(store(m_scratch));
}

void RowStore::removeRow(int row)
{
    m_rowAt.erase(m_rowAt.begin() + row);
}

QVariant RowStore::value(int row, int column) const
{
    return decode(cellAt(row, column));
}

QVector<QVariant> RowStore::row(int row) const
{
    QVector<QVariant> values(m_columns);
    const char *at = record(row);
    for (int c = 0; c < m_columns; ++c, at = skip(at))
        values[c] = decode(at);
    return values;
}

// A changed row is written again whole at the end of the arena; the old
// record stays where it was (edits are few beside the rows read). `encode`
// writes cell c and says so, or leaves it as it was.
template <typename Encode>
void RowStore::replaceCells(int row, Encode encode)
{
    m_scratch.clear();
    const char *at = record(row);
    for (int c = 0; c < m_columns; ++c) {
        const char *next = skip(at);
        if (!encode(c, m_scratch))
            m_scratch.insert(m_scratch.end(), at, next);
        at = next;
    }
    m_rowAt[static_cast<size_t>(row)] = store(m_scratch);
}

void RowStore::setValue(int row, int column, const QVariant &value)
{
    replaceCells(row, [&](int c, std::vector<char> &out) {
        if (c != column)
            return false;
        encodeVariant(out, value);
        return true;
    });
}

void RowStore::setFromStatement(int row, const Statement &statement, const QVector<int> &columns, int offset)
{
    replaceCells(row, [&](int c, std::vector<char> &out) {
        const qsizetype i = columns.indexOf(c);
        if (i < 0)
            return false;
        encodeStatementValue(out, statement, static_cast<int>(i) + offset);
        return true;
    });
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
    const char *cell = cellAt(row, column);
    const quint8 tag = static_cast<quint8>(*cell);
    if ((tag & 7) != Text)
        return std::nullopt;
    const quint8 size = tag >> 3;
    const char *at = cell + 1;
    quint32 length = size;
    if (size == kLongSize) {
        std::memcpy(&length, at, sizeof length);
        at += sizeof length;
    }
    if (length != static_cast<quint32>(folded.size()))
        return false;
    for (quint32 i = 0; i < length; ++i) {
        char ch = at[i];
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
        if (ch != folded.at(i))
            return false;
    }
    return true;
}
