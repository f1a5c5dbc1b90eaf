#pragma once

#include <QString>

// The version of the schema data/schema.sql makes, kept in every new file
// (PRAGMA user_version). Files made before it was kept read 0.
constexpr int kTorvaneSchemaVersion = 1;

struct DemoSize
{
    int customers = 300;
    int tickets = 3000;
};

// Writes a new database file from the delivered schema and dictionary rows,
// optionally with the deterministic demo sample. Refuses to overwrite a file.
// Throws DbException on failure and leaves no half-written file behind.
namespace DatabaseCreator {
void create(const QString &path);
// The same with the password of the system operator `admin` set to the one given.
void create(const QString &path, const QString &adminPassword);
void createDemo(const QString &path, const DemoSize &size = {}, quint64 seed = 20031001);
}
