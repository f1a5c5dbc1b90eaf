#include "store/recordset.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/findcriterion.h"
#include "store/jetdate.h"
#include "store/sqllexer.h"
#include "store/transactionguard.h"
#include "store/valuecheck.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

namespace {

const char kIdentityAlias[] = "__torvane_rowid__";

bool isDateType(const QString &declType)
{
    return declType.contains(QLatin1String("DATE"), Qt::CaseInsensitive)
           || declType.contains(QLatin1String("TIME"), Qt::CaseInsensitive);
}

bool isNumericType(const QString &declType)
{
    const QString t = declType.toUpper();
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("TEXT")) || t.contains(QLatin1String("CLOB")))
        return false;
    return t.contains(QLatin1String("INT")) || t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA"))
           || t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")) || t.contains(QLatin1String("DEC"))
           || t.contains(QLatin1String("BOOL"));
}

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

Recordset::Recordset(QObject *parent) : QObject(parent) {}

Recordset::~Recordset()
{
    stopReading();
}

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
    if (m_currentDeleted || m_pos < 0 || m_pos >= m_store.rowCount())
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
    setPosition((m_store.rowCount() == 0) ? -1 : 0);
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

void Recordset::fetch()
{
    stopReading();
    m_readError.clear();
    // Read in parts, the first rows come first.
    Statement statement = m_firstRows > 0 ? m_connection->prepareStreamed(m_fetchSql) : m_connection->prepare(m_fetchSql);
    statement.bindAll(m_parameters);
    // Run first, then read the columns: a server answers both in one round trip.
    bool more = false;
    try {
        more = statement.next();
    } catch (...) {
        m_store.reset(static_cast<int>(m_columns.size()));
        m_identities.clear();
        throw;
    }
    const int offset = m_hasIdentity ? 1 : 0;
    const int count = statement.columnCount() - offset;
    m_columns.clear();
    m_columnByName.clear();
    m_columns.reserve(count);
    for (int i = 0; i < count; ++i) {
        const ColumnInfo info = statement.column(i + offset);
        Column c{info.name, info.originTable, info.originColumn, info.declType, false};
        c.base = m_hasIdentity && !c.originColumn.isEmpty()
                 && c.originTable.compare(m_baseTable, Qt::CaseInsensitive) == 0;
        m_columns.append(c);
    }
    // The first of duplicate names is the one reachable by name.
    for (int i = count - 1; i >= 0; --i)
        m_columnByName.insert(m_columns.at(i).name.toLower(), i);

    m_store.reset(count);
    m_identities.clear();
    const Engine &engine = m_connection->engine();
    try {
        for (; more; more = statement.next()) {
            if (m_firstRows > 0 && m_store.rowCount() >= m_firstRows) {
                // The statement stays on its first unread row.
                m_pending = std::make_unique<Statement>(std::move(statement));
                m_connection->addPendingReader(this, [this] { readRows(std::numeric_limits<int>::max()); });
                if (!m_idleRead) {
                    m_idleRead = new QTimer(this);
                    connect(m_idleRead, &QTimer::timeout, this, &Recordset::readInIdleTime);
                }
                m_idleRead->start(0);
                break;
            }
            m_store.appendFromStatement(statement, offset);
            m_identities.push_back(m_hasIdentity ? engine.identityOf(statement, 0) : 0);
        }
    } catch (...) {
        m_store.reset(count);
        m_identities.clear();
        throw;
    }
    m_editMode = EditMode::None;
    m_currentDeleted = false;
}

int Recordset::recordCount() const
{
    readRows(std::numeric_limits<int>::max());
    return m_store.rowCount();
}

bool Recordset::hasRow(int index) const
{
    return index >= 0 && (index < m_store.rowCount() || readRows(index + 1));
}

