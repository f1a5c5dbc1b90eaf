#pragma once

#include <QByteArray>
#include <QString>

struct pg_conn;

// The sessions a seat holds on one server archive: the main one, which runs
// commands and keeps their transactions, and a spare one kept idle for the
// next read in parts. Every session starts set up alike, without a round trip
// of its own.
class PgSessions
{
public:
    // `uri` as given, a password in it included.
    explicit PgSessions(const QString &uri);
    ~PgSessions();
    PgSessions(const PgSessions &) = delete;
    PgSessions &operator=(const PgSessions &) = delete;

    // A URI as shown and stored: without a password in it.
    static QString withoutPassword(const QString &uri);
    // Keeps a password written in a URI in memory for its location, for this run only.
    static void rememberPassword(const QString &uri);

    const QString &uri() const { return m_uri; }
    const QString &location() const { return m_location; }

    // Opens the main session, asking for a password when libpq's own means
    // (~/.pgpass, PGPASSWORD, a service file) give none that works. Throws DbException.
    // Opens the main session; without `ask`, a password the server refuses is
    // not asked for again but thrown as DbErrorKind::Refused.
    void connect(bool ask = true);
    pg_conn *main() const { return m_main; }
    // Opened again after the server dropped it; false when that failed. Statements
    // prepared on the old one are gone (the generation tells).
    bool reconnect();
    int generation() const { return m_generation; }

    // A second session on the same archive, set up as the main one (the one
    // given back last, when there is one); null when it cannot be had.
    // `owed`: it is in a pipeline whose answers (up to its sync) come first.
    pg_conn *take(bool *owed);
    // A second session done with: kept for the next one when it is idle, or
    // when `owed`, ending its read in a pipeline sent and not yet answered.
    void giveBack(pg_conn *session, bool owed = false);

    // How long a session waits for another seat's lock: what new sessions start with.
    void setLockTimeout(int milliseconds) { m_lockTimeout = std::max(1, milliseconds); }
    int startLockTimeout() const { return m_startLockTimeout; }

private:
    pg_conn *open(const QByteArray &password) const;
    void openMain(const QByteArray &password);

    QString m_uri;
    QString m_location;
    pg_conn *m_main = nullptr;
    pg_conn *m_spare = nullptr;
    bool m_spareOwed = false;
    int m_generation = 0;
    int m_lockTimeout = 5000;
    int m_startLockTimeout = 5000;
};
