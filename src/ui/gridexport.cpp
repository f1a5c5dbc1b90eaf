#include "ui/gridexport.h"

#include "ui/exportfile.h"
#include "ui/recordsetmodel.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QTableView>

ExportTable GridExport::table(const QAbstractItemView *view)
{
    ExportTable table;
    const QAbstractItemModel *model = view->model();
    // The caption of the window the grid sits in (an MDI child is not a window of its own).
    for (const QWidget *w = view; w && table.title.isEmpty(); w = w->parentWidget())
        table.title = w->windowTitle();
    if (!model)
        return table;
    QVector<int> shown;
    const auto *grid = qobject_cast<const QTableView *>(view);
    const QHeaderView *header = grid ? grid->horizontalHeader() : nullptr;
    for (int visual = 0; visual < model->columnCount(); ++visual) {
        const int logical = header ? header->logicalIndex(visual) : visual;
        if (logical < 0 || (grid && grid->isColumnHidden(logical)))
            continue;
        shown.append(logical);
        ExportColumn column;
        column.caption = model->headerData(logical, Qt::Horizontal).toString();
        table.columns.append(column);
    }
    // Rows the grid's recordset has not read yet belong to the export all the same.
    if (const auto *records = qobject_cast<const RecordsetModel *>(model); records && records->recordset())
        records->recordset()->recordCount();
    table.rowCount = model->rowCount();
    table.cell = [model, shown](int row, int column) {
        const QModelIndex index = model->index(row, shown.at(column));
        // A recordset grid gives the stored value; any other grid its text.
        const QVariant stored = model->data(index, RecordsetModel::StoredValueRole);
        return stored.isValid() ? stored : model->data(index, Qt::DisplayRole);
    };
    return table;
}

QMenu *GridExport::menu(QAbstractItemView *view)
{
    auto *menu = new QMenu(view);
    menu->setObjectName(QStringLiteral("gridExportMenu"));
    const QPointer<QAbstractItemView> grid(view);
    auto add = [&](const QString &name, const QString &text, ExportFile::Kind kind) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        QObject::connect(action, &QAction::triggered, view, [grid, kind] {
            if (grid)
                ExportFile::save(table(grid), kind, grid->window());
        });
    };
    add(QStringLiteral("gridExportExcel"), QStringLiteral("导出Excel"), ExportFile::Kind::Excel);
    add(QStringLiteral("gridExportCsv"), QStringLiteral("导出CSV"), ExportFile::Kind::Csv);
    return menu;
}

void GridExport::popup(QAbstractItemView *view, const QPoint &globalPos)
{
    QMenu *shown = menu(view);
    shown->setAttribute(Qt::WA_DeleteOnClose);
    shown->popup(globalPos);
}

void GridExport::install(QAbstractItemView *view)
{
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, view,
                     [view](const QPoint &pos) { popup(view, view->viewport()->mapToGlobal(pos)); });
}
