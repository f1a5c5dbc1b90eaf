#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <span>
#include <utility>
#include <vector>

// Toneless Mandarin readings of Han characters ("zhang", "lv"), one or more
// a character. The program's table is data/pinyin.txt, embedded in the build.
class PinyinTable
{
public:
    // The embedded table, read at its first use.
    static const PinyinTable &standard();
    // A table in the text form of data/pinyin.txt: "syllable characters" a line.
    explicit PinyinTable(const QByteArray &text);

    // The syllable numbers of a character's readings; empty when it has none.
    std::span<const quint16> readings(char32_t c) const;
    QByteArrayView syllable(quint16 number) const { return m_syllables.at(number); }
    int syllableCount() const { return static_cast<int>(m_syllables.size()); }

private:
    std::vector<QByteArray> m_syllables;
    // Per character: where its readings start in m_pool (upper 24 bits) and how many (lower 8).
    std::vector<quint32> m_basic; // U+0000..U+FFFF, looked up directly
    std::vector<std::pair<char32_t, quint32>> m_supplementary; // sorted by character
    std::vector<quint16> m_pool;
};
