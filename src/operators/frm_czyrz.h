#pragma once

#include "operators/loggedwindow.h"

class BoundGrid;
class QDateEdit;
class QLineEdit;
class Recordset;

// The operator log viewer: closed entries, found by operator and start date, cleared.
class Frm_czyrz : public LoggedWindow
{
    Q_OBJECT
public:
    explicit Frm_czyrz(AppState &state, QWidget *parent = nullptr);
    ~Frm_czyrz() override;

    // The listing statement for a condition (empty: all closed entries).
    static QString listSql(const QString &condition);
    // The condition of the find button.
    static QString findCondition(const QString &name, const QDate &startDate);

    void toolbarClicked(const QString &key);
    Recordset *recordset() const { return m_rs; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void openList(const QString &condition);
    void msgrid_set();

    Recordset *m_rs;
    BoundGrid *m_grid;
    QLineEdit *m_name;
    QDateEdit *m_start;
    bool m_placed = false;
};
