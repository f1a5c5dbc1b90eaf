#pragma once

#include "store/dberror.h"
#include "store/rowpages.h"
#include "store/rowstore.h"

#include <QObject>
#include <functional>
#include <QString>
#include <limits>
#include <memory>
#include <vector>

class Connection;
class Engine;
class Statement;
class QTimer;

// The rows of one read, as one snapshot: the first ones at once, the rest as
// they are asked for and meanwhile in idle time, each batch announced by
// rowsRead. Each row keeps its identity beside it when the read asked for one
// (its first column). A write on the connection first finishes the read, so
// the rows still to come are those of the moment it started. A table too large
// to hold is read as RowPages instead: every identity, and the values of the
// pages last used.
class RowReader : public QObject
{
    Q_OBJECT
public:
    explicit RowReader(QObject *parent = nullptr);
    ~RowReader() override;

    // Takes a statement that has stepped onto its first row (`more`) and reads
    // up to `firstRows` rows of it (0: all); identities are read from column 0
    // when `withIdentity`, the columns after it are the row.
    void start(Statement statement, bool more, int columns, bool withIdentity, int firstRows, Connection &connection);
    // From the next start on, a read that goes past `rows` rows goes on as the
    // pages `make` gives, handing them the identities read so far (0: never).
    void pageBeyond(int rows, std::function<std::unique_ptr<RowPages>()> make)
    {
        m_pagedBeyond = rows;
        m_makePages = std::move(make);
    }
    // The same over pages from the start: `statement` reads the table in identity order.
    void startPaged(std::unique_ptr<RowPages> pages, Statement &statement, bool more, int firstRows);
    bool isPaged() const { return m_pages != nullptr; }
    const RowPages *pages() const { return m_pages.get(); }
    // Drops every row (a read that failed, or a recordset closed).
    void clear(int columns);
    // Reads until `wanted` rows are there or the read ends; whether they are.
    bool readUpTo(int wanted);
    bool readAll() { return readUpTo(std::numeric_limits<int>::max()); }
    // Makes the row count final, announced: a paged read counts the rows and
    // reads the last ones (not those between), any other reads every row.
    void countAll();
    bool isComplete() const { return m_pages ? m_pages->isComplete() : m_pending == nullptr; }
    // Why reading the rest stopped short (empty when every row was read).
    const QString &error() const { return m_error; }
    // Stops reading: the rows read so far are all there will be.
    void stop();

    int rowCount() const { return m_pages ? m_pages->rowCount() : m_store.rowCount(); }
    // Every row at once; not for a paged read.
    const RowStore &store() const { return m_store; }
    qint64 identity(int row) const
    {
        return m_pages ? m_pages->identity(row) : m_identities[static_cast<size_t>(row)];
    }
    void setIdentity(int row, qint64 identity);
    // The row of an identity among those read, or -1 (a paged read reads on as far as it).
    int rowOf(qint64 identity);

    QVariant value(int row, int column) const { return m_pages ? m_pages->value(row, column) : m_store.value(row, column); }
    QVector<QVariant> row(int row) const { return m_pages ? m_pages->row(row) : m_store.row(row); }
    std::optional<bool> textEquals(int row, int column, const QByteArray &folded) const
    {
        return m_pages ? m_pages->textEquals(row, column, folded) : m_store.textEquals(row, column, folded);
    }
    void setValue(int row, int column, const QVariant &value);
    void setFromStatement(int row, const Statement &statement, const QVector<int> &columns, int offset = 0);
    // A row of the snapshot added or removed by this seat's own writes.
    void appendEmpty();
    void removeRow(int row);
    // Hands the rows over; none are left.
    RowStore takeStore();

signals:
    void rowsRead(int first, int last);
    // Reading the rest while idle failed: the rows read so far are all there will be.
    void readFailed(const DbError &error);

private:
    void append(const Statement &statement);
    // Turns to pages: those given (counted, with the identities read so far), or new ones.
    void toPages(std::unique_ptr<RowPages> counted = nullptr);
    void readInIdleTime();

    RowStore m_store;
    std::vector<qint64> m_identities;
    std::unique_ptr<Statement> m_pending;
    std::unique_ptr<RowPages> m_pages;
    int m_pagedBeyond = 0;
    std::function<std::unique_ptr<RowPages>()> m_makePages;
    Connection *m_connection = nullptr;
    const Engine *m_engine = nullptr;
    bool m_withIdentity = false;
    QString m_error;
    QTimer *m_idleRead = nullptr;
};
