#pragma once

class Connection;
class Engine;

// All or nothing for a command of several statements: begun on construction,
// rolled back on destruction unless commit() ran. Nested guards join the
// outer transaction. Every transaction of the program goes through one.
class TransactionGuard
{
public:
    explicit TransactionGuard(Connection &connection);
    // On an engine still being opened (the schema's own upgrades), before a connection holds it.
    explicit TransactionGuard(Engine &engine);
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard &) = delete;
    TransactionGuard &operator=(const TransactionGuard &) = delete;

    void commit();

private:
    void begin();
    Connection *m_connection = nullptr;
    Engine *m_engine = nullptr;
    bool m_owner = false;
    bool m_done = false;
};
