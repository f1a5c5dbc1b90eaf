#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

class Connection;
class RowReader;

// A column of a recordset: its name, and where it comes from.
struct RecordColumn
{
    QString name;
    QString originTable;
    QString originColumn;
    QString declType;
    bool base = false; // a plain column of the base table: written back, and compared before a write
};

// The values being typed into the current row, before they are written.
struct EditBuffer
{
    enum class Mode { None, Editing, Adding };
    Mode mode = Mode::None;
    QVector<QVariant> values;
    QVector<QVariant> read; // the row as it was when the edit began, for the compare
    QVector<bool> dirty;
    int positionBeforeAdd = -1; // where an added row, given up, returns to

    void begin(Mode how, QVector<QVariant> row)
    {
        mode = how;
        dirty = QVector<bool>(row.size(), false);
        read = row;
        values = std::move(row);
    }
    void set(int column, const QVariant &value)
    {
        values[column] = value;
        dirty[column] = true;
    }
    void clear()
    {
        mode = Mode::None;
        values.clear();
        read.clear();
        dirty.clear();
    }
};

// The one place a recordset's row is written back to its table: inserted,
// updated or deleted by the row's identity, and an existing row only while the
// table still holds every value this seat read of it (optimistic locking).
class RowWriter
{
public:
    RowWriter(Connection &connection, const QString &table, const QVector<RecordColumn> &columns)
        : m_connection(connection), m_table(table), m_columns(columns)
    {
    }

    // Writes the edit of row `index` (a new row when adding); false when the row
    // changed or went meanwhile, and nothing was written. Once written, the row
    // holds what the table stored (counter, defaults, values as kept).
    bool write(RowReader &rows, int index, const EditBuffer &edit) const;
    // Deletes row `index` from the table; false when it changed or went meanwhile.
    bool remove(RowReader &rows, int index) const;
    // Reads row `index` again from the table; false when it is gone.
    bool reread(RowReader &rows, int index) const;
    // A typed value as the column keeps it (a date, a number); throws when it is none.
    QVariant normalized(int column, const QVariant &value) const;

private:
    // The base columns, quoted and comma-separated, and their indexes.
    QString baseColumnList(QVector<int> *columns) const;
    // "col1=? AND ..." comparing every base column with the row as read, and its values.
    QString sameAsRead(const QVector<QVariant> &read, QVariantList &values) const;

    Connection &m_connection;
    QString m_table;
    QVector<RecordColumn> m_columns;
};
