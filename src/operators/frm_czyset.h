#pragma once

#include "ui/loggedwindow.h"

class BoundGrid;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QTabWidget;
class Recordset;

// Operator accounts and their rights over the twelve functions. System
// accounts never appear here.
class Frm_czyset : public LoggedWindow
{
    Q_OBJECT
public:
    explicit Frm_czyset(AppState &state, QWidget *parent = nullptr);
    ~Frm_czyset() override;

    void toolbarClicked(const QString &key);
    // Ticks the functions of the operator shown in combczy.
    void CzyqxStar();
    bool adding() const { return m_adding; }
    Recordset *accounts() const { return m_accounts; }

protected:
    bool loadData() override;

private:
    void addAccount();
    void saveRights();
    void deleteAccount();

    Recordset *m_accounts;
    bool m_adding = false;
    QTabWidget *m_tabs;
    QLineEdit *m_name, *m_password, *m_repeat;
    BoundGrid *m_grid;
    QComboBox *m_operator;
    QListWidget *m_functions;
    QCheckBox *m_all;
};
