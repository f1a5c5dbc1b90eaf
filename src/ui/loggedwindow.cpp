#include "ui/loggedwindow.h"

#include "domain/operators/mod_czywrite.h"
#include "domain/shell/appstate.h"

#include <QCloseEvent>

LoggedWindow::LoggedWindow(AppState &state, const QString &caption, QWidget *parent)
    : QWidget(parent), m_state(state), m_caption(caption)
{
    setWindowTitle(caption);
}

LoggedWindow::~LoggedWindow()
{
    closeLogEntry();
}

bool LoggedWindow::load()
{
    Mod_czywrite::czyrz_open(m_state.connection(), m_state.currentOperator(), m_caption);
    m_logOpen = true;
    return loadData();
}

void LoggedWindow::closeEvent(QCloseEvent *event)
{
    closeLogEntry();
    QWidget::closeEvent(event);
}

void LoggedWindow::closeLogEntry()
{
    if (!m_logOpen || !m_state.connection().isOpen())
        return;
    try {
        Mod_czywrite::czyrz_close(m_state.connection(), m_caption);
        m_logOpen = false;
    } catch (const std::exception &) {
        // The entry stays open; the next close of a window of this caption closes it.
    }
}
