#pragma once

#include <QDialog>

class AppState;
class Connection;
class QLabel;
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
    // The server location typed in Text2: connected to first, stored only if that works.
    void CmdServer_Click();
    // The folder of a full file name, up to and including its last separator.
    static QString folderOf(const QString &fullName);
    // A location cut as the settings keep it ("path" + "data" give it back):
    // a file at its last separator, a server URI before its database name.
    static QPair<QString, QString> splitLocation(const QString &location);
    // Stores a server location (without a password) as the one to open next.
    static void storeServerLocation(const QString &uri);
    // Asks the operator for a server's password (the store's password provider).
    static QString askPassword(const QString &location);

    // Cancel, and Escape with it, ends the program wherever the window was opened from.
    void reject() override;

signals:
    void cancelled();

private:
    // Says in LabelTls whether a server connection travels encrypted.
    void showEncryption(Connection &connection);

    AppState &m_state;
    QLineEdit *m_path;
    QLineEdit *m_server;
    QLabel *m_encryption;
};
