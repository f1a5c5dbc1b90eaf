#pragma once

#include "store/connection.h"
#include "store/databasecreator.h"

#include <QTemporaryDir>
#include <QVariant>

#include <memory>

class ServerDatabase;

// A fresh archive made by the same code as the delivered one (once per test
// program, then copied: the creator hashes passwords, slowly on purpose), with
// an open connection to it: a file in a temporary folder, or, when the test
// runs with TORVANE_TEST_ENGINE=postgres, a database on the test server (named
// by TORVANE_TEST_PG, which ./test.sh sets), dropped again at the end.
// Settings are pointed at the temporary folder, so no test touches the user's own.
class TestDatabase
{
public:
    enum class Content { Empty, Demo };
    explicit TestDatabase(Content content = Content::Empty, const DemoSize &size = {});
    ~TestDatabase();

    // Whether this run's tests use the server.
    static bool onServer();

    // The file path or the server URI.
    QString path() const { return m_path; }
    // Where a seat opens the archive: the file, or on a server the location
    // that logs in as the operator's role (given every right).
    // `withPassword`: for another process, the password written into a server location.
    QString seatPath(const QString &name, bool withPassword = false);
    // path() cut as the settings keep it: folder (with its trailing separator) + file name.
    QString folder() const;
    QString fileName() const;
    QString tempDir() const { return m_dir.path(); }
    Connection &connection() { return m_connection; }

    // First column of the first row, or an invalid variant when there is no row.
    QVariant scalar(const QString &sql) { return m_connection.scalar(sql); }
    int count(const QString &tableAndCondition) { return scalar(QStringLiteral("select count(*) from ") + tableAndCondition).toInt(); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<ServerDatabase> m_server;
    Connection m_connection;
};

// A database on the test server, dropped at the end: an empty one (a target
// for copies), or a copy the server makes of another, named by its URI
// (nobody may be connected to it).
class ServerDatabase
{
public:
    ServerDatabase();
    explicit ServerDatabase(const QString &sourceUri);
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase &) = delete;
    ServerDatabase &operator=(const ServerDatabase &) = delete;
    QString uri() const { return m_uri; }

private:
    QString m_name;
    QString m_uri;
};