bool Recordset::readRows(int wanted) const
{
    if (!m_pending || m_store.rowCount() >= wanted)
        return m_store.rowCount() >= wanted;
    auto *self = const_cast<Recordset *>(this);
    const int first = m_store.rowCount();
    const int offset = m_hasIdentity ? 1 : 0;
    const Engine &engine = m_connection->engine();
    auto announce = [&] {
        if (m_store.rowCount() > first)
            emit self->rowsFetched(first, m_store.rowCount() - 1);
    };
    auto giveUp = [&] {
        self->stopReading();
        announce();
    };
    try {
        while (m_store.rowCount() < wanted) {
            m_store.appendFromStatement(*m_pending, offset);
            m_identities.push_back(m_hasIdentity ? engine.identityOf(*m_pending, 0) : 0);
            if (!m_pending->next()) {
                self->stopReading();
                break;
            }
        }
    } catch (const DbException &e) {
        // Said before the rows are announced, so whoever sees the end sees why.
        m_readError = e.description();
        giveUp();
        throw;
    } catch (...) {
        giveUp();
        throw;
    }
    announce();
    return m_store.rowCount() >= wanted;
}

void Recordset::readInIdleTime()
{
    // A few milliseconds at a time, so the window stays responsive meanwhile.
    QElapsedTimer slice;
    slice.start();
    try {
        while (m_pending && slice.elapsed() < 4)
            readRows(m_store.rowCount() + 256);
    } catch (const DbException &e) {
        qWarning("reading the rest of %s: %s", qPrintable(m_sql), qPrintable(e.description()));
        emit readFailed(e.error());
    }
}

void Recordset::stopReading()
{
    if (!m_pending)
        return;
    m_pending.reset();
    if (m_idleRead)
        m_idleRead->stop();
    if (m_connection)
        m_connection->removePendingReader(this);
}

void Recordset::close()
{
    stopReading();
    if (!m_open)
        return;
    m_open = false;
    m_store.reset(0);
    m_identities.clear();
    m_columns.clear();
    m_columnByName.clear();
    m_editMode = EditMode::None;
    m_pos = -1;
    emit rowsReset();
}

RowStore Recordset::takeRows()
{
    readRows(std::numeric_limits<int>::max());
    RowStore rows = std::move(m_store);
    m_store = RowStore();
    close();
    return rows;
}

void Recordset::requery()
{
    requireOpen();
    m_editMode = EditMode::None;
    fetch();
    setPosition((m_store.rowCount() == 0) ? -1 : 0);
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
    if (m_editMode != EditMode::None)
        update();
}

void Recordset::moveTo(int index)
{
    requireOpen();
    flushPending();
    const int target = std::max(index, -1);
    setPosition(target < 0 || hasRow(target) ? target : m_store.rowCount());
}

void Recordset::moveFirst()
{
    requireOpen();
    flushPending();
    setPosition((m_store.rowCount() == 0) ? -1 : 0);
}

void Recordset::moveLast()
{
    requireOpen();
    flushPending();
    setPosition((m_store.rowCount() == 0) ? -1 : recordCount() - 1);
}

