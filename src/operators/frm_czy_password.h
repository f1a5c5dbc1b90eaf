#pragma once

#include <QDialog>

class AppState;
class QLineEdit;
class QPushButton;
class Recordset;

// The logged-in operator changes the own password: old one, new one twice.
// Three wrong old passwords close the window.
class frm_czy_password : public QDialog
{
    Q_OBJECT
public:
    explicit frm_czy_password(AppState &state, QWidget *parent = nullptr);
    ~frm_czy_password() override;

    // False when the operator has no account row (the window closes at once).
    bool hasAccount() const { return m_hasAccount; }

    void init_password();
    void last_password();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *box(int i) const { return m_boxes.at(i); }

    AppState &m_state;
    Recordset *m_account;
    QList<QLineEdit *> m_boxes;
    QPushButton *m_confirm;
    bool m_hasAccount = false;
    bool m_closing = false;
};
