#include "store/sqliteengine.h"

#include "store/connection.h"
#include "store/jetsql.h"
#include "store/privatefile.h"
#include "store/sqlfunctions.h"
#include "store/sqlitelocks.h"
#include "store/sqlitereason.h"
#include "store/wholefile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <sqlite3.h>

namespace {

QString errorText(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

bool isBusy(int rc)
{
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
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

[[noreturn]] void failWith(const QString &text)
{
    throw DbException(DbErrorCode::GeneralFailure, text);
}

} // namespace

class SqliteStatement : public StatementBackend
{
public:
    SqliteStatement(const SqliteEngine &engine, sqlite3_stmt *stmt) : m_engine(engine), m_stmt(stmt) {}
    ~SqliteStatement() override { sqlite3_finalize(m_stmt); }
    bool readOnly() const override { return sqlite3_stmt_readonly(m_stmt) != 0; }

    void bind(int index, const QVariant &value) override
    {
        if (value.isNull()) {
            sqlite3_bind_null(m_stmt, index);
            return;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            sqlite3_bind_int(m_stmt, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
            sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = value.toByteArray();
            sqlite3_bind_blob(m_stmt, index, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDate:
            bindText(index, value.toDate().toString(QStringLiteral("yyyy-MM-dd")));
            break;
        case QMetaType::QDateTime:
            bindText(index, value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            break;
        default:
            bindText(index, value.toString());
        }
    }

    bool step() override
    {
        const int rc = sqlite3_step(m_stmt);
        const_cast<SqliteEngine &>(m_engine).notifyDone();
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE) {
            m_changes = sqlite3_changes(sqlite3_db_handle(m_stmt));
            return false;
        }
        sqlite3_reset(m_stmt);
        m_engine.fail(rc);
    }

    void reset() override { sqlite3_reset(m_stmt); }
    int columnCount() const override { return sqlite3_column_count(m_stmt); }

    ColumnInfo column(int i) const override
    {
        auto text = [](const char *t) { return t ? QString::fromUtf8(t) : QString(); };
        return {text(sqlite3_column_name(m_stmt, i)), text(sqlite3_column_table_name(m_stmt, i)),
                text(sqlite3_column_origin_name(m_stmt, i)), text(sqlite3_column_decltype(m_stmt, i))};
    }

    ValueType type(int i) const override
    {
        switch (sqlite3_column_type(m_stmt, i)) {
        case SQLITE_NULL:
            return ValueType::Null;
        case SQLITE_INTEGER:
            return ValueType::Integer;
        case SQLITE_FLOAT:
            return ValueType::Float;
        case SQLITE_BLOB:
            return ValueType::Blob;
        default:
            return ValueType::Text;
        }
    }

    qint64 integer(int i) const override { return sqlite3_column_int64(m_stmt, i); }
    double real(int i) const override { return sqlite3_column_double(m_stmt, i); }

    QByteArrayView bytes(int i) const override
    {
        const void *data = sqlite3_column_type(m_stmt, i) == SQLITE_BLOB ? sqlite3_column_blob(m_stmt, i)
                                                                         : sqlite3_column_text(m_stmt, i);
        return QByteArrayView(static_cast<const char *>(data), sqlite3_column_bytes(m_stmt, i));
    }

    int changes() const override { return m_changes; }

private:
    void bindText(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    }

    const SqliteEngine &m_engine;
    sqlite3_stmt *m_stmt;
    int m_changes = 0;
};

SqliteEngine::SqliteEngine(const QString &path) : m_path(path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isFile())
        failWith(QStringLiteral("找不到数据库文件“%1”").arg(path));

    SqliteLocks::keepLocksAcrossCloses();
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = SqliteReason::of(db, path);
        sqlite3_close(db);
        failWith(QStringLiteral("无法打开数据库文件“%1”: %2").arg(path, why));
    }
    m_db = db;
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_handler(m_db, &SqliteEngine::busyHandler, this);

    // Reading the header tells a database from any other file.
    sqlite3_stmt *stmt = nullptr;
    int appId = 0;
    int step = SQLITE_ERROR;
    if (sqlite3_prepare_v2(m_db, "PRAGMA application_id", -1, &stmt, nullptr) == SQLITE_OK) {
        step = sqlite3_step(stmt);
        if (step == SQLITE_ROW)
            appId = sqlite3_column_int(stmt, 0);
    }
    sqlite3_finalize(stmt);
    notifyDone();
    if (step != SQLITE_ROW) {
        // Only the engine's "not a database" means a foreign file; anything else
        // (a read-only medium, a lock, an I/O error) is a database we could not open.
        const int code = sqlite3_errcode(m_db);
        const QString why = SqliteReason::of(m_db, path);
        sqlite3_close(m_db);
        m_db = nullptr;
        if ((code & 0xff) == SQLITE_NOTADB)
            failWith(QStringLiteral("文件“%1”不是数据库").arg(path));
        if (isBusy(code))
            throw DbException::busy();
        failWith(QStringLiteral("无法打开数据库文件“%1”: %2").arg(path, why));
    }
    if (appId != kTorvaneApplicationId) {
        sqlite3_close(m_db);
        m_db = nullptr;
        failWith(QStringLiteral("文件“%1”不是本系统的数据库").arg(path));
    }

    registerSqlFunctions(m_db);
    sqlite3_commit_hook(m_db, refuseCommitToMovedFile, m_db);
    // A committed change must survive a crash or a power cut; readers never block the writer.
    sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(m_db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    // Deleted and replaced values (a clear password turned into its hash) are wiped from the file,
    // whatever the engine was built with.
    sqlite3_exec(m_db, "PRAGMA secure_delete=ON", nullptr, nullptr, nullptr);
    // Plain reads (no memory map) with a modest page cache keep the program's
    // memory small; the snapshot rows live in the recordsets anyway.
    sqlite3_exec(m_db, "PRAGMA mmap_size=0", nullptr, nullptr, nullptr);
    sqlite3_exec(m_db, "PRAGMA cache_size=-8192", nullptr, nullptr, nullptr);
    notifyDone();
}

SqliteEngine::~SqliteEngine()
{
    sqlite3_close_v2(m_db);
}

int SqliteEngine::busyHandler(void *engine, int count)
{
    auto *self = static_cast<SqliteEngine *>(engine);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (count == 0 || !self->m_waiting) {
        self->m_waitStarted = now;
        if (!self->m_waiting) {
            self->m_waiting = true;
            self->notifyWaiting(true);
        }
    }
    if (now - self->m_waitStarted >= self->m_busyTimeout)
        return 0;
    QThread::msleep(count < 10 ? 5 : 25);
    return 1;
}

void SqliteEngine::notifyDone()
{
    if (m_waiting) {
        m_waiting = false;
        notifyWaiting(false);
    }
}

void SqliteEngine::fail(int rc) const
{
    if (isBusy(rc))
        throw DbException::busy();
    QString text = m_db ? errorText(m_db) : QStringLiteral("数据库未打开");
    // Trouble with the file or the disk is the operator's to act on: said in
    // Chinese, the engine's words kept for the support log.
    switch (m_db ? sqlite3_errcode(m_db) & 0xff : SQLITE_OK) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_NOMEM:
        text = SqliteReason::of(m_db, m_path);
        break;
    default:
        break;
    }
    if (m_db && (rc == SQLITE_CONSTRAINT_COMMITHOOK || sqlite3_extended_errcode(m_db) == SQLITE_CONSTRAINT_COMMITHOOK))
        text = QStringLiteral("数据库文件“%1”已被删除或移走，本次更改未保存").arg(m_path);
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw DbException(DbErrorCode::GeneralFailure, text, DbErrorKind::Duplicate);
    failWith(text);
}

QString SqliteEngine::translate(const QString &sql) const
{
    return translateJet(sql);
}

std::unique_ptr<StatementBackend> SqliteEngine::prepare(const QString &sql)
{
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &stmt, &tail);
    notifyDone();
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fail(rc);
    }
    // One statement per call: text after it (other than blanks and ';') is refused,
    // so a value can never smuggle a second statement in.
    if (tail) {
        QByteArray rest(tail);
        rest.replace(';', ' ');
        if (!rest.trimmed().isEmpty()) {
            sqlite3_finalize(stmt);
            failWith(QStringLiteral("一次只能执行一条语句"));
        }
    }
    if (!stmt)
        failWith(QStringLiteral("空语句"));
    return std::make_unique<SqliteStatement>(*this, stmt);
}

