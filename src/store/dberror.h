#pragma once

#include <QString>
#include <exception>

// What went wrong, as far as the windows must tell the cases apart.
enum class DbErrorKind {
    Failure,  // anything else: the number and the description say what
    Busy,     // another seat or tool held the database longer than we wait
    Conflict, // the row changed or went since this window read it; nothing was written
    Refused,  // a check refused a pending edit and has already said why; a password the server refused
    Duplicate, // a key that must be unique is taken
    ConnectionLost, // the server went away mid-command; the command was not done
};

// Number and description of a failed database operation, as the windows show them.
struct DbError
{
    long number = 0;
    QString description;
    DbErrorKind kind = DbErrorKind::Failure;
};

namespace DbErrorCode {
// The general failure code the windows test for (0x80004005): every failure
// reported by the database engine itself carries it.
constexpr long GeneralFailure = -2147467259;
// Recordset misuse, numbered as the old data-access layer numbered them.
constexpr long NoCurrentRecord = 3021;
constexpr long NotUpdatable = 3251;
constexpr long ObjectClosed = 3704;
constexpr long BadCriterion = 3001;
// Several seats: the old engine's numbers for a locked database and for a
// row another user changed in between.
constexpr long Locked = 3218;
constexpr long ChangedMeanwhile = 3197;
}

namespace DbMessages {
inline QString busy() { return QStringLiteral("数据库正被其他操作员使用，请稍后再试。"); }
inline QString conflict() { return QStringLiteral("记录已被其他操作员修改，已重新读取。"); }
inline QString connectionLost()
{
    return QStringLiteral("与数据库服务器的连接已中断，本次操作没有完成，数据没有改动。请检查网络或服务器后重试。");
}
}

class DbException : public std::exception
{
public:
    DbException(long number, const QString &description, DbErrorKind kind = DbErrorKind::Failure);
    explicit DbException(const DbError &error) : m_error(error), m_what(error.description.toUtf8()) {}

    static DbException busy();
    static DbException conflict();
    static DbException connectionLost();
    static DbException refused();

    const DbError &error() const { return m_error; }
    long number() const { return m_error.number; }
    QString description() const { return m_error.description; }
    DbErrorKind kind() const { return m_error.kind; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    DbError m_error;
    QByteArray m_what;
};
