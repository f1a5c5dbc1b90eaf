#pragma once

#include <QList>
#include <QObject>
#include <QString>
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
    QList<int> findAll(const PinyinMatcher &matcher) const;

private:
    void build() const;
    std::u32string nameAt(int row) const;

    Recordset *m_rows;
    QString m_column;
    mutable bool m_built = false;
    mutable std::vector<std::u32string> m_names;
};
