#pragma once

#include <QString>
#include <string>

class PinyinTable;

// A find text typed to reach a name by its pinyin. Each character of the name
// takes a piece of the text: a Latin letter or more that begin one of its
// readings ("w", "zh", "wang"), or the character itself. "wf", "wangfang",
// "wangf" and "王f" all find 王芳; "zhw" finds 张伟 and 赵薇. The whole name
// must be covered, so "wf" does not find 王芳华.
class PinyinMatcher
{
public:
    explicit PinyinMatcher(const QString &text);
    PinyinMatcher(const QString &text, const PinyinTable &table);

    // Text to look up by pinyin: a Latin letter at least, and nothing but
    // Latin letters, Han characters, blanks and apostrophes ("xi'an"). Card
    // numbers and plain Chinese names are not.
    static bool isPinyinText(const QString &text);
    bool isValid() const { return m_valid; }

    bool matches(const QString &name) const;
    bool matches(const char32_t *name, size_t length) const;

    // For a quick test ahead of matches() over many names: the Latin letters
    // the name's first character can be typed as beginning with (bit 0 for a),
    // and in the high half those of its second (bit 31 alone: there is none).
    static quint64 startLetters(const char32_t *name, size_t length, const PinyinTable &table);
    // False when no name of these start letters can match.
    bool mayMatch(quint64 startLetters) const
    {
        return m_firstLetter == 0
               || ((startLetters & m_firstLetter) != 0 && ((startLetters >> 32) & m_laterLetters) != 0);
    }

private:
    const PinyinTable &m_table;
    std::u32string m_text; // lower case, blanks and apostrophes dropped
    bool m_valid = false;
    quint32 m_firstLetter = 0; // the bit of the first letter typed; 0 when a character is typed
    quint32 m_laterLetters = 0; // the letters a second character may begin at, and bit 31
};
