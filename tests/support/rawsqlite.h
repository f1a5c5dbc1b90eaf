#pragma once

#include <QFile>
#include <QString>
#include <sqlite3.h>

// The database file opened directly, beside the program's connection, for
// checks that look under the store (WAL lets both read and write).
class RawSqlite
{
public:
    explicit RawSqlite(const QString &path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~RawSqlite() { sqlite3_close_v2(m_db); }
    RawSqlite(const RawSqlite &) = delete;
    RawSqlite &operator=(const RawSqlite &) = delete;
    sqlite3 *handle() const { return m_db; }
    operator sqlite3 *() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};
