#include "archive/itinerarymodel.h"

#include "domain/archive/ticketcolumn.h"
#include "store/recordset.h"
#include "ui/recordsetmodel.h"

#include <algorithm>

namespace {

using namespace TicketColumn;

bool isDateColumn(int column)
{
    return column == SaleDate || column == FlightDate || column == EntryDate;
}

} // namespace

ItineraryModel::Editor ItineraryModel::editorFor(int column)
{
    switch (column) {
    case SaleDate:
    case FlightDate:
        return Editor::Date;
    case Airline:
    case Domestic:
    case Clerk:
    case Courier:
        return Editor::List;
    case CardNumber:
    case Destination:
    case Departure:
    case Flight:
    case Cabin:
    case TicketNumber:
    case Count:
    case PublishedPrice:
    case Discount:
    case SalePrice:
    case PointsRate:
    case DepartureTime:
    case Insurance:
    case Remark:
        return Editor::Text;
    default:
        return Editor::None;
    }
}

QString ItineraryModel::listClassFor(int column)
{
    switch (column) {
    case Airline:
        return QStringLiteral("航空公司");
    case Domestic:
        return QStringLiteral("内外");
    case Clerk:
        return QStringLiteral("定票员");
    case Courier:
        return QStringLiteral("送票员");
    default:
        return {};
    }
}

ItineraryModel::ItineraryModel(QObject *parent) : QAbstractTableModel(parent) {}

void ItineraryModel::fill(const Recordset &rows)
{
    beginResetModel();
    m_source = &rows;
    m_columns = rows.fieldCount();
    m_storedRows = rows.recordCount();
    m_order.resize(m_storedRows);
    for (int r = 0; r < m_storedRows; ++r)
        m_order[r] = r;
    m_added.clear();
    m_typed.clear();
    endResetModel();
}

void ItineraryModel::clearToBlankRow(int columns)
{
    beginResetModel();
    m_source = nullptr;
    m_columns = columns;
    m_storedRows = 0;
    m_added = {QStringList(columns, QString())};
    m_order = {-1};
    m_typed.clear();
    endResetModel();
}

QString ItineraryModel::storedText(int stored, int column) const
{
    const auto typed = m_typed.constFind((static_cast<quint64>(stored) << 16) | static_cast<quint64>(column));
    if (typed != m_typed.constEnd())
        return typed.value();
    if (!m_source)
        return {};
    QString text = RecordsetModel::displayText(m_source->valueAt(stored, column));
    // Dates show as yyyy-MM-dd.
    if (isDateColumn(column) && text.size() > 10)
        text = text.left(10);
    return text;
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
    if (!m_order.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, m_columns - 1));
}

int ItineraryModel::appendRow()
{
    const int row = static_cast<int>(m_order.size());
    beginInsertRows({}, row, row);
    m_added << QStringList(m_columns, QString());
    m_order << -static_cast<int>(m_added.size());
    endInsertRows();
    return row;
}

QString ItineraryModel::cell(int row, int column) const
{
    if (row < 0 || row >= m_order.size() || column < 0 || column >= m_columns)
        return {};
    const int key = m_order.at(row);
    return key >= 0 ? storedText(key, column) : m_added.at(-1 - key).at(column);
}

void ItineraryModel::setCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= m_order.size() || column < 0 || column >= m_columns)
        return;
    const int key = m_order.at(row);
    if (key >= 0)
        m_typed.insert((static_cast<quint64>(key) << 16) | static_cast<quint64>(column), text);
    else
        m_added[-1 - key][column] = text;
    emit dataChanged(index(row, column), index(row, column));
}

void ItineraryModel::sortRows(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_columns)
        return;
    emit layoutAboutToBeChanged();
    QVector<QPair<QString, int>> keyed;
    keyed.reserve(m_order.size());
    for (int r = 0; r < m_order.size(); ++r)
        keyed.append({cell(r, column), m_order.at(r)});
    std::stable_sort(keyed.begin(), keyed.end(), [order](const QPair<QString, int> &a, const QPair<QString, int> &b) {
        bool okA = false, okB = false;
        const double x = a.first.toDouble(&okA);
        const double y = b.first.toDouble(&okB);
        const int cmp = okA && okB ? (x < y ? -1 : (x > y ? 1 : 0)) : QString::compare(a.first, b.first);
        return order == Qt::AscendingOrder ? cmp < 0 : cmp > 0;
    });
    for (int r = 0; r < keyed.size(); ++r)
        m_order[r] = keyed.at(r).second;
    emit layoutChanged();
}

int ItineraryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int ItineraryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant ItineraryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_order.size() || index.column() >= m_columns)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return cell(index.row(), index.column());
    // An export takes the stored value of a cell not typed over; a typed one goes as its text.
    if (role == RecordsetModel::StoredValueRole) {
        const int key = m_order.at(index.row());
        const quint64 at = (static_cast<quint64>(std::max(key, 0)) << 16) | static_cast<quint64>(index.column());
        if (key >= 0 && m_source && !m_typed.contains(at))
            return m_source->valueAt(key, index.column());
    }
    return {};
}

bool ItineraryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_order.size() || index.column() >= m_columns)
        return false;
    setCell(index.row(), index.column(), value.toString());
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
