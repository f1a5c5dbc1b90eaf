#pragma once

#include "domain/reports/exporttable.h"

class QAbstractItemView;
class QMenu;
class QPoint;

// "导出Excel" and "导出CSV" on the context menu of a data grid: the shown
// columns in the shown order, with their captions, every row of
// the grid's model, numbers and dates typed where the model says what it holds.
namespace GridExport {
// Gives the grid the menu (on the right mouse button).
void install(QAbstractItemView *view);
// For a grid that decides itself when to offer its menus.
void popup(QAbstractItemView *view, const QPoint &globalPos);
// The menu with its two actions (`gridExportExcel`, `gridExportCsv`); the caller owns it.
QMenu *menu(QAbstractItemView *view);
ExportTable table(const QAbstractItemView *view);
}
