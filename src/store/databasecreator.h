#pragma once

#include <QString>

class Connection;

// The version of the schema data/schema.sql makes, kept in every new file
// (PRAGMA user_version). Files made before it was kept read 0.
constexpr int kTorvaneSchemaVersion = 1;

struct DemoSize
{
    int customers = 300;
    int tickets = 3000;
};

// Writes a new archive from the delivered schema and dictionary rows,
// optionally with the deterministic demo sample: a database file (never
// overwritten; no half-written file is left behind), or an empty database on
// a PostgreSQL server (filled in one transaction: all or nothing).
// Throws DbException on failure.
namespace DatabaseCreator {
void create(const QString &location);
// The same with the password of the system operator `admin` set to the one given.
void create(const QString &location, const QString &adminPassword);
void createDemo(const QString &location, const DemoSize &size = {}, quint64 seed = 20031001);

// A new empty database file that carries our application id, private to its owner.
void createMarkedFile(const QString &path);
// The tables, triggers and views of an archive, without rows, on an open
// connection (a marked new file, or an empty server database).
void writeSchema(Connection &connection);
}
