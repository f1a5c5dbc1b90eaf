#pragma once

#include "store/dberror.h"
#include "store/rowstore.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>
#include <vector>

class Connection;

enum class CursorType { ForwardOnly = 0, Keyset = 1, Dynamic = 2, Static = 3 };
enum class LockType { ReadOnly = 1, Pessimistic = 2, Optimistic = 3, BatchOptimistic = 4 };

// Positions as the old data-access layer reported them.
namespace RecordPosition {
constexpr int Unknown = -1;
constexpr int Bof = -2;
constexpr int Eof = -3;
}

// A client-side snapshot of a query: every row fetched at open, the count
// exact at once. Edits are held on the current row until update(), which
// writes the base table (found from SQLite's column origins) by rowid.
class Recordset : public QObject
{
    Q_OBJECT
public:
    using Bookmark = quint64;

    explicit Recordset(QObject *parent = nullptr);
    ~Recordset() override;

    void open(const QString &sql, Connection *connection, CursorType cursor = CursorType::Static,
              LockType lock = LockType::ReadOnly);
    void close();
    void requery();
    bool isOpen() const { return m_open; }

    QString source() const { return m_sql; }
    CursorType cursorType() const { return m_cursor; }
    LockType lockType() const { return m_lock; }
    bool isUpdatable() const { return m_lock != LockType::ReadOnly && !m_baseTable.isEmpty(); }
    QString baseTable() const { return m_baseTable; }
    Connection *connection() const { return m_connection; }

    int recordCount() const { return m_store.rowCount(); }
    bool bof() const;
    bool eof() const;
    // 0-based index of the current row (-1 before the first, recordCount() after the last).
    int currentIndex() const { return m_pos; }
    // 1-based, or RecordPosition::Bof / Eof / Unknown.
    int absolutePosition() const;
    void setAbsolutePosition(int position);
    void moveTo(int index);

    void moveFirst();
    void movePrevious();
    void moveNext();
    void moveLast();

    Bookmark bookmark() const;
    void setBookmark(Bookmark mark);

    // Searches forward from the current row (inclusive) for "col='text'" or
    // "col=number"; no match leaves the recordset at its end (eof() true).
    bool find(const QString &criterion);
    // The index of the first row from `from` (inclusive) that meets the
    // criterion, or -1; the recordset does not move.
    int indexOf(const QString &criterion, int from = 0) const;

    int fieldCount() const { return m_columns.size(); }
    QString fieldName(int column) const;
    int fieldIndex(const QString &name) const; // -1 when there is none; case-insensitive
    bool hasField(const QString &name) const { return fieldIndex(name) >= 0; }

    QVariant value(int column) const;
    QVariant value(const QString &name) const;
    QString text(const QString &name) const { return value(name).toString(); }
    // The stored rows as they were last read or written (pending edits aside).
    const RowStore &rowStore() const { return m_store; }
    // Hands the rows over (to a report that keeps them) and closes the recordset.
    RowStore takeRows();
    // Value of any row without moving (for item models).
    QVariant valueAt(int row, int column) const;

    void setValue(int column, const QVariant &value);
    void setValue(const QString &name, const QVariant &value);

    enum class EditMode { None, Editing, Adding };
    EditMode editMode() const { return m_editMode; }

    void addNew();
    void update();
    void cancelUpdate();
    void deleteCurrent();

signals:
    void currentRowChanged(int row);
    void fieldChanged(int column);
    void rowChanged(int row);
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowsReset();

private:
    struct Column
    {
        QString name;
        QString originTable;
        QString originColumn;
        QString declType;
    };

    [[noreturn]] void fail(long number, const QString &description) const;
    void requireOpen() const;
    void requireCurrent() const;
    void requireWritable(int column) const;
    void fetch();
    void detectBaseTable(const QString &sql);
    void flushPending();
    void setPosition(int index);
    void rereadRow(int index, qint64 rowid);
    QVariant normalizedForColumn(int column, const QVariant &value) const;

    Connection *m_connection = nullptr;
    QString m_sql;
    QString m_fetchSql;
    CursorType m_cursor = CursorType::Static;
    LockType m_lock = LockType::ReadOnly;
    bool m_open = false;
    QString m_baseTable;
    bool m_hasRowid = false;

    QVector<Column> m_columns;
    QHash<QString, int> m_columnByName;
    RowStore m_store;
    std::vector<qint64> m_rowids;
    std::vector<Bookmark> m_marks;
    Bookmark m_nextMark = 1;
    int m_pos = -1;
    bool m_currentDeleted = false;

    EditMode m_editMode = EditMode::None;
    int m_positionBeforeAdd = -1;
    QVector<QVariant> m_edit; // the current row while it is being edited or added
    QVector<bool> m_dirty;
};
