#pragma once

#include "ui/loadable.h"

#include <QDialog>
#include <QVariant>

class AppState;
class QLineEdit;
class QPushButton;
class Recordset;

// The logged-in operator changes the own password: old one, new one twice.
// Three wrong old passwords close the window.
class frm_czy_password : public QDialog, public Loadable
{
    Q_OBJECT
public:
    explicit frm_czy_password(AppState &state, QWidget *parent = nullptr);
    ~frm_czy_password() override;

    // Reads the operator's account; false (having said so) when there is none.
    bool load() override;

    void init_password();
    void last_password();
    int wrongAttempts() const { return m_wrongAttempts; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *box(int i) const { return m_boxes.at(i); }

    AppState &m_state;
    Recordset *m_account;
    QList<QLineEdit *> m_boxes;
    QPushButton *m_confirm;
    QVariant m_stored;
    int m_wrongAttempts = 0;
    bool m_closing = false;
};
