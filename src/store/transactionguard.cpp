#include "store/transactionguard.h"

#include "store/connection.h"

TransactionGuard::TransactionGuard(Connection &connection) : m_connection(connection)
{
    if (!m_connection.inTransaction()) {
        m_connection.begin();
        m_owner = true;
    }
}

TransactionGuard::~TransactionGuard()
{
    if (m_owner && !m_done)
        m_connection.rollback();
}

void TransactionGuard::commit()
{
    if (m_owner && !m_done)
        m_connection.commit();
    m_done = true;
}
