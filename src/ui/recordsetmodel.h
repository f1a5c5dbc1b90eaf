#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>

#include "store/recordset.h"

// A grid's view over an open recordset: no copy of the rows, edits written
// into the recordset's current row (held until its update, as bound controls
// do). Rebinding brings back the raw column names as headers.
class RecordsetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The stored value of a cell, typed as the database holds it (for exports).
    static constexpr int StoredValueRole = Qt::UserRole + 64;

    explicit RecordsetModel(QObject *parent = nullptr);

    void setRecordset(Recordset *recordset);
    Recordset *recordset() const { return m_rs; }

    void setEditable(bool editable) { m_editable = editable; }
    bool isEditable() const { return m_editable; }
    void setHeader(int column, const QString &caption);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // How a stored value reads in a grid cell.
    static QString displayText(const QVariant &value);

private:
    void reset();

    QPointer<Recordset> m_rs;
    int m_rows = 0;
    int m_columns = 0;
    bool m_removing = false; // between a row's about-to-be-removed and its removal
    bool m_editable = false;
    QHash<int, QString> m_headers;
};
