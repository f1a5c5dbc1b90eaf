#pragma once

#include "ui/loadable.h"

#include <QDialog>

class AppState;
class form_main;
class QComboBox;
class QLineEdit;
class QTimer;
class Recordset;

// The login window: an operator from the account list and the password.
// Accepted on a correct password; rejected (and the caller ends the program)
// on cancel. A wrong password may be typed again as often as needed.
class frmLogin : public QDialog, public Loadable
{
    Q_OBJECT
public:
    frmLogin(AppState &state, form_main *mainWindow, QWidget *parent = nullptr);
    ~frmLogin() override;

    // Reads the operator list; database errors propagate to the caller.
    bool load() override;
    // The login check of the OK button.
    void cmdOK_Click();

private:

    AppState &m_state;
    form_main *m_main;
    Recordset *m_operators;
    QComboBox *m_name;
    QLineEdit *m_password;
    QTimer *m_timer;
};