void SqliteEngine::executeScript(const QString &sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    notifyDone();
    if (rc != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : "");
        sqlite3_free(message);
        if (isBusy(rc))
            throw DbException::busy();
        failWith(text);
    }
}

void SqliteEngine::begin()
{
    // IMMEDIATE takes the write lock now: a command either starts whole or waits and says so.
    const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    notifyDone();
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqliteEngine::beginSnapshot()
{
    // A read transaction keeps the snapshot of its first read until it ends (WAL).
    const int rc = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    notifyDone();
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqliteEngine::commit()
{
    const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    notifyDone();
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqliteEngine::rollback() noexcept
{
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqliteEngine::inTransaction() const
{
    return !sqlite3_get_autocommit(m_db);
}

void SqliteEngine::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = std::max(0, milliseconds);
}

QString SqliteEngine::sameValue(const QString &quotedColumn) const
{
    // IS treats two nulls as equal; BINARY sees a change of letter case too.
    return quotedColumn + QStringLiteral(" IS ? COLLATE BINARY");
}

void SqliteEngine::copyToFile(const QString &target)
{
    writeWholeFile(target, [this](const QString &temp) {
        // A connection of its own reads only committed rows, whatever this one has pending.
        sqlite3 *source = nullptr;
        sqlite3 *dest = nullptr;
        auto closeBoth = [&] {
            sqlite3_close(dest);
            sqlite3_close(source);
        };
        if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &source, SQLITE_OPEN_READONLY, nullptr)
            != SQLITE_OK) {
            const QString why = SqliteReason::of(source, m_path);
            closeBoth();
            failWith(QStringLiteral("无法读取数据库: ") + why);
        }
        sqlite3_busy_timeout(source, m_busyTimeout);
        try {
            // The backup holds what the archive holds: it is as private as the archive.
            PrivateFile::create(temp);
        } catch (...) {
            closeBoth();
            throw;
        }
        if (sqlite3_open_v2(QFile::encodeName(temp).constData(), &dest, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr)
            != SQLITE_OK) {
            const QString why = SqliteReason::of(dest, temp);
            closeBoth();
            failWith(QStringLiteral("无法写入备份文件“%1”: %2").arg(temp, why));
        }
        sqlite3_backup *backup = sqlite3_backup_init(dest, "main", source, "main");
        if (!backup) {
            const QString why = SqliteReason::of(dest, temp);
            closeBoth();
            failWith(QStringLiteral("备份失败: ") + why);
        }
        const int rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        const QString why = rc == SQLITE_DONE ? QString() : SqliteReason::of(dest, temp);
        // The copy is a plain file of its own, readable without its journal.
        if (rc == SQLITE_DONE)
            sqlite3_exec(dest, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        closeBoth();
        if (rc != SQLITE_DONE) {
            if (isBusy(rc))
                throw DbException::busy();
            failWith(QStringLiteral("备份失败: ") + why);
        }
    });
}

qint64 SqliteEngine::counterValue(const QString &table)
{
    Statement s(prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ? COLLATE NOCASE")), QString());
    s.bind(1, table);
    return s.next() ? s.integer(0) : 0;
}

void SqliteEngine::raiseCounter(const QString &table, qint64 value)
{
    // Only a counting table (AUTOINCREMENT) keeps a row in sqlite_sequence.
    Statement counting(prepare(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                              "AND name = ? COLLATE NOCASE AND sql LIKE '%AUTOINCREMENT%'")),
                       QString());
    counting.bind(1, table);
    if (!counting.next() || counting.integer(0) == 0)
        return;
    Statement raise(prepare(QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ? COLLATE NOCASE")),
                    QString());
    raise.bind(1, value).bind(2, table);
    if (raise.run() == 0) {
        Statement first(prepare(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)")), QString());
        first.bind(1, table).bind(2, value).run();
    }
}
