#include "ui/loggedwindow.h"

#include "domain/operators/mod_czywrite.h"
#include "domain/shell/appstate.h"

#include "store/connection.h"

#include <QCloseEvent>
#include <QTimer>

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
    // The log row travels with the window's first read; a window that read
    // nothing on the connection sends it alone at the end.
    Mod_czywrite::czyrz_open(m_state.connection(), m_state.currentOperator(), m_caption);
    m_logOpen = true;
    const bool loaded = loadData();
    m_state.connection().sendSoonWrites();
    return loaded;
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
        // A close held for the next read goes once the program is idle, unless a read took it first.
        QTimer::singleShot(0, &m_state, [&state = m_state] {
            try {
                if (state.connection().isOpen())
                    state.connection().sendSoonWrites();
            } catch (const DbException &e) {
                qWarning("Torvane: a log entry could not be closed: %s", qPrintable(e.description()));
            }
        });
    } catch (const std::exception &) {
        // The entry stays open; the next close of a window of this caption closes it.
    }
}
