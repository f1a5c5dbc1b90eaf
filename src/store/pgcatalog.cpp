#include "store/pgcatalog.h"

#include "store/pgresult.h"

#include <libpq-fe.h>

namespace {

// The declared types of schema.sql, so the recordset treats a column alike on both engines.
QString declaredType(const QByteArray &type)
{
    if (type == "jet_date")
        return QStringLiteral("DATE");
    if (type == "jet_datetime")
        return QStringLiteral("DATETIME");
    if (type == "float8" || type == "float4" || type == "numeric")
        return QStringLiteral("REAL");
    if (type == "int8" || type == "int4" || type == "int2")
        return QStringLiteral("INTEGER");
    if (type == "bool")
        return QStringLiteral("BOOLEAN");
    if (type == "jet_text" || type == "citext" || type == "text" || type == "varchar" || type == "bpchar")
        return QStringLiteral("TEXT");
    return {};
}

} // namespace

const PgColumnFacts *PgCatalog::column(unsigned table, int attribute)
{
    if (table == 0)
        return nullptr;
    auto found = m_tables.find(table);
    if (found == m_tables.end()) {
        const QByteArray oid = QByteArray::number(table);
        const char *values[] = {oid.constData()};
        const PgResult result{PQexecParams(m_connection,
                                   "SELECT c.relname, c.relkind, a.attnum, a.attname, t.typname "
                                   "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
                                   "JOIN pg_type t ON t.oid = a.atttypid WHERE c.oid = $1 AND NOT a.attisdropped",
                                   1, nullptr, values, nullptr, nullptr, 0)};
        const pg_result *r = result.get();
        if (PQresultStatus(r) != PGRES_TUPLES_OK)
            return nullptr;
        QHash<int, PgColumnFacts> columns;
        for (int i = 0; i < PQntuples(r); ++i) {
            PgColumnFacts facts;
            facts.table = QString::fromUtf8(PQgetvalue(r, i, 0));
            facts.fromTable = PQgetvalue(r, i, 1)[0] == 'r' || PQgetvalue(r, i, 1)[0] == 'p';
            facts.column = QString::fromUtf8(PQgetvalue(r, i, 3));
            facts.declType = declaredType(QByteArray(PQgetvalue(r, i, 4)));
            columns.insert(QByteArray(PQgetvalue(r, i, 2)).toInt(), facts);
        }
        found = m_tables.insert(table, columns);
    }
    const auto column = found->constFind(attribute);
    return column == found->constEnd() ? nullptr : &*column;
}

bool PgCatalog::isTable(const QString &name) const
{
    for (const auto &columns : m_tables)
        if (!columns.isEmpty() && columns.cbegin()->table.compare(name, Qt::CaseInsensitive) == 0)
            return columns.cbegin()->fromTable;
    return false;
}
