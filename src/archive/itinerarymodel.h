#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>
#include <QVector>

class Recordset;

// The itinerary grid's cells: the customer's ticket rows as text, as the
// operator sees and types them. Column 0 is the row id, column k the k-th
// visible dictionary row. Rows added here exist only in the grid until saved.
class ItineraryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class Editor { None, Text, Date, List };
    static Editor editorFor(int column);
    static QString listClassFor(int column); // the value list of a drop-down column

    explicit ItineraryModel(QObject *parent = nullptr);

    void fill(const Recordset &rows);
    // No tickets: one blank row under the header.
    void clearToBlankRow(int columns);
    void setHeaders(const QStringList &headers);
    void setEditMode(bool edit);
    bool editMode() const { return m_edit; }

    int appendRow();
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    // Sorts the rows by a column, numbers as numbers, text as text.
    void sortRows(int column, Qt::SortOrder order);
    // True while the table holds ticket rows read from the database.
    bool hasStoredRows() const { return m_storedRows > 0; }
    // The recordset row behind a grid row, or -1 for a row added here.
    int storedRow(int row) const { return row >= 0 && row < m_order.size() ? m_order.at(row) : -1; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // A grid row is either a stored row of the recordset (>= 0) or one added
    // here (-1 - index into m_added). Stored rows are read when shown; only
    // what the operator typed is kept here.
    QString storedText(int stored, int column) const;
    QString &editable(int row, int column);

    const Recordset *m_source = nullptr;
    QVector<int> m_order;
    QVector<QStringList> m_added;
    QHash<quint64, QString> m_typed;
    QStringList m_headers;
    int m_columns = 0;
    int m_storedRows = 0;
    bool m_edit = false;
};
