#pragma once

#include <QString>
#include <exception>

// Number and description of a failed database operation, as the windows show them.
struct DbError
{
    long number = 0;
    QString description;
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
}

class DbException : public std::exception
{
public:
    DbException(long number, const QString &description);
    explicit DbException(const DbError &error) : m_error(error), m_what(error.description.toUtf8()) {}

    const DbError &error() const { return m_error; }
    long number() const { return m_error.number; }
    QString description() const { return m_error.description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    DbError m_error;
    QByteArray m_what;
};
