#include "domain/shell/appstate.h"

#include <QCoreApplication>

namespace {
AppState *g_current = nullptr;
}

AppState::AppState() : m_connection(std::make_unique<Connection>())
{
    g_current = this;
}

AppState::~AppState()
{
    if (g_current == this)
        g_current = nullptr;
}

AppState *AppState::current()
{
    return g_current;
}

void AppState::setLocation(const QString &folder, const QString &file)
{
    m_dataFolder = folder;
    m_databaseFile = file;
    m_sessionLocation.clear();
}

QString AppState::connectionText() const
{
    if (!m_sessionLocation.isEmpty())
        return QStringLiteral("data source=") + m_sessionLocation;
    return Connection::connectionText(m_dataFolder, m_databaseFile);
}

void AppState::endProgram()
{
    m_endRequested = true;
    // The windows close on this signal (the main window sees to it).
    emit programEndRequested();
    QCoreApplication::exit(0);
}
