#include "domain/archive/pinyinmatcher.h"

#include "domain/archive/pinyintable.h"

#include <QChar>
#include <algorithm>

namespace {

// Positions in the text are bits of one word: texts beyond that are no names.
constexpr size_t kLongest = 63;

bool isLatinLetter(char32_t c)
{
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

char32_t folded(char32_t c)
{
    return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
}

bool isHan(char32_t c)
{
    return QChar::script(c) == QChar::Script_Han;
}

// Marks inside a name that nobody types: the dot of 买买提·艾力, blanks, O'Brien's apostrophe.
bool isNameSeparator(char32_t c)
{
    return c == U' ' || c == U'\'' || c == U'\u00B7' || c == U'\u2022' || c == U'\u30FB' || c == U'.' || c == U'-';
}

} // namespace

PinyinMatcher::PinyinMatcher(const QString &text) : PinyinMatcher(text, PinyinTable::standard()) {}

PinyinMatcher::PinyinMatcher(const QString &text, const PinyinTable &table) : m_table(table)
{
    if (!isPinyinText(text))
        return;
    for (const char32_t c : text.toStdU32String())
        if (c != U' ' && c != U'\'')
            m_text.push_back(folded(c));
    m_valid = !m_text.empty() && m_text.size() <= kLongest;
    if (!m_valid || !std::all_of(m_text.begin(), m_text.end(), isLatinLetter))
        return; // a character typed: no quick test
    m_firstLetter = quint32(1) << (m_text.front() - U'a');
    // The first character takes one to six letters (the longest syllable).
    m_laterLetters = quint32(1) << 31;
    for (size_t j = 1; j < std::min<size_t>(m_text.size(), 7); ++j)
        m_laterLetters |= quint32(1) << (m_text[j] - U'a');
}

quint64 PinyinMatcher::startLetters(const char32_t *name, size_t length, const PinyinTable &table)
{
    quint32 letters[2] = {0, quint32(1) << 31};
    int found = 0;
    for (size_t i = 0; i < length && found < 2; ++i) {
        const char32_t c = name[i];
        if (isNameSeparator(c))
            continue;
        quint32 mask = 0;
        if (isLatinLetter(c))
            mask = quint32(1) << (folded(c) - U'a');
        for (const quint16 number : table.readings(c)) {
            const QByteArrayView syllable = table.syllable(number);
            if (!syllable.isEmpty() && isLatinLetter(char32_t(syllable[0])))
                mask |= quint32(1) << (folded(char32_t(syllable[0])) - U'a');
        }
        letters[found++] = mask;
    }
    return letters[0] | quint64(letters[1]) << 32;
}

bool PinyinMatcher::isPinyinText(const QString &text)
{
    bool letter = false;
    for (const char32_t c : text.toStdU32String()) {
        if (isLatinLetter(c))
            letter = true;
        else if (c != U' ' && c != U'\'' && !isHan(c))
            return false;
    }
    return letter;
}

bool PinyinMatcher::matches(const QString &name) const
{
    const std::u32string chars = name.toStdU32String();
    return matches(chars.data(), chars.size());
}

bool PinyinMatcher::matches(const char32_t *name, size_t length) const
{
    if (!m_valid)
        return false;
    const size_t n = m_text.size();
    // Bit j: the name so far can take exactly the first j characters of the text.
    quint64 reached = 1;
    for (size_t i = 0; i < length; ++i) {
        const char32_t c = name[i];
        if (isNameSeparator(c))
            continue;
        const std::span<const quint16> readings = m_table.readings(c);
        const char32_t own = folded(c);
        quint64 next = 0;
        for (size_t j = 0; j < n; ++j) {
            if (!(reached >> j & 1))
                continue;
            if (m_text[j] == own)
                next |= quint64(1) << (j + 1);
            for (const quint16 number : readings) {
                const QByteArrayView syllable = m_table.syllable(number);
                size_t k = 0;
                while (j + k < n && k < size_t(syllable.size()) && m_text[j + k] == char32_t(syllable[k]))
                    next |= quint64(1) << (j + ++k);
            }
        }
        reached = next;
        if (!reached)
            return false;
    }
    return reached >> n & 1;
}
