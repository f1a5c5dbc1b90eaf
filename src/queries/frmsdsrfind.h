#pragma once

#include "queries/querywindow.h"

class QLineEdit;
class QTableWidget;

// Period income: a report of the catalogue, numbered by Txtxh, with its own
// conditions, statement and print layout, and the conditions as a subtitle.
class frmsdSRFind : public QueryWindow
{
    Q_OBJECT
public:
    // `reportNumber` is the catalogue row the window runs (the report menu item's position).
    frmsdSRFind(AppState &state, int reportNumber, QWidget *parent = nullptr);

    // Sets the window up from its catalogue row.
    bool load() override;
    bool face_Set();
    int reportNumber() const { return m_reportNumber; }
    // "V" previews, anything else prints.
    void printlx(const QString &kind);
    Recordset *results() const { return m_results; }

private:
    // The window's catalogue row; says so and gives false when there is none.
    bool loadReport(class Clsmenu &menu);
    int m_reportNumber;
    QLineEdit *m_number;
    QTableWidget *m_grid;
    Recordset *m_results;
};
