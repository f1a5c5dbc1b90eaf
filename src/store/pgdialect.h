#pragma once

#include <QHash>
#include <QString>
#include <functional>

// The program's SQL (the Jet dialect, as SQLite takes it after translateJet)
// rewritten for PostgreSQL, so that a statement reads the same rows with the
// same column names on both engines:
//   ?                    -> $1, $2, ...
//   [name], "Name"       -> "name" (identifiers are folded as the server folds them)
//   like                 -> ILIKE ... ESCAPE '' (no case, no escape character, as SQLite)
//   format(), now(), date(), char(), round(), ifnull(), instr(), group_concat(),
//   typeof(), total(), last_insert_rowid()
//                        -> the jet_ functions of the server schema, or the server's own
//   rowid                -> the column that keeps the order rows were written in
//   order by x [desc]    -> NULLS FIRST / NULLS LAST (nulls sort lowest, as SQLite)
// A plain read of one table comes in the order its rows were written (SQLite
// reads by rowid; the server would hand out rows in whatever order its pages
// hold them, which changes as rows are updated); the statistics tables, keyed
// by several columns, are read as they come. The outermost select list
// gets SQLite's column names: an alias keeps the case it was written in, an
// expression is named by its own text.
struct PgTranslation
{
    QString sql;
    // Names longer than the server keeps (63 bytes), by the short alias used instead.
    QHash<QString, QString> longNames;
};

// rowOrder names the column that keeps a relation's written order ("" for none, a view).
using RowOrderColumn = std::function<QString(const QString &relation)>;
PgTranslation translateForPostgres(const QString &jetSql, const RowOrderColumn &rowOrder = {});
