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
    // A name, and the letters it can be found by first (see PinyinMatcher::startLetters).
    struct Name
    {
        std::u32string text;
        quint64 startLetters = 0;
    };
    static Name indexed(const QVariant &name);
    void build() const;
    Name nameAt(int row) const;

    mutable std::vector<Name> m_names;
};
