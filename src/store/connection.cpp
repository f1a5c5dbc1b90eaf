#include "store/connection.h"

#include "store/jetsql.h"
#include "store/sqlfunctions.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

QString errorText(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// A file deleted or moved away while open still takes commits, into a file
// nobody will open again (the engine only checks this for rollback journals,
// not for WAL). Turning such a commit into a rollback makes the save fail.
int refuseCommitToMovedFile(void *db)
{
    int moved = 0;
    if (sqlite3_file_control(static_cast<sqlite3 *>(db), "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK)
        return 0;
    return moved ? 1 : 0;
}

} // namespace

Connection::~Connection()
{
    close();
}

QString Connection::connectionText(const QString &folder, const QString &file)
{
    return QStringLiteral("data source=") + folder + QLatin1Char('/') + file;
}

QString Connection::dataSourceOf(const QString &connectionText)
{
    static const QString key = QStringLiteral("data source=");
    const qsizetype at = connectionText.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const qsizetype start = at + key.size();
    const qsizetype end = connectionText.indexOf(QLatin1Char(';'), start);
    return connectionText.mid(start, end < 0 ? -1 : end - start).trimmed();
}

void Connection::open(const QString &connectionText)
{
    m_connectionText = connectionText;
    openFile(dataSourceOf(connectionText));
}

void Connection::fail(long number, const QString &description)
{
    m_lastError = {number, description};
    throw DbException(m_lastError);
}

void Connection::fail(const QString &context)
{
    QString text = m_db ? errorText(m_db) : QStringLiteral("数据库未打开");
    if (m_db && sqlite3_extended_errcode(m_db) == SQLITE_CONSTRAINT_COMMITHOOK)
        text = QStringLiteral("数据库文件“%1”已被删除或移走，本次更改未保存").arg(m_path);
    if (!context.isEmpty())
        text = context + QStringLiteral(": ") + text;
    fail(DbErrorCode::GeneralFailure, text);
}

void Connection::openFile(const QString &path)
{
    close();
    m_path = path;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isFile())
        fail(DbErrorCode::GeneralFailure, QStringLiteral("找不到数据库文件“%1”").arg(path));

    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = db ? errorText(db) : QStringLiteral("out of memory");
        sqlite3_close(db);
        fail(DbErrorCode::GeneralFailure, QStringLiteral("无法打开数据库文件“%1”: %2").arg(path, why));
    }
    m_db = db;
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);

    // Reading the header tells a database from any other file.
    sqlite3_stmt *stmt = nullptr;
    int appId = 0;
    bool readable = sqlite3_prepare_v2(m_db, "PRAGMA application_id", -1, &stmt, nullptr) == SQLITE_OK;
    if (readable) {
        const int step = sqlite3_step(stmt);
        readable = step == SQLITE_ROW;
        if (readable)
            appId = sqlite3_column_int(stmt, 0);
    }
    sqlite3_finalize(stmt);
    if (!readable) {
        // Only the engine's "not a database" means a foreign file; anything else
        // (a read-only medium, a lock, an I/O error) is a database we could not open.
        const bool foreign = (sqlite3_errcode(m_db) & 0xff) == SQLITE_NOTADB;
        const QString why = errorText(m_db);
        close();
        m_path = path;
        if (foreign)
            fail(DbErrorCode::GeneralFailure, QStringLiteral("文件“%1”不是数据库 (%2)").arg(path, why));
        fail(DbErrorCode::GeneralFailure, QStringLiteral("无法打开数据库文件“%1”: %2").arg(path, why));
    }
    if (appId != kTorvaneApplicationId) {
        close();
        m_path = path;
        fail(DbErrorCode::GeneralFailure, QStringLiteral("文件“%1”不是本系统的数据库").arg(path));
    }

    registerSqlFunctions(m_db);
    sqlite3_commit_hook(m_db, refuseCommitToMovedFile, m_db);
    // A committed change must survive a crash or a power cut; readers never block the writer.
    sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(m_db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    // Reads go through a memory map instead of a copy per page, and a larger
    // page cache keeps a day's customers at hand.
    sqlite3_exec(m_db, "PRAGMA mmap_size=0", nullptr, nullptr, nullptr);
    sqlite3_exec(m_db, "PRAGMA cache_size=-8192", nullptr, nullptr, nullptr);
}

void Connection::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

sqlite3_stmt *Connection::prepare(const QString &sql)
{
    if (!m_db)
        fail(DbErrorCode::ObjectClosed, QStringLiteral("连接未打开"));
    const QByteArray utf8 = translateJet(sql).toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &stmt, &tail) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fail(QString());
    }
    // One statement per call: text after it (other than blanks and ';') is refused,
    // so a value can never smuggle a second statement in.
    if (tail) {
        QByteArray rest(tail);
        rest.replace(';', ' ');
        if (!rest.trimmed().isEmpty()) {
            sqlite3_finalize(stmt);
            fail(DbErrorCode::GeneralFailure, QStringLiteral("一次只能执行一条语句"));
        }
    }
    if (!stmt)
        fail(DbErrorCode::GeneralFailure, QStringLiteral("空语句"));
    return stmt;
}

int Connection::execute(const QString &sql)
{
    sqlite3_stmt *stmt = prepare(sql);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        fail(QString());
    return sqlite3_changes(m_db);
}

void Connection::executeScript(const QString &sql)
{
    if (!m_db)
        fail(DbErrorCode::ObjectClosed, QStringLiteral("连接未打开"));
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : "");
        sqlite3_free(message);
        fail(DbErrorCode::GeneralFailure, text);
    }
}

qint64 Connection::lastInsertRowId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

bool Connection::inTransaction() const
{
    return m_db && !sqlite3_get_autocommit(m_db);
}
