#pragma once

#include <QStringList>
#include <memory>

class AppState;
class form_main;

// The start routine: location, shared connection, main window, login.
class Startup
{
public:
    explicit Startup(AppState &state);
    ~Startup();

    // Runs the start routine. True when an operator logged in and the program
    // goes on; false when it ends (login cancelled, or the database failed to
    // open and another location was chosen for the next start).
    bool run();

    // --database FILE: store FILE's folder and name as the location window would.
    static void storeDatabaseArgument(const QString &file);

    form_main *mainWindow() const { return m_main.get(); }

private:
    void fail(const QString &message);
    AppState &m_state;
    std::unique_ptr<form_main> m_main;
};