void Recordset::moveNext()
{
    requireOpen();
    if (eof() && !m_currentDeleted)
        fail(DbErrorCode::NoCurrentRecord, QStringLiteral("已到记录集末尾"));
    flushPending();
    // After a delete the next row already sits at the current index.
    const int next = m_currentDeleted ? m_pos : m_pos + 1;
    setPosition(hasRow(next) ? next : m_store.rowCount());
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
    const QByteArray folded = textEquality ? RowStore::foldAscii(parsed->literal.toString().toUtf8()) : QByteArray();
    for (int i = std::max(from, 0); hasRow(i); ++i) {
        if (textEquality && !(m_editMode != EditMode::None && i == m_pos)) {
            if (const auto equal = m_store.textEquals(i, column, folded)) {
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
    if (m_editMode != EditMode::None && row == m_pos)
        return m_edit.at(column);
    return m_store.value(row, column);
}

QVariant Recordset::normalizedForColumn(int column, const QVariant &value) const
{
    const Column &c = m_columns.at(column);
    if (value.isNull())
        return {};
    const bool isText = value.typeId() == QMetaType::QString;
    if (isDateType(c.declType) && isText) {
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return {};
        const auto date = parseJetDate(text);
        if (!date)
            fail(DbErrorCode::GeneralFailure, QStringLiteral("字段“%1”需要日期，不能保存“%2”").arg(c.name, text));
        return date->toIso();
    }
    if (isNumericType(c.declType) && isText) {
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return {};
        // The same numbers the field check lets through: "1,234" is 1234.
        const auto number = Modcheck::parseNumber(text);
        if (!number)
            fail(DbErrorCode::GeneralFailure, QStringLiteral("字段“%1”需要数字，不能保存“%2”").arg(c.name, text));
        if (c.declType.contains(QLatin1String("INT"), Qt::CaseInsensitive) && *number == static_cast<qint64>(*number))
            return QVariant::fromValue<qint64>(static_cast<qint64>(*number));
        return *number;
    }
    return value;
}

void Recordset::setValue(int column, const QVariant &value)
{
    requireCurrent();
    if (column < 0 || column >= m_columns.size())
        fail(DbErrorCode::GeneralFailure, QStringLiteral("字段序号 %1 超出范围").arg(column));
    requireWritable(column);
    if (m_editMode == EditMode::None) {
        m_editMode = EditMode::Editing;
        m_edit = m_store.row(m_pos);
        m_dirty = QVector<bool>(m_columns.size(), false);
    }
    m_edit[column] = value;
    m_dirty[column] = true;
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
    m_positionBeforeAdd = m_pos;
    readRows(std::numeric_limits<int>::max()); // a new row goes after every row
    m_store.appendEmpty();
    m_identities.push_back(0);
    m_editMode = EditMode::Adding;
    m_edit = QVector<QVariant>(m_columns.size());
    m_dirty = QVector<bool>(m_columns.size(), false);
    const int row = recordCount() - 1;
    emit rowInserted(row);
    setPosition(row);
}

QString Recordset::baseColumnList(QVector<int> *columns) const
{
    const Engine &engine = m_connection->engine();
    QStringList names;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_columns.at(i).base)
            continue;
        names << engine.quoteIdentifier(m_columns.at(i).originColumn);
        columns->append(i);
    }
    return names.join(QLatin1Char(','));
}

void Recordset::update()
{
    requireOpen();
    if (m_editMode == EditMode::None)
        return;
    requireWritable(-1);
    if (m_writeCheck && !m_writeCheck())
        throw DbException::refused();

    Engine &engine = m_connection->engine();
    const QString table = engine.quoteIdentifier(m_baseTable);
    QStringList names;
    QVariantList values;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_dirty.at(i))
            continue;
        names << engine.quoteIdentifier(m_columns.at(i).originColumn);
        values << normalizedForColumn(i, m_edit.at(i));
    }

    QString sql;
    if (m_editMode == EditMode::Adding) {
        if (names.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
        } else {
            const QStringList marks(names.size(), QStringLiteral("?"));
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        }
    } else {
        if (names.isEmpty()) {
            m_editMode = EditMode::None;
            return;
        }
        // Written only while the row still holds every value this recordset read.
        QStringList sets, same;
        for (const QString &name : names)
            sets << name + QStringLiteral("=?");
        values << engine.identityParameter(m_identities[m_pos]);
        for (int i = 0; i < m_columns.size(); ++i) {
            if (!m_columns.at(i).base)
                continue;
            same << engine.sameValue(engine.quoteIdentifier(m_columns.at(i).originColumn));
            values << m_store.value(m_pos, i);
        }
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(table, sets.join(QLatin1Char(',')), engine.identityEquals());
        if (!same.isEmpty())
            sql += QStringLiteral(" AND ") + same.join(QStringLiteral(" AND "));
    }
    // The row comes back as stored (counter, defaults, values as the columns keep them) with
    // the write itself, not by reading it again.
    QVector<int> stored;
    const QString storedNames = baseColumnList(&stored);
    sql += QStringLiteral(" RETURNING ") + engine.rowIdentity()
           + (storedNames.isEmpty() ? QString() : QLatin1Char(',') + storedNames);

    // A failure leaves the pending edit as it was, so what was typed is not lost.
    Statement statement = m_connection->prepare(sql);
    statement.bindAll(values);
    if (!statement.next()) {
        // Nothing matched: someone else changed or deleted the row meanwhile.
        m_editMode = EditMode::None;
        m_edit.clear();
        refreshCurrent();
        throw DbException::conflict();
    }
    const qint64 identity = engine.identityOf(statement, 0);
    m_identities[m_pos] = identity;
    for (int i = 0; i < m_columns.size(); ++i)
        m_store.setValue(m_pos, i, m_edit.at(i));
    m_store.setFromStatement(m_pos, statement, stored, 1);
    statement.run();

    m_editMode = EditMode::None;
    m_edit.clear();
    emit rowChanged(m_pos);
}

