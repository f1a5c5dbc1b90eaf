#include "store/transactionguard.h"

#include "store/connection.h"

#include <sqlite3.h>

TransactionGuard::TransactionGuard(Connection &connection) : m_connection(connection)
{
    if (!m_connection.inTransaction()) {
        m_connection.execute(QStringLiteral("BEGIN IMMEDIATE"));
        m_owner = true;
    }
}

TransactionGuard::~TransactionGuard()
{
    if (m_owner && !m_done && m_connection.inTransaction())
        sqlite3_exec(m_connection.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TransactionGuard::commit()
{
    if (m_owner && !m_done)
        m_connection.execute(QStringLiteral("COMMIT"));
    m_done = true;
}
