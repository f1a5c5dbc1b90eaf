#pragma once

#include "store/connection.h"

#include <QObject>
#include <QString>
#include <memory>

// The program-wide state the start routine owns: where the database lives,
// who is logged in, and the one shared connection. Windows reach it through
// AppState::current(); tests create their own.
class AppState : public QObject
{
    Q_OBJECT
public:
    AppState();
    ~AppState() override;

    static AppState *current();

    QString dataFolder() const { return m_dataFolder; }
    QString databaseFile() const { return m_databaseFile; }
    void setLocation(const QString &folder, const QString &file);
    // "data source=" + folder + "/" + file; windows with their own connection open it.
    QString connectionText() const;

    // On a server, once an operator has logged in: the location the seat's
    // sessions open (the operator's role), which connectionText() then gives.
    void setSessionLocation(const QString &location) { m_sessionLocation = location; }

    QString currentOperator() const { return m_operator; }
    void setCurrentOperator(const QString &name) { m_operator = name; }

    Connection &connection() { return *m_connection; }

    // Ends the program: programEndRequested() (every window closes on it) and the event loop stops.
    void endProgram();
    bool endRequested() const { return m_endRequested; }

signals:
    void programEndRequested();

private:
    QString m_dataFolder;
    QString m_databaseFile;
    QString m_operator;
    QString m_sessionLocation;
    std::unique_ptr<Connection> m_connection;
    bool m_endRequested = false;
};
