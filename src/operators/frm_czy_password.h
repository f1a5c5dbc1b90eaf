#pragma once

#include "ui/loadable.h"

#include <QDialog>
#include <optional>

class AppState;
class QLineEdit;
class QPushButton;

// The logged-in operator changes the own password: old one, new one twice.
// Three wrong old passwords close the window. The window never holds the
// stored password: it asks the operator commands to check the typed one.
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
    // Counts a wrong old password: another try twice, then the window closes.
    void oldPasswordRefused();

    AppState &m_state;
    std::optional<qint64> m_account; // czy_no of the operator's own account
    QList<QLineEdit *> m_boxes;
    QPushButton *m_confirm;
    int m_wrongAttempts = 0;
    bool m_closing = false;
};
