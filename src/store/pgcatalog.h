#pragma once

#include <QHash>
#include <QString>

struct pg_conn;

// Where a result column comes from, as the server's catalog says.
struct PgColumnFacts
{
    QString table;    // the relation's name
    QString column;   // the attribute's name
    QString declType; // as SQLite would declare it: TEXT, DATE, DATETIME, REAL, INTEGER, BOOLEAN
    bool fromTable = false; // a table (not a view), so its rows have an identity
};

// Facts of the relations results come from, read once per relation (the
// result metadata names only the relation's number and the column's number,
// and only the base type of a domain).
class PgCatalog
{
public:
    explicit PgCatalog(pg_conn *connection) : m_connection(connection) {}

    const PgColumnFacts *column(unsigned table, int attribute);
    // Whether a relation of that name is a table.
    bool isTable(const QString &name) const;
    void forget() { m_tables.clear(); }

private:
    pg_conn *m_connection;
    QHash<unsigned, QHash<int, PgColumnFacts>> m_tables;
};
