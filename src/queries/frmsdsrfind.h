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
    explicit frmsdSRFind(AppState &state, QWidget *parent = nullptr);

    // Set up from the catalogue row once the opener has put its number into Txtxh.
    bool face_Set();
    bool isSetUp() const { return m_setUp; }
    // "V" previews, anything else prints.
    void printlx(const QString &kind);
    Recordset *results() const { return m_results; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    int reportNumber(bool *ok) const;
    // The catalogue row numbered by Txtxh; says so and gives false when there is none.
    bool loadReport(class Clsmenu &menu);
    QLineEdit *m_number;
    QTableWidget *m_grid;
    Recordset *m_results;
    bool m_setUp = false;
};
