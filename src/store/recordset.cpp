#include "store/recordset.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/findcriterion.h"
#include "store/sqllexer.h"
#include "store/statement.h"
#include "store/transactionguard.h"

#include <QStringList>

namespace {

const char kIdentityAlias[] = "__torvane_rowid__";

// Whether a SELECT folds several rows into one at its outer level (an aggregate
// in the column list, GROUP BY or HAVING): such a row has no single table row
// to be written back to, though SQLite still hands out a rowid for it.
bool foldsRows(const QString &sql)
{
    static const QStringList aggregates = {QStringLiteral("count"), QStringLiteral("sum"), QStringLiteral("avg"),
                                           QStringLiteral("min"),   QStringLiteral("max"), QStringLiteral("total"),
                                           QStringLiteral("group_concat")};
    const SqlLexer::Tokens t(sql);
    const size_t n = t.list.size();
    bool inColumnList = true;
    QString previous;
    for (size_t i = 0; i < n; ++i) {
        const QString word = t.list[i].depth == 0 ? t.word(i) : QString();
        if (word.isEmpty())
            continue;
        if (word == QLatin1String("having") || (word == QLatin1String("by") && previous == QLatin1String("group")))
            return true;
        if (word == QLatin1String("from"))
            inColumnList = false;
        if (inColumnList && aggregates.contains(word) && t.punct(t.next(i, n), QLatin1String("(")))
            return true;
        previous = word;
    }
    return false;
}

} // namespace

Recordset::Recordset(QObject *parent) : QObject(parent), m_reader(new RowReader(this))
{
    connect(m_reader, &RowReader::rowsRead, this, &Recordset::rowsFetched);
    connect(m_reader, &RowReader::readFailed, this, [this](const DbError &error) {
        qWarning("reading the rest of %s: %s", qPrintable(m_sql), qPrintable(error.description));
        emit readFailed(error);
    });
}

Recordset::~Recordset() = default;

void Recordset::fail(long number, const QString &description) const
{
    throw DbException(number, description);
}

void Recordset::requireOpen() const
{
    if (!m_open)
        fail(DbErrorCode::ObjectClosed, QStringLiteral("对象关闭时，不允许操作。"));
}

