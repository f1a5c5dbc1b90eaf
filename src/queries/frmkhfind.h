#pragma once

#include "queries/querywindow.h"

class QTableWidget;

// Customer points query over the points summary SUMJIFEN.
class frmkhFind : public QueryWindow
{
    Q_OBJECT
public:
    explicit frmkhFind(AppState &state, QWidget *parent = nullptr);

    QString columnList() const { return m_columns; }
    // The statement of a preview or print for a condition (empty: no filter).
    QString querySql(const QString &condition) const;
    void run(const QString &mode); // "v" previews, "P" prints
    QTableWidget *grid() const { return m_grid; }

private:
    QString m_columns;
    QTableWidget *m_grid;
    Recordset *m_results;
};
