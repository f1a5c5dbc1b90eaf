#pragma once

#include "queries/querywindow.h"

class BoundGrid;
class QTabWidget;

// Member itinerary query: ticket rows found by the conditions, listed on the
// browse tab and previewed or printed.
class frmHuiYuanFind : public QueryWindow
{
    Q_OBJECT
public:
    explicit frmHuiYuanFind(AppState &state, QWidget *parent = nullptr);

    bool load() override;
    void Cmdfind_Click();
    void cmdview_Click();
    void Cmdprint_Click();
    Recordset *results() const { return m_results; }

private:
    // The condition text; a card number typed as Latin letters also finds the customers by the pinyin of their names.
    ConditionText conditionText();
    void previewOrPrint(bool preview);
    QTabWidget *m_tabs;
    BoundGrid *m_grid;
    Recordset *m_results;
};
