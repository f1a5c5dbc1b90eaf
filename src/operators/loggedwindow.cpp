#include "operators/loggedwindow.h"

#include "operators/mod_czywrite.h"
#include "shell/appstate.h"

#include <QCloseEvent>

LoggedWindow::LoggedWindow(AppState &state, const QString &caption, QWidget *parent)
    : QWidget(parent), m_state(state), m_caption(caption)
{
    setWindowTitle(caption);
    Mod_czywrite::czyrz_open(m_state.connection(), m_state.currentOperator(), caption);
}

LoggedWindow::~LoggedWindow()
{
    closeLogEntry();
}

void LoggedWindow::closeEvent(QCloseEvent *event)
{
    closeLogEntry();
    QWidget::closeEvent(event);
}

void LoggedWindow::closeLogEntry()
{
    if (m_logClosed || !m_state.connection().isOpen())
        return;
    m_logClosed = true;
    try {
        Mod_czywrite::czyrz_close(m_state.connection(), m_caption);
    } catch (const std::exception &) {
        // The entry stays open; the next close of this window closes it.
    }
}
