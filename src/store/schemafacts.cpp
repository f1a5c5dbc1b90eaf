#include "store/schemafacts.h"

#include "store/datafiles.h"
#include "store/dberror.h"

#include <sqlite3.h>

const SchemaFacts &SchemaFacts::delivered()
{
    static const SchemaFacts facts;
    return facts;
}

SchemaFacts::SchemaFacts()
{
    // The schema itself says it best: build it in memory and ask.
    sqlite3 *db = nullptr;
    sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const QByteArray schema = dataFileText(QStringLiteral("schema.sql")).toUtf8();
    if (sqlite3_exec(db, schema.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("schema.sql: ") + why);
    }
    sqlite3_stmt *list = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT name, type FROM sqlite_master WHERE type IN ('table','view') "
                       "AND name NOT LIKE 'sqlite%' ORDER BY rowid",
                       -1, &list, nullptr);
    while (sqlite3_step(list) == SQLITE_ROW) {
        const QString name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(list, 0)));
        const bool view = qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(list, 1)), "view") == 0;
        (view ? m_views : m_tables) << name;
        sqlite3_stmt *info = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?)", -1, &info, nullptr);
        const QByteArray utf8 = name.toUtf8();
        sqlite3_bind_text(info, 1, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        QStringList &columns = m_columns[name.toLower()];
        while (sqlite3_step(info) == SQLITE_ROW)
            columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(info, 0)));
        sqlite3_finalize(info);
    }
    sqlite3_finalize(list);
    sqlite3_close(db);
}

QString SchemaFacts::spelling(const QString &relation, const QString &column) const
{
    for (const QString &declared : m_columns.value(relation.toLower()))
        if (declared.compare(column, Qt::CaseInsensitive) == 0)
            return declared;
    return {};
}
