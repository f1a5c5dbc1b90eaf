#pragma once

#include "ui/loggedwindow.h"

class BoundGrid;
class QCheckBox;
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

    void toolbarClicked(const QString &key);
    Recordset *recordset() const { return m_rs; }

protected:
    bool loadData() override;
    void showEvent(QShowEvent *event) override;

private:
    void openList(const QString &condition);
    void deleteClosed();
    void msgrid_set();

    Recordset *m_rs;
    BoundGrid *m_grid;
    QLineEdit *m_name;
    QCheckBox *m_byDate;
    QDateEdit *m_start;
    QString m_listedAt;
    bool m_placed = false;
};
