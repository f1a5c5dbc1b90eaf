#pragma once

class Connection;

// All or nothing for a command of several statements: begun on construction,
// rolled back on destruction unless commit() ran. Nested guards join the
// outer transaction.
class TransactionGuard
{
public:
    explicit TransactionGuard(Connection &connection);
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard &) = delete;
    TransactionGuard &operator=(const TransactionGuard &) = delete;

    void commit();

private:
    Connection &m_connection;
    bool m_owner = false;
    bool m_done = false;
};
