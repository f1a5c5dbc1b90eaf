#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <string>
#include <vector>

class PinyinMatcher;
class Recordset;

// The names of a recordset's column, held ready for pinyin search so a find
// goes over 100,000 customers between two keystrokes. Read at the first
// search, then kept in step as rows are added, written and removed.
class PinyinIndex : public QObject
{
    Q_OBJECT
public:
    PinyinIndex(Recordset *rows, const QString &column, QObject *parent = nullptr);

    // The first matching row from `from` on, going round to the first row; -1 when none.
    int find(const PinyinMatcher &matcher, int from = 0) const;

private:
    Recordset *m_rows;
    QString m_column;
    mutable bool m_built = false;
    // A name: where its text is in m_text, and the letters it can be found
    // by first (see PinyinMatcher::startLetters). Sixteen bytes and the
    // characters themselves a name: the index of a million names stays small.
    struct Name
    {
        quint64 startLetters = 0;
        quint32 at = 0;
        quint32 length = 0;
    };
    Name indexed(const QVariant &name) const;
    void build() const;
    Name nameAt(int row) const;

    mutable std::vector<Name> m_names;
    // Every name's characters one after another; a name changed or added is
    // appended, the text it replaces is left in place.
    mutable std::u32string m_text;
};
