#include "store/dberror.h"

DbException::DbException(long number, const QString &description)
    : m_error{number, description}, m_what(description.toUtf8())
{
}
