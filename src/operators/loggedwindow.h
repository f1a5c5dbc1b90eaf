#pragma once

#include <QWidget>

class AppState;

// A working window that writes its open entry into the operator log when it
// opens and closes that entry when it closes, under its caption.
class LoggedWindow : public QWidget
{
    Q_OBJECT
public:
    LoggedWindow(AppState &state, const QString &caption, QWidget *parent = nullptr);
    ~LoggedWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    AppState &m_state;

private:
    void closeLogEntry();
    QString m_caption;
    bool m_logClosed = false;
};
