#include "store/dberror.h"

DbException::DbException(long number, const QString &description, DbErrorKind kind)
    : m_error{number, description, kind}, m_what(description.toUtf8())
{
}

DbException DbException::busy()
{
    return DbException(DbErrorCode::Locked, DbMessages::busy(), DbErrorKind::Busy);
}

DbException DbException::connectionLost()
{
    return DbException(DbErrorCode::GeneralFailure, DbMessages::connectionLost(), DbErrorKind::ConnectionLost);
}

DbException DbException::conflict()
{
    return DbException(DbErrorCode::ChangedMeanwhile, DbMessages::conflict(), DbErrorKind::Conflict);
}

DbException DbException::refused()
{
    return DbException(0, QString(), DbErrorKind::Refused);
}
