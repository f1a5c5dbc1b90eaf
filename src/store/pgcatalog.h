#pragma once

#include <QHash>
#include <QString>

struct pg_conn;
struct pg_result;

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
    // The facts of every relation of the archive at once (asked with the
    // opening's questions, so no relation costs a round trip of its own later).
    static const char *everyRelationSql();
    void learnAll(const pg_result *answer);
    // Whether a relation of that name is a table.
    bool isTable(const QString &name) const;
    void forget() { m_tables.clear(); }
    bool knows(unsigned table) const { return m_tables.contains(table); }

private:
    // The columns of one relation from an answer's rows of (oid,) relname, relkind, attnum, attname, typname.
    static QHash<int, PgColumnFacts> columnsOf(const pg_result *answer, int firstRow, int rows, int offset);
    pg_conn *m_connection;
    QHash<unsigned, QHash<int, PgColumnFacts>> m_tables;
};
