#include "archive/itinerarymodel.h"

#include "store/recordset.h"
#include "ui/recordsetmodel.h"

#include <algorithm>

namespace {

bool isDateColumn(int column)
{
    return column == 2 || column == 3 || column == 24;
}

} // namespace

ItineraryModel::Editor ItineraryModel::editorFor(int column)
{
    switch (column) {
    case 2:
    case 3:
        return Editor::Date;
    case 14:
    case 16:
    case 21:
    case 22:
        return Editor::List;
    case 1:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
    case 15:
    case 17:
    case 25:
        return Editor::Text;
    default:
        return Editor::None;
    }
}

QString ItineraryModel::listClassFor(int column)
{
    switch (column) {
    case 14:
        return QStringLiteral("航空公司");
    case 16:
        return QStringLiteral("内外");
    case 21:
        return QStringLiteral("定票员");
    case 22:
        return QStringLiteral("送票员");
    default:
        return {};
    }
}

ItineraryModel::ItineraryModel(QObject *parent) : QAbstractTableModel(parent) {}

void ItineraryModel::fill(const Recordset &rows)
{
    beginResetModel();
    m_columns = rows.fieldCount();
    m_rows.clear();
    m_rows.reserve(rows.recordCount());
    for (int r = 0; r < rows.recordCount(); ++r) {
        QStringList cells;
        cells.reserve(m_columns);
        for (int c = 0; c < m_columns; ++c) {
            QString text = RecordsetModel::displayText(rows.valueAt(r, c));
            // Dates show as yyyy-MM-dd.
            if (isDateColumn(c) && text.size() > 10)
                text = text.left(10);
            cells << text;
        }
        m_rows << cells;
    }
    m_storedRows = static_cast<int>(m_rows.size());
    endResetModel();
}

void ItineraryModel::clearToBlankRow(int columns)
{
    beginResetModel();
    m_columns = columns;
    m_rows = {QStringList(columns, QString())};
    m_storedRows = 0;
    endResetModel();
}

void ItineraryModel::setHeaders(const QStringList &headers)
{
    m_headers = headers;
    if (m_columns > 0)
        emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

void ItineraryModel::setEditMode(bool edit)
{
    m_edit = edit;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, m_columns - 1));
}

int ItineraryModel::appendRow()
{
    const int row = static_cast<int>(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows << QStringList(m_columns, QString());
    endInsertRows();
    return row;
}

QString ItineraryModel::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns)
        return {};
    return m_rows.at(row).at(column);
}

void ItineraryModel::setCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns)
        return;
    m_rows[row][column] = text;
    emit dataChanged(index(row, column), index(row, column));
}

void ItineraryModel::sortRows(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_columns)
        return;
    emit layoutAboutToBeChanged();
    std::stable_sort(m_rows.begin(), m_rows.end(), [column, order](const QStringList &a, const QStringList &b) {
        bool okA = false, okB = false;
        const double x = a.at(column).toDouble(&okA);
        const double y = b.at(column).toDouble(&okB);
        const bool less = okA && okB ? x < y : QString::compare(a.at(column), b.at(column)) < 0;
        const bool greater = okA && okB ? x > y : QString::compare(a.at(column), b.at(column)) > 0;
        return order == Qt::AscendingOrder ? less : greater;
    });
    emit layoutChanged();
}

int ItineraryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ItineraryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant ItineraryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_columns)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_rows.at(index.row()).at(index.column());
    return {};
}

bool ItineraryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_rows.size() || index.column() >= m_columns)
        return false;
    m_rows[index.row()][index.column()] = value.toString();
    emit dataChanged(index, index);
    return true;
}

QVariant ItineraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Vertical)
        return section + 1;
    return section < m_headers.size() ? m_headers.at(section) : QString();
}

Qt::ItemFlags ItineraryModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_edit && index.isValid() && editorFor(index.column()) != Editor::None)
        f |= Qt::ItemIsEditable;
    return f;
}
