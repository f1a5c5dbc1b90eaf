#pragma once

#include "store/dberror.h"
#include "store/rowreader.h"
#include "store/rowwriter.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

class Connection;

// Whether a recordset may write its rows back. Every recordset is a snapshot
// read at open; an editable one writes a row only while the database still
// holds it as it was read (optimistic locking).
enum class LockType { ReadOnly = 1, Optimistic = 3 };

// A client-side snapshot of a query with a current row: its rows are read by
// a RowReader (every row at open, or the first ones, see setFirstRows), edits
// are held in an EditBuffer on the current row until update(), and a RowWriter
// writes them to the base table (found from the columns' origins) by the row's
// identity, only if the row is unchanged since it was read.
class Recordset : public QObject
{
    Q_OBJECT
public:
    explicit Recordset(QObject *parent = nullptr);
    ~Recordset() override;

    // `parameters` fill the statement's "?" marks, and again at each requery.
    void open(const QString &sql, Connection *connection, LockType lock = LockType::ReadOnly,
              const QVariantList &parameters = {});
    void close();
    void requery();
    // From the next open on, reads only the first `rows` rows at once (0: all
    // of them); the others come as they are needed (a row by its index, the
    // record count, move last, find, a new row) and meanwhile in idle time,
    // each announced by rowsFetched. They are the same snapshot either way.
    void setFirstRows(int rows) { m_firstRows = rows; }
    // From the next open on, a read of a whole table ("select ... from t",
    // nothing after the table) of more than `beyond` rows holds the rows'
    // identities (see RowPages) but the values of at most about `rows` rows,
    // the pages last used (rows 0: every value, the default). Rows are then in
    // the order of their identities, and those read once it pages show as they
    // are now.
    void setPagedCache(int rows, int beyond = 0)
    {
        m_pagedRows = rows;
        m_pagedBeyond = beyond;
    }
    bool isPaged() const { return m_reader->isPaged(); }
    // Values held at most and now, in rows (a paged recordset's bound).
    int rowsHeld() const;
    // Rows read so far, and whether that is all of them.
    int loadedCount() const { return m_reader->rowCount(); }
    bool isComplete() const { return m_reader->isComplete(); }
    // Why reading the rest stopped short (empty when every row was read).
    QString readError() const { return m_reader->error(); }
    // Whether row `index` exists, reading no further than it.
    bool hasRow(int index) const;
    bool isOpen() const { return m_open; }

    QString source() const { return m_sql; }
    LockType lockType() const { return m_lock; }
    bool isUpdatable() const { return m_lock != LockType::ReadOnly && m_hasIdentity; }
    QString baseTable() const { return m_baseTable; }
    Connection *connection() const { return m_connection; }

    int recordCount() const;
    bool bof() const;
    bool eof() const;
    // 0-based index of the current row (-1 before the first, recordCount() after the last).
    int currentIndex() const { return m_pos; }
    void moveTo(int index);

    void moveFirst();
    void movePrevious();
    void moveNext();
    void moveLast();

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
    // Not for a paged recordset: it throws.
    const RowStore &rowStore() const;
    // Each row's stored value of a column, in row order (pending edits aside);
    // a paged recordset reads the column alone.
    void scanStored(int column, const std::function<void(int row, const QVariant &value)> &visit) const;
    QVariant storedValueAt(int row, int column) const;
    // Hands the rows over (to a report that keeps them) and closes the recordset.
    RowStore takeRows();
    // Value of any row without moving (for item models).
    QVariant valueAt(int row, int column) const;

    void setValue(int column, const QVariant &value);
    void setValue(const QString &name, const QVariant &value);

    using EditMode = EditBuffer::Mode;
    EditMode editMode() const { return m_edit.mode; }

    // Runs before any pending edit is written (update, or a move that writes
    // it): false refuses the write, and the check has said why.
    void setWriteCheck(std::function<bool()> check) { m_writeCheck = std::move(check); }

    void addNew();
    // Writes the pending edit. A row changed or deleted by someone else since
    // it was read is not written: the row is read again, the edit dropped,
    // and DbErrorKind::Conflict thrown.
    void update();
    void cancelUpdate();
    void deleteCurrent();
    // Deletes the current row together with what `alongside` writes, in one
    // transaction. On failure nothing is deleted and the snapshot is read
    // again around the row's place (a failed commit may have dropped it).
    void deleteCurrentWith(const std::function<void()> &alongside);
    // Reads the current row again from the database (dropping a pending edit);
    // a row that is gone leaves the snapshot.
    void refreshCurrent();

signals:
    void currentRowChanged(int row);
    void fieldChanged(int column);
    void rowChanged(int row);
    void rowInserted(int row);
    // Around a row's removal: before it goes, and once it is gone.
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowsReset();
    void rowsFetched(int first, int last);
    // Reading the rest while idle failed: the rows read so far are all there will be.
    void readFailed(const DbError &error);

private:
    [[noreturn]] void fail(long number, const QString &description) const;
    void requireOpen() const;
    void requireCurrent() const;
    void requireWritable(int column) const;
    void fetch();
    bool readsWholeTable() const;
    int pagedIndexOf(int column, const QVariant &literal, int from) const;
    void detectBaseTable(const QString &sql);
    void flushPending();
    void setPosition(int index, bool announce = false);
    void dropRow(int index);
    RowWriter writer() const;

    Connection *m_connection = nullptr;
    QString m_sql;
    QString m_fetchSql;
    QVariantList m_parameters;
    LockType m_lock = LockType::ReadOnly;
    bool m_open = false;
    QString m_baseTable;
    bool m_hasIdentity = false;

    QVector<RecordColumn> m_columns;
    QHash<QString, int> m_columnByName;
    // Reading the snapshot's rows is the reader's business: a recordset's
    // const view asks it for them, and it announces them as they arrive.
    RowReader *m_reader;
    int m_firstRows = 0;
    int m_pagedRows = 0;
    int m_pagedBeyond = 0;
    int m_pos = -1;
    bool m_currentDeleted = false;

    EditBuffer m_edit; // the current row while it is being edited or added
    std::function<bool()> m_writeCheck;
};
