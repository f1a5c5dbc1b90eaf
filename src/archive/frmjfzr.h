#pragma once

#include <QDialog>

class AppState;
class BoundGrid;
class QLineEdit;
class Recordset;

// Points transfer, one ticket row at a time: the giver's rows that still
// carry points, and the card number that receives the chosen one.
class FrmJfzr : public QDialog
{
    Q_OBJECT
public:
    explicit FrmJfzr(AppState &state, QWidget *parent = nullptr);
    ~FrmJfzr() override;

    // Lists the giver's rows (on leaving Text1 or Enter in it).
    void listRows();
    void cmdOK_Click();
    Recordset *list() const { return m_list; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    AppState &m_state;
    Recordset *m_list;
    QLineEdit *m_from;
    QLineEdit *m_to;
    BoundGrid *m_grid;
};
