#pragma once

#include <QDialog>

class AppState;
class QLineEdit;

// The database location window: the chosen file's folder and name go to the
// program-wide state and the settings at once; they take effect at the next start.
class Frm_pathset : public QDialog
{
    Q_OBJECT
public:
    explicit Frm_pathset(AppState &state, QWidget *parent = nullptr);

    // Choose-file of the picture button.
    void CmdFlHelp_Click();
    // The folder of a full file name, up to and including its last separator.
    static QString folderOf(const QString &fullName);

    // Cancel, and Escape with it, ends the program wherever the window was opened from.
    void reject() override;

signals:
    void cancelled();

private:
    AppState &m_state;
    QLineEdit *m_path;
};
