#pragma once

#include "store/dberror.h"

#include <QObject>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// The application id written into every database we create; a file without it
// is not ours and is refused.
constexpr int kTorvaneApplicationId = 0x41564C52; // "AVLR"

enum class CursorLocation { Server = 2, Client = 3 };

// One open database. Statements arrive in the program's dialect and are
// translated before SQLite sees them; failures throw DbException.
class Connection
{
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // "data source=" + folder + "/" + file, as the windows pass it around.
    static QString connectionText(const QString &folder, const QString &file);
    // The file named by a connection text's data source.
    static QString dataSourceOf(const QString &connectionText);

    void setCursorLocation(CursorLocation location) { m_cursorLocation = location; }
    CursorLocation cursorLocation() const { return m_cursorLocation; }

    void open(const QString &connectionText);
    void openFile(const QString &path);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    QString filePath() const { return m_path; }
    QString connectionString() const { return m_connectionText; }

    // Runs one statement that returns no rows (INSERT, UPDATE, DELETE ...).
    // Returns the number of rows it changed.
    int execute(const QString &sql);
    // Runs a script of several statements, untranslated (schema files).
    void executeScript(const QString &sql);

    qint64 lastInsertRowId() const;

    // Prepared statement of translated SQL; the caller finalizes it.
    sqlite3_stmt *prepare(const QString &sql);
    sqlite3 *handle() const { return m_db; }

    // The error of the last failed call on this connection, as thrown.
    DbError lastError() const { return m_lastError; }
    [[noreturn]] void fail(const QString &context);
    [[noreturn]] void fail(long number, const QString &description);

    bool inTransaction() const;

private:
    sqlite3 *m_db = nullptr;
    QString m_path;
    QString m_connectionText;
    CursorLocation m_cursorLocation = CursorLocation::Client;
    DbError m_lastError;
};
