#include "domain/archive/pinyintable.h"

#include <QFile>
#include <QString>
#include <algorithm>

// The table is compiled into this static library; make sure it is linked in.
static void initPinyinResource()
{
    Q_INIT_RESOURCE(pinyin);
}

const PinyinTable &PinyinTable::standard()
{
    static const PinyinTable table = [] {
        initPinyinResource();
        QFile file(QStringLiteral(":/pinyin/pinyin.txt"));
        return PinyinTable(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }();
    return table;
}

PinyinTable::PinyinTable(const QByteArray &text) : m_basic(0x10000, 0)
{
    std::vector<std::pair<char32_t, quint16>> pairs;
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (line.startsWith('#') || blank <= 0)
            continue;
        const auto number = static_cast<quint16>(m_syllables.size());
        m_syllables.push_back(line.left(blank));
        for (const char32_t c : QString::fromUtf8(line.mid(blank + 1).trimmed()).toUcs4())
            pairs.emplace_back(c, number);
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    for (size_t i = 0; i < pairs.size();) {
        const char32_t c = pairs[i].first;
        const auto start = static_cast<quint32>(m_pool.size());
        for (; i < pairs.size() && pairs[i].first == c && m_pool.size() - start < 255; ++i)
            m_pool.push_back(pairs[i].second);
        while (i < pairs.size() && pairs[i].first == c)
            ++i;
        const quint32 packed = start << 8 | static_cast<quint32>(m_pool.size() - start);
        if (c < 0x10000)
            m_basic[c] = packed;
        else
            m_supplementary.emplace_back(c, packed);
    }
}

std::span<const quint16> PinyinTable::readings(char32_t c) const
{
    quint32 packed = 0;
    if (c < 0x10000) {
        packed = m_basic[c];
    } else {
        const auto it = std::lower_bound(m_supplementary.begin(), m_supplementary.end(), std::make_pair(c, quint32(0)));
        if (it != m_supplementary.end() && it->first == c)
            packed = it->second;
    }
    return {m_pool.data() + (packed >> 8), packed & 0xFFu};
}
