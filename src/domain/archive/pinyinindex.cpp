#include "domain/archive/pinyinindex.h"

#include "domain/archive/pinyinmatcher.h"
#include "domain/archive/pinyintable.h"
#include "store/recordset.h"

PinyinIndex::PinyinIndex(Recordset *rows, const QString &column, QObject *parent)
    : QObject(parent), m_rows(rows), m_column(column)
{
    // Stored values only: a name being typed is not searchable until written.
    connect(rows, &Recordset::rowsReset, this, [this] {
        m_built = false;
        m_names.clear();
        m_text.clear();
    });
    connect(rows, &Recordset::rowInserted, this, [this](int row) {
        if (m_built)
            m_names.insert(m_names.begin() + row, nameAt(row));
    });
    connect(rows, &Recordset::rowChanged, this, [this](int row) {
        if (m_built)
            m_names[row] = nameAt(row);
    });
    connect(rows, &Recordset::rowRemoved, this, [this](int row) {
        if (m_built)
            m_names.erase(m_names.begin() + row);
    });
}

PinyinIndex::Name PinyinIndex::indexed(const QVariant &name) const
{
    const std::u32string text = name.toString().toStdU32String();
    Name n;
    n.at = static_cast<quint32>(m_text.size());
    n.length = static_cast<quint32>(text.size());
    n.startLetters = PinyinMatcher::startLetters(text.data(), text.size(), PinyinTable::standard());
    m_text += text;
    return n;
}

PinyinIndex::Name PinyinIndex::nameAt(int row) const
{
    return indexed(m_rows->storedValueAt(row, m_rows->fieldIndex(m_column)));
}

void PinyinIndex::build() const
{
    if (m_built)
        return;
    m_names.clear();
    m_text.clear();
    const int column = m_rows->fieldIndex(m_column);
    if (column < 0)
        m_names.resize(static_cast<size_t>(m_rows->recordCount()));
    else
        m_rows->scanStored(column, [this](int, const QVariant &name) { m_names.push_back(indexed(name)); });
    m_names.shrink_to_fit();
    m_text.shrink_to_fit();
    m_built = true;
}

int PinyinIndex::find(const PinyinMatcher &matcher, int from) const
{
    build();
    const int count = static_cast<int>(m_names.size());
    if (!matcher.isValid() || count == 0)
        return -1;
    from = from < 0 || from >= count ? 0 : from;
    for (int k = 0; k < count; ++k) {
        const int row = (from + k) % count;
        const Name &name = m_names[row];
        if (matcher.mayMatch(name.startLetters) && matcher.matches(m_text.data() + name.at, name.length))
            return row;
    }
    return -1;
}
