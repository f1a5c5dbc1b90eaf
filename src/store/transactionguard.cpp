#include "store/transactionguard.h"

#include "store/connection.h"
#include "store/engine.h"

TransactionGuard::TransactionGuard(Connection &connection) : m_connection(&connection)
{
    begin();
}

TransactionGuard::TransactionGuard(Engine &engine) : m_engine(&engine)
{
    begin();
}

void TransactionGuard::begin()
{
    if (m_connection ? m_connection->inTransaction() : m_engine->inTransaction())
        return;
    if (m_connection)
        m_connection->begin();
    else
        m_engine->begin();
    m_owner = true;
}

TransactionGuard::~TransactionGuard()
{
    if (!m_owner || m_done)
        return;
    if (m_connection)
        m_connection->rollback();
    else
        m_engine->rollback();
}

void TransactionGuard::commit()
{
    if (m_owner && !m_done) {
        if (m_connection)
            m_connection->commit();
        else
            m_engine->commit();
    }
    m_done = true;
}
