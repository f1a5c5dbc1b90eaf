#include "ui/recordsetmodel.h"

#include "store/recordset.h"
#include "store/sqlquote.h"
#include "ui/errorboundary.h"

#include <utility>

RecordsetModel::RecordsetModel(QObject *parent) : QAbstractTableModel(parent) {}

void RecordsetModel::setRecordset(Recordset *recordset)
{
    if (m_rs)
        disconnect(m_rs, nullptr, this, nullptr);
    m_rs = recordset;
    m_headers.clear();
    if (m_rs) {
        connect(m_rs, &Recordset::rowsReset, this, &RecordsetModel::reset);
        // Rows read after the first ones (see Recordset::setFirstRows) join at the end.
        connect(m_rs, &Recordset::rowsFetched, this, [this](int, int last) {
            if (last < m_rows)
                return;
            beginInsertRows({}, m_rows, last);
            m_rows = last + 1;
            endInsertRows();
        });
        connect(m_rs, &Recordset::rowInserted, this, [this](int row) {
            beginInsertRows({}, row, row);
            ++m_rows;
            endInsertRows();
        });
        // The views are told before the row goes, while it still reads as it was.
        connect(m_rs, &Recordset::rowAboutToBeRemoved, this, [this](int row) {
            m_removing = row < m_rows;
            if (m_removing)
                beginRemoveRows({}, row, row);
        });
        connect(m_rs, &Recordset::rowRemoved, this, [this] {
            if (!std::exchange(m_removing, false))
                return;
            --m_rows;
            endRemoveRows();
        });
        connect(m_rs, &Recordset::rowChanged, this, [this](int row) {
            if (row >= 0 && row < m_rows)
                emit dataChanged(index(row, 0), index(row, m_columns - 1));
        });
        connect(m_rs, &Recordset::fieldChanged, this, [this](int column) {
            const int row = m_rs->currentIndex();
            if (row >= 0 && row < m_rows && column < m_columns)
                emit dataChanged(index(row, column), index(row, column));
        });
        connect(m_rs, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_rows = m_columns = 0;
            endResetModel();
        });
    }
    reset();
}

void RecordsetModel::reset()
{
    beginResetModel();
    m_rows = m_rs && m_rs->isOpen() ? m_rs->loadedCount() : 0;
    m_columns = m_rs && m_rs->isOpen() ? m_rs->fieldCount() : 0;
    endResetModel();
}

void RecordsetModel::setHeader(int column, const QString &caption)
{
    m_headers.insert(column, caption);
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int RecordsetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RecordsetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QString RecordsetModel::displayText(const QVariant &value)
{
    if (value.isNull())
        return {};
    // The shortest text that reads back as the stored number: an edit that
    // leaves the cell alone writes back what was there.
    if (value.typeId() == QMetaType::Double)
        return sqlNumber(value.toDouble());
    return value.toString();
}

QVariant RecordsetModel::data(const QModelIndex &index, int role) const
{
    if (!m_rs || !index.isValid() || index.row() >= m_rows || index.column() >= m_columns)
        return {};
    const QVariant value = m_rs->valueAt(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return displayText(value);
    case Qt::EditRole:
        return value.isNull() ? QVariant(QString()) : QVariant(displayText(value));
    case StoredValueRole:
        return value;
    case Qt::TextAlignmentRole:
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool RecordsetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_editable || role != Qt::EditRole || !m_rs || !index.isValid() || index.row() >= m_rows)
        return false;
    // A refused change is explained, and the cell shows what the row holds.
    return ErrorBoundary::run([&] {
        if (m_rs->currentIndex() != index.row())
            m_rs->moveTo(index.row());
        m_rs->setValue(index.column(), value.toString().isEmpty() ? QVariant() : value);
    });
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Vertical)
        return section + 1;
    if (m_headers.contains(section))
        return m_headers.value(section);
    return m_rs && section < m_columns ? m_rs->fieldName(section) : QVariant();
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid())
        f |= Qt::ItemIsEditable;
    return f;
}
