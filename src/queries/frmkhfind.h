#pragma once

#include "queries/querywindow.h"

class QTableWidget;

// Customer points query over the points summary SUMJIFEN.
class frmkhFind : public QueryWindow
{
    Q_OBJECT
public:
    explicit frmkhFind(AppState &state, QWidget *parent = nullptr);

    bool load() override;
    QString columnList() const { return m_columns; }
    void run(const QString &mode); // "v" previews, "P" prints
    QTableWidget *grid() const { return m_grid; }

private:
    QString m_columns;
    QTableWidget *m_grid;
};
