#pragma once

#include "store/pgresult.h"
#include "store/statement.h"

#include <QByteArray>
#include <memory>
#include <vector>

struct pg_conn;
struct pg_result;
class PgEngine;
struct PgPrepared;
struct PgBound;

// One statement on the server, prepared there once its columns are asked for
// or values are bound to it (else parsed and run in one go). Its rows arrive whole when it runs;
// values come back as SQLite would give them (booleans as 0/1, whole numbers
// as integers), and the engine's own bookkeeping column is not shown.
class PgStatement : public StatementBackend
{
public:
    PgStatement(PgEngine &engine, const QString &sql);
    ~PgStatement() override;

    void bind(int index, const QVariant &value) override;
    bool step() override;
    void reset() override;
    int columnCount() const override
    {
        ensureDescribed();
        return static_cast<int>(m_visible.size());
    }
    ColumnInfo column(int i) const override
    {
        ensureDescribed();
        return m_columns.at(static_cast<size_t>(i));
    }
    ValueType type(int i) const override;
    qint64 integer(int i) const override;
    double real(int i) const override;
    QByteArrayView bytes(int i) const override;
    int changes() const override { return m_changes; }
    PendingCount runLater() override;
    bool requireLater(const DbException &unmet) override;
    bool runSoon(bool mayFail) override;
    bool readAhead() override;
    // A value as the server is given it; false for SQL NULL. Throws for a text the server cannot keep.
    static bool textOf(const QVariant &value, QByteArray &text);
    // Reads its rows on a session of its own, a page at a time as they are asked for.
    void setStreamed() { m_streamed = true; }

private:
    enum class Kind : quint8 { Integer, Boolean, Float, Numeric, Text, Blob };

    void ensureDescribed() const;
    // The statement with the values bound now, prepared or as its text, to run or to send with another.
    // `parseWithRun`: a statement not prepared yet is parsed with this run (see PgBound::send).
    PgBound named(bool parseWithRun);
    bool everyValueBound() const;
    void describe(const pg_result *description);
    void execute();
    bool stepStreamed();
    // Starts a read in parts on its session and takes its first page.
    bool openStream();
    // Throws what the read's session answered unless it is a page of rows.
    void checkStreamed(const pg_result *result);
    void endStream();
    const char *raw(int i) const;

    PgEngine &m_engine;
    std::shared_ptr<const bool> m_engineAlive;
    QByteArray m_sql;
    std::shared_ptr<PgPrepared> m_prepared; // none until it is described or run with values
    bool m_described = false;
    bool m_write = false;
    std::vector<QByteArray> m_parameters;
    std::vector<bool> m_null;
    std::vector<int> m_visible; // server columns shown, in order
    std::vector<Kind> m_kinds;
    std::vector<ColumnInfo> m_columns;
    PgResult m_result;
    int m_row = -1;
    int m_changes = 0;
    bool m_streamed = false;
    pg_conn *m_session = nullptr; // the session a streamed read runs on, until its last row
    bool m_owed = false;          // it was taken still ending the read before (see PgSessions::take)
    bool m_streamEnded = false;
    int m_asked = 0; // rows the last page asked for
    mutable QByteArray m_blob;
};