bool Recordset::rereadRow(int index)
{
    QVector<int> columns;
    const QString names = baseColumnList(&columns);
    if (columns.isEmpty())
        return true;
    Engine &engine = m_connection->engine();
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                            .arg(names, engine.quoteIdentifier(m_baseTable), engine.identityEquals());
    Statement statement = m_connection->prepare(sql);
    statement.bind(1, engine.identityParameter(m_identities[index]));
    if (!statement.next())
        return false;
    m_store.setFromStatement(index, statement, columns);
    return true;
}

void Recordset::dropRow(int index)
{
    emit rowAboutToBeRemoved(index);
    m_store.removeRow(index);
    m_identities.erase(m_identities.begin() + index);
    emit rowRemoved(index);
}

void Recordset::refreshCurrent()
{
    requireOpen();
    if (m_editMode == EditMode::Adding) {
        cancelUpdate();
        return;
    }
    m_editMode = EditMode::None;
    m_edit.clear();
    if (m_pos < 0 || m_pos >= m_store.rowCount() || m_currentDeleted || !m_hasIdentity)
        return;
    if (rereadRow(m_pos)) {
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
    if (m_editMode == EditMode::Adding) {
        const int row = m_pos;
        m_editMode = EditMode::None;
        m_edit.clear();
        dropRow(row);
        setPosition(m_positionBeforeAdd < recordCount() ? m_positionBeforeAdd : recordCount() - 1, true);
        return;
    }
    if (m_editMode == EditMode::Editing) {
        m_editMode = EditMode::None;
        m_edit.clear();
        emit rowChanged(m_pos);
    }
}

void Recordset::deleteCurrent()
{
    requireCurrent();
    requireWritable(-1);
    if (m_editMode == EditMode::Adding) {
        cancelUpdate();
        return;
    }
    Engine &engine = m_connection->engine();
    QStringList same;
    QVariantList values{engine.identityParameter(m_identities[m_pos])};
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_columns.at(i).base)
            continue;
        same << engine.sameValue(engine.quoteIdentifier(m_columns.at(i).originColumn));
        values << m_store.value(m_pos, i);
    }
    QString sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(engine.quoteIdentifier(m_baseTable), engine.identityEquals());
    if (!same.isEmpty())
        sql += QStringLiteral(" AND ") + same.join(QStringLiteral(" AND "));
    Statement statement = m_connection->prepare(sql);
    statement.bindAll(values);
    if (statement.run() == 0) {
        // Changed or deleted meanwhile: nothing is deleted on another seat's word.
        refreshCurrent();
        throw DbException::conflict();
    }
    m_editMode = EditMode::None;
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
