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

QHash<int, PgColumnFacts> PgCatalog::columnsOf(const pg_result *r, int firstRow, int rows, int offset)
{
    QHash<int, PgColumnFacts> columns;
    for (int i = firstRow; i < firstRow + rows; ++i) {
        PgColumnFacts facts;
        facts.table = QString::fromUtf8(PQgetvalue(r, i, offset));
        facts.fromTable = PQgetvalue(r, i, offset + 1)[0] == 'r' || PQgetvalue(r, i, offset + 1)[0] == 'p';
        facts.column = QString::fromUtf8(PQgetvalue(r, i, offset + 3));
        facts.declType = declaredType(QByteArray(PQgetvalue(r, i, offset + 4)));
        columns.insert(QByteArray(PQgetvalue(r, i, offset + 2)).toInt(), facts);
    }
    return columns;
}

const char *PgCatalog::everyRelationSql()
{
    return "SELECT c.oid, c.relname, c.relkind, a.attnum, a.attname, t.typname "
           "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_attribute a ON a.attrelid = c.oid "
           "JOIN pg_type t ON t.oid = a.atttypid WHERE n.nspname = 'public' AND c.relkind IN ('r', 'p', 'v', 'm') "
           "AND NOT a.attisdropped ORDER BY c.oid";
}

void PgCatalog::learnAll(const pg_result *r)
{
    if (PQresultStatus(r) != PGRES_TUPLES_OK || PQnfields(r) != 6)
        return;
    const int rows = PQntuples(r);
    for (int first = 0; first < rows;) {
        int end = first + 1;
        while (end < rows && qstrcmp(PQgetvalue(r, end, 0), PQgetvalue(r, first, 0)) == 0)
            ++end;
        m_tables.insert(QByteArray(PQgetvalue(r, first, 0)).toUInt(), columnsOf(r, first, end - first, 1));
        first = end;
    }
}

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
        found = m_tables.insert(table, columnsOf(r, 0, PQntuples(r), 0));
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
