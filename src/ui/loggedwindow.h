#pragma once

#include "ui/loadable.h"

#include <QWidget>

class AppState;

// A working window that writes its open entry into the operator log when it
// opens and closes that entry when it closes, under its caption.
class LoggedWindow : public QWidget, public Loadable
{
    Q_OBJECT
public:
    LoggedWindow(AppState &state, const QString &caption, QWidget *parent = nullptr);
    ~LoggedWindow() override;

    // Opens the log entry, then the window's own data.
    bool load() final;

protected:
    virtual bool loadData() = 0;
    void closeEvent(QCloseEvent *event) override;
    AppState &m_state;

private:
    void closeLogEntry();
    QString m_caption;
    bool m_logOpen = false;
};
