#include "ui/boundgrid.h"

#include "ui/twips.h"

#include "store/recordset.h"
#include "ui/errorboundary.h"
#include "ui/gridexport.h"
#include "ui/recordsetmodel.h"

#include <QHeaderView>

BoundGrid::BoundGrid(QWidget *parent) : QTableView(parent), m_model(new RecordsetModel(this))
{
    // A row goes when the recordset deletes it, and the selection model then
    // moves the current row by itself: that must not move the recordset too.
    // Connected before setModel, so this runs before the selection model hears of it.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { m_syncing = true; });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_syncing = false;
        if (Recordset *rs = recordset())
            followRecordset(rs->currentIndex());
    });
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(28);
    horizontalHeader()->setHighlightSections(false);
    GridExport::install(this);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                Recordset *rs = recordset();
                if (m_syncing || !rs || !current.isValid() || rs->currentIndex() == current.row())
                    return;
                // A pending edit that cannot be written keeps the recordset where
                // it was, and the operator is told why.
                if (!ErrorBoundary::run([&] { rs->moveTo(current.row()); })) {
                    followRecordset(rs->currentIndex());
                    return;
                }
                emit rowChosen(current.row());
            });
}

Recordset *BoundGrid::recordset() const
{
    return m_model->recordset();
}

void BoundGrid::bind(Recordset *recordset)
{
    if (Recordset *old = m_model->recordset())
        disconnect(old, nullptr, this, nullptr);
    m_model->setRecordset(recordset);
    if (recordset) {
        connect(recordset, &Recordset::currentRowChanged, this, &BoundGrid::followRecordset);
        connect(recordset, &Recordset::rowsReset, this, [this] { followRecordset(this->recordset()->currentIndex()); });
        followRecordset(recordset->currentIndex());
    }
}

void BoundGrid::followRecordset(int row)
{
    const bool wasSyncing = m_syncing;
    m_syncing = true;
    if (row >= 0 && row < m_model->rowCount()) {
        // A cell of a hidden column would never be scrolled to.
        int column = currentIndex().column();
        for (int visual = 0; (column < 0 || isColumnHidden(column)) && visual < m_model->columnCount(); ++visual)
            column = horizontalHeader()->logicalIndex(visual);
        setCurrentIndex(m_model->index(row, std::max(column, 0)));
    } else {
        selectionModel()->clearSelection();
    }
    m_syncing = wasSyncing;
}

void BoundGrid::setCaption(int column, const QString &caption)
{
    m_model->setHeader(column, caption);
}

void BoundGrid::setEditable(bool editable)
{
    m_model->setEditable(editable);
    setEditTriggers(editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                   | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked
                             : QAbstractItemView::NoEditTriggers);
}

void applyColumnWidthTwips(QTableView *view, int column, int twips)
{
    if (twips <= 0) {
        view->setColumnHidden(column, true);
        return;
    }
    view->setColumnHidden(column, false);
    // Our fonts run wider than the ones the widths were measured with: never cut the text shown.
    const int header = view->horizontalHeader()->sectionSizeHint(column);
    view->setColumnWidth(column, std::max({Twips::toPixels(twips), static_cast<QAbstractItemView *>(view)->sizeHintForColumn(column), header}));
}

void BoundGrid::setColumnWidthTwips(int column, int twips)
{
    applyColumnWidthTwips(this, column, twips);
}