void Recordset::requireCurrent() const
{
    requireOpen();
    if (m_currentDeleted || m_pos < 0 || m_pos >= m_reader->rowCount())
        fail(DbErrorCode::NoCurrentRecord, QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除。"));
}

void Recordset::requireWritable(int column) const
{
    if (m_lock == LockType::ReadOnly)
        fail(DbErrorCode::NotUpdatable, QStringLiteral("记录集是只读的，不能修改。"));
    if (m_baseTable.isEmpty() || !m_hasIdentity)
        fail(DbErrorCode::NotUpdatable, QStringLiteral("此查询的结果不能修改。"));
    if (column >= 0 && !m_columns.at(column).base)
        fail(DbErrorCode::NotUpdatable, QStringLiteral("字段“%1”不能修改。").arg(m_columns.at(column).name));
}

void Recordset::open(const QString &sql, Connection *connection, LockType lock, const QVariantList &parameters)
{
    if (m_open)
        close();
    if (!connection || !connection->isOpen())
        fail(DbErrorCode::ObjectClosed, QStringLiteral("连接未打开"));
    m_connection = connection;
    m_sql = sql;
    m_lock = lock;
    m_parameters = parameters;
    detectBaseTable(sql);
    fetch();
    m_open = true;
    setPosition((m_reader->rowCount() == 0) ? -1 : 0);
    emit rowsReset();
}

void Recordset::detectBaseTable(const QString &sql)
{
    m_fetchSql = sql;
    m_baseTable.clear();
    m_hasIdentity = false;
    if (m_lock == LockType::ReadOnly)
        return;

    // Only a plain select of table rows can be written back: a text test first, before
    // asking the engine (a server round trip) where the columns come from.
    const QString trimmed = sql.trimmed();
    if (!trimmed.startsWith(QLatin1String("select"), Qt::CaseInsensitive) || trimmed.size() < 7
        || !trimmed.at(6).isSpace())
        return;
    const QString rest = trimmed.mid(7).trimmed();
    if (rest.startsWith(QLatin1String("distinct"), Qt::CaseInsensitive) || foldsRows(trimmed))
        return;

    QString table;
    bool single = true;
    {
        Statement probe = m_connection->prepare(sql);
        for (int i = 0; i < probe.columnCount(); ++i) {
            const QString t = probe.column(i).originTable;
            if (t.isEmpty())
                continue;
            if (table.isEmpty())
                table = t;
            else if (t.compare(table, Qt::CaseInsensitive) != 0)
                single = false;
        }
    }
    if (table.isEmpty() || !single || !m_connection->engine().canIdentifyRows(table))
        return;

    // Ask for the row identity beside the caller's columns, so rows are written back by it.
    const QString rewritten = QStringLiteral("select %1 AS %2, ")
                                  .arg(m_connection->engine().rowIdentity(), QLatin1String(kIdentityAlias))
                              + trimmed.mid(7);
    try {
        Statement withIdentity = m_connection->prepare(rewritten);
        if (withIdentity.column(0).originTable.compare(table, Qt::CaseInsensitive) != 0)
            return;
    } catch (const DbException &) {
        return;
    }
    m_baseTable = table;
    m_hasIdentity = true;
    m_fetchSql = rewritten;
}

bool Recordset::readsWholeTable() const
{
    const SqlLexer::Tokens t(m_sql);
    const size_t n = t.list.size();
    for (size_t i = 0; i < n; ++i) {
        if (t.list[i].depth != 0 || t.word(i) != QLatin1String("from"))
            continue;
        const size_t table = t.next(i, n);
        if (table == n || (t.list[table].kind != SqlLexer::Kind::Word && t.list[table].kind != SqlLexer::Kind::Ident))
            return false;
        const size_t after = t.next(table, n);
        return after == n || (t.punct(after, QLatin1String(";")) && t.next(after, n) == n);
    }
    return false;
}

void Recordset::fetch()
{
    m_reader->stop();
    const bool pageable = m_pagedRows > 0 && m_hasIdentity && m_parameters.isEmpty() && readsWholeTable();
    const bool paged = pageable && (m_pagedBeyond == 0 || m_firstRows == 0);
    const QString identity = m_connection->engine().rowIdentity();
    const int pagedFirst = m_firstRows > 0 ? m_firstRows : RowPages::kPageRows;
    const QString inOrder = m_fetchSql + QStringLiteral(" order by %1").arg(identity);
    // Read in parts, the first rows come first.
    Statement statement = paged           ? m_connection->prepare(inOrder + QStringLiteral(" limit ?"))
                          : pageable        ? m_connection->prepareStreamed(inOrder)
                          : m_firstRows > 0 ? m_connection->prepareStreamed(m_fetchSql)
                                            : m_connection->prepare(m_fetchSql);
    if (paged)
        statement.bind(1, pagedFirst);
    else
        statement.bindAll(m_parameters);
    // Run first, then read the columns: a server answers both in one round trip.
    bool more = false;
    try {
        more = statement.next();
    } catch (...) {
        m_reader->clear(static_cast<int>(m_columns.size()));
        throw;
    }
    const int offset = m_hasIdentity ? 1 : 0;
    const int count = statement.columnCount() - offset;
    m_columns.clear();
    m_columnByName.clear();
    m_columns.reserve(count);
    for (int i = 0; i < count; ++i) {
        const ColumnInfo info = statement.column(i + offset);
        RecordColumn c{info.name, info.originTable, info.originColumn, info.declType, false};
        c.base = m_hasIdentity && !c.originColumn.isEmpty()
                 && c.originTable.compare(m_baseTable, Qt::CaseInsensitive) == 0;
        m_columns.append(c);
    }
    // The first of duplicate names is the one reachable by name.
    for (int i = count - 1; i >= 0; --i)
        m_columnByName.insert(m_columns.at(i).name.toLower(), i);
    auto pages = [this, identity, count] {
        return std::make_unique<RowPages>(*m_connection, m_baseTable, m_fetchSql, identity, count, m_pagedRows);
    };
    if (paged) {
        m_reader->startPaged(pages(), statement, more, pagedFirst);
    } else {
        m_reader->pageBeyond(pageable ? m_pagedBeyond : 0, pageable ? std::function(pages) : nullptr);
        m_reader->start(std::move(statement), more, count, m_hasIdentity, m_firstRows, *m_connection);
    }
    m_edit.clear();
    m_currentDeleted = false;
}

int Recordset::recordCount() const
{
    m_reader->countAll();
    return m_reader->rowCount();
}

bool Recordset::hasRow(int index) const
{
    return index >= 0 && (index < m_reader->rowCount() || m_reader->readUpTo(index + 1));
}

int Recordset::rowsHeld() const
{
    const RowPages *pages = m_reader->pages();
    return pages ? pages->pagesHeld() * RowPages::kPageRows : m_reader->rowCount();
}

const RowStore &Recordset::rowStore() const
{
    if (m_reader->isPaged())
        fail(DbErrorCode::GeneralFailure, QStringLiteral("记录集只保留最近用过的行"));
    m_reader->readAll();
    return m_reader->store();
}

QVariant Recordset::storedValueAt(int row, int column) const
{
    return column >= 0 && column < m_columns.size() && hasRow(row) ? m_reader->value(row, column) : QVariant();
}

void Recordset::scanStored(int column, const std::function<void(int, const QVariant &)> &visit) const
{
    requireOpen();
    m_reader->readAll();
    const int count = m_reader->rowCount();
    if (!m_reader->isPaged() || !m_columns.at(column).base) {
        for (int row = 0; row < count; ++row)
            visit(row, m_reader->value(row, column));
        return;
    }
    // The column alone, walked beside the identities (both in order); a row
    // gone meanwhile has no value, one added by others is not in this recordset.
    const Engine &engine = m_connection->engine();
    const QString identity = engine.rowIdentity();
    Statement statement = m_connection->prepareStreamed(
        QStringLiteral("select %1, %2 from %3 order by %1")
            .arg(identity, engine.quoteIdentifier(m_columns.at(column).originColumn), engine.quoteIdentifier(m_baseTable)));
    int row = 0;
    while (row < count && statement.next()) {
        const qint64 id = engine.identityOf(statement, 0);
        for (; row < count && m_reader->identity(row) != 0 && m_reader->identity(row) < id; ++row)
            visit(row, QVariant());
        if (row < count && m_reader->identity(row) == id)
            visit(row++, statement.value(1));
    }
    for (; row < count; ++row)
        visit(row, m_reader->identity(row) == 0 ? QVariant() : m_reader->value(row, column));
}

void Recordset::close()
{
    m_reader->stop();
    if (!m_open)
        return;
    m_open = false;
    m_reader->clear(0);
    m_columns.clear();
    m_columnByName.clear();
    m_edit.clear();
    m_pos = -1;
    emit rowsReset();
}

RowStore Recordset::takeRows()
{
    if (m_reader->isPaged())
        fail(DbErrorCode::GeneralFailure, QStringLiteral("记录集只保留最近用过的行"));
    RowStore rows = m_reader->takeStore();
    close();
    return rows;
}

void Recordset::requery()
{
    requireOpen();
    m_edit.clear();
    fetch();
    setPosition((m_reader->rowCount() == 0) ? -1 : 0);
    emit rowsReset();
}

bool Recordset::bof() const
{
    return !m_open || !hasRow(0) || m_pos < 0;
}

bool Recordset::eof() const
{
    return !m_open || !hasRow(0) || (m_pos >= 0 && !hasRow(m_pos));
}

void Recordset::setPosition(int index, bool announce)
{
    const bool changed = announce || index != m_pos || m_currentDeleted;
    m_pos = index;
    m_currentDeleted = false;
    if (changed)
        emit currentRowChanged(m_pos);
}

void Recordset::flushPending()
{
    if (m_edit.mode != EditMode::None)
        update();
}

void Recordset::moveTo(int index)
{
    requireOpen();
    flushPending();
    const int target = std::max(index, -1);
    setPosition(target < 0 || hasRow(target) ? target : m_reader->rowCount());
}

void Recordset::moveFirst()
{
    requireOpen();
    flushPending();
    setPosition((m_reader->rowCount() == 0) ? -1 : 0);
}

void Recordset::moveLast()
{
    requireOpen();
    flushPending();
    setPosition((m_reader->rowCount() == 0) ? -1 : recordCount() - 1);
}

void Recordset::moveNext()
{
    requireOpen();
    if (eof() && !m_currentDeleted)
        fail(DbErrorCode::NoCurrentRecord, QStringLiteral("已到记录集末尾"));
    flushPending();
    // After a delete the next row already sits at the current index.
    const int next = m_currentDeleted ? m_pos : m_pos + 1;
    setPosition(hasRow(next) ? next : m_reader->rowCount());
}

void Recordset::movePrevious()
{
    requireOpen();
    if (bof())
        fail(DbErrorCode::NoCurrentRecord, QStringLiteral("已到记录集开头"));
    flushPending();
    setPosition(std::max(m_pos - 1, -1));
}

int Recordset::indexOf(const QString &criterion, int from) const
{
    requireOpen();
    const auto parsed = FindCriterion::parse(criterion);
    if (!parsed)
        fail(DbErrorCode::BadCriterion, QStringLiteral("查找条件无效: %1").arg(criterion));
    const int column = fieldIndex(parsed->column);
    if (column < 0)
        fail(DbErrorCode::BadCriterion, QStringLiteral("查找条件中的字段“%1”不存在").arg(parsed->column));
    // Equality with a text compares the stored bytes as the database's NOCASE
    // does, without making a string of every row.
    const bool textEquality = parsed->textLiteral && parsed->op == QLatin1String("=");
    // A paged recordset asks the table; a row being edited is compared as typed, so not then.
    if (textEquality && m_reader->isPaged() && m_columns.at(column).base && m_edit.mode == EditMode::None)
        return pagedIndexOf(column, parsed->literal, from);
    const QByteArray folded = textEquality ? RowStore::foldAscii(parsed->literal.toString().toUtf8()) : QByteArray();
    for (int i = std::max(from, 0); hasRow(i); ++i) {
        if (textEquality && !(m_edit.mode != EditMode::None && i == m_pos)) {
            if (const auto equal = m_reader->textEquals(i, column, folded)) {
                if (*equal)
                    return i;
                continue;
            }
        }
        if (parsed->matches(valueAt(i, column)))
            return i;
    }
    return -1;
}

int Recordset::pagedIndexOf(int column, const QVariant &literal, int from) const
{
    const int start = std::max(from, 0);
    if (!hasRow(start))
        return -1;
    const Engine &engine = m_connection->engine();
    const QString identity = engine.rowIdentity();
    // The searched columns' indexes hold the identity after the value (a
    // SQLite index always does; the server's name index is made so), so the
    // first identity is found without a sort and without walking rows.
    Statement statement = m_connection->prepare(
        QStringLiteral("select %1 from %2 where %3 = ? and %1 >= ? order by %1 limit 1")
            .arg(identity, engine.quoteIdentifier(m_baseTable), engine.quoteIdentifier(m_columns.at(column).originColumn)));
    // A row written by others after these rows were read is not among them: search on past it.
    for (qint64 after = m_reader->identity(start);;) {
        statement.bind(1, literal);
        statement.bind(2, after);
        if (!statement.next())
            return -1;
        const qint64 found = engine.identityOf(statement, 0);
        statement.reset();
        const int row = m_reader->rowOf(found);
        if (row >= start)
            return row;
        after = found + 1;
    }
}

bool Recordset::find(const QString &criterion)
{
    requireOpen();
    const int found = indexOf(criterion, m_pos);
    flushPending();
    setPosition(found >= 0 ? found : recordCount());
    return found >= 0;
}

QString Recordset::fieldName(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns.at(column).name : QString();
}

int Recordset::fieldIndex(const QString &name) const
{
    return m_columnByName.value(name.trimmed().toLower(), -1);
}

QVariant Recordset::value(int column) const
{
    requireCurrent();
    if (column < 0 || column >= m_columns.size())
        fail(DbErrorCode::GeneralFailure, QStringLiteral("字段序号 %1 超出范围").arg(column));
    return valueAt(m_pos, column);
}

QVariant Recordset::value(const QString &name) const
{
    const int column = fieldIndex(name);
    if (column < 0)
        fail(DbErrorCode::GeneralFailure, QStringLiteral("记录集中没有字段“%1”").arg(name));
    return value(column);
}

QVariant Recordset::valueAt(int row, int column) const
{
    if (column < 0 || column >= m_columns.size() || !hasRow(row))
        return {};
    if (m_edit.mode != EditMode::None && row == m_pos)
        return m_edit.values.at(column);
    return m_reader->value(row, column);
}

void Recordset::setValue(int column, const QVariant &value)
{
    requireCurrent();
    if (column < 0 || column >= m_columns.size())
        fail(DbErrorCode::GeneralFailure, QStringLiteral("字段序号 %1 超出范围").arg(column));
    requireWritable(column);
    if (m_edit.mode == EditMode::None)
        m_edit.begin(EditMode::Editing, m_reader->row(m_pos));
    m_edit.set(column, value);
    emit fieldChanged(column);
}

void Recordset::setValue(const QString &name, const QVariant &value)
{
    const int column = fieldIndex(name);
    if (column < 0)
        fail(DbErrorCode::GeneralFailure, QStringLiteral("记录集中没有字段“%1”").arg(name));
    setValue(column, value);
}

void Recordset::addNew()
{
    requireOpen();
    requireWritable(-1);
    flushPending();
    const int before = m_pos;
    m_reader->appendEmpty(); // after every row, which it counts first
    m_edit.begin(EditMode::Adding, QVector<QVariant>(m_columns.size()));
    m_edit.positionBeforeAdd = before;
    const int row = recordCount() - 1;
    emit rowInserted(row);
    setPosition(row);
}

RowWriter Recordset::writer() const
{
    return RowWriter(*m_connection, m_baseTable, m_columns);
}

void Recordset::update()
{
    requireOpen();
    if (m_edit.mode == EditMode::None)
        return;
    requireWritable(-1);
    if (m_writeCheck && !m_writeCheck())
        throw DbException::refused();
    if (m_edit.mode == EditMode::Editing && !m_edit.dirty.contains(true)) {
        m_edit.clear();
        return;
    }
    // A failure leaves the pending edit as it was, so what was typed is not lost.
    if (!writer().write(*m_reader, m_pos, m_edit)) {
        m_edit.clear();
        refreshCurrent();
        throw DbException::conflict();
    }
    m_edit.clear();
    emit rowChanged(m_pos);
}

void Recordset::dropRow(int index)
{
    emit rowAboutToBeRemoved(index);
    m_reader->removeRow(index);
    emit rowRemoved(index);
}

void Recordset::refreshCurrent()
{
    requireOpen();
    if (m_edit.mode == EditMode::Adding) {
        cancelUpdate();
        return;
    }
    m_edit.clear();
    if (m_pos < 0 || m_pos >= m_reader->rowCount() || m_currentDeleted || !m_hasIdentity)
        return;
    if (writer().reread(*m_reader, m_pos)) {
        emit rowChanged(m_pos);
        return;
    }
    // Gone: the snapshot loses it, and the next row takes its place.
    const int row = m_pos;
    dropRow(row);
    setPosition(std::min(row, recordCount() - 1), true);
}

void Recordset::cancelUpdate()
{
    requireOpen();
    if (m_edit.mode == EditMode::Adding) {
        const int row = m_pos;
        const int before = m_edit.positionBeforeAdd;
        m_edit.clear();
        dropRow(row);
        setPosition(before < recordCount() ? before : recordCount() - 1, true);
        return;
    }
    if (m_edit.mode == EditMode::Editing) {
        m_edit.clear();
        emit rowChanged(m_pos);
    }
}

void Recordset::deleteCurrent()
{
    requireCurrent();
    requireWritable(-1);
    if (m_edit.mode == EditMode::Adding) {
        cancelUpdate();
        return;
    }
    if (!writer().remove(*m_reader, m_pos)) {
        // Changed or deleted meanwhile: nothing is deleted on another seat's word.
        refreshCurrent();
        throw DbException::conflict();
    }
    m_edit.clear();
    dropRow(m_pos);
    m_currentDeleted = true;
}

void Recordset::deleteCurrentWith(const std::function<void()> &alongside)
{
    requireCurrent();
    const int at = m_pos;
    try {
        TransactionGuard transaction(*m_connection);
        alongside();
        deleteCurrent();
        transaction.commit();
    } catch (...) {
        requery();
        if (recordCount() > 0)
            moveTo(std::min(at, recordCount() - 1));
        throw;
    }
}
