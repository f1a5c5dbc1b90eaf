#pragma once

#include <QHash>
#include <QStringList>

// What data/schema.sql declares, read once: the tables and views of an
// archive in the order they are made, and each column's name as spelled there
// ("ZS", "CON_TYPE"), which is how SQLite reports it and the server must too.
class SchemaFacts
{
public:
    static const SchemaFacts &delivered();

    const QStringList &tables() const { return m_tables; }
    const QStringList &views() const { return m_views; }
    // Declared columns of a table or view, by any spelling of its name.
    QStringList columns(const QString &relation) const { return m_columns.value(relation.toLower()); }
    // The declared spelling of a column, or an empty string when there is none.
    QString spelling(const QString &relation, const QString &column) const;

private:
    SchemaFacts();

    QStringList m_tables;
    QStringList m_views;
    QHash<QString, QStringList> m_columns;
};
