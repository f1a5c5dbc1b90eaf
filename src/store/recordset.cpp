#include "store/recordset.h"

#include "store/connection.h"
#include "store/findcriterion.h"
#include "store/jetdate.h"

#include <QStringList>
#include <sqlite3.h>

namespace {

const char kRowidAlias[] = "__torvane_rowid__";

QString utf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString quoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void bindValue(sqlite3_stmt *stmt, int index, const QVariant &value)
{
    if (value.isNull()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(stmt, index, value.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        sqlite3_bind_int64(stmt, index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt, index, value.toDouble());
        break;
    case QMetaType::QDate:
        sqlite3_bind_text(stmt, index, value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8().constData(), -1,
                          SQLITE_TRANSIENT);
        break;
    case QMetaType::QDateTime:
        sqlite3_bind_text(stmt, index,
                          value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8().constData(), -1,
                          SQLITE_TRANSIENT);
        break;
    default: {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text(stmt, index, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    }
}

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
    int depth = 0;
    bool inColumnList = true;
    QString previous;
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            const qsizetype end = sql.indexOf(c == QLatin1Char('[') ? QLatin1Char(']') : c, i + 1);
            i = end < 0 ? sql.size() : end + 1;
            continue;
        }
        if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
            depth += c == QLatin1Char('(') ? 1 : -1;
            ++i;
            continue;
        }
        if (!c.isLetter() && c != QLatin1Char('_')) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < sql.size() && (sql.at(end).isLetterOrNumber() || sql.at(end) == QLatin1Char('_')))
            ++end;
        const QString word = sql.mid(i, end - i).toLower();
        i = end;
        if (depth != 0)
            continue;
        if (word == QLatin1String("having") || (word == QLatin1String("by") && previous == QLatin1String("group")))
            return true;
        if (word == QLatin1String("from"))
            inColumnList = false;
        if (inColumnList && aggregates.contains(word)) {
            while (end < sql.size() && sql.at(end).isSpace())
                ++end;
            if (end < sql.size() && sql.at(end) == QLatin1Char('('))
                return true;
        }
        previous = word;
    }
    return false;
}

} // namespace

Recordset::Recordset(QObject *parent) : QObject(parent) {}

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
    if (m_currentDeleted || m_pos < 0 || m_pos >= recordCount())
        fail(DbErrorCode::NoCurrentRecord, QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除。"));
}

void Recordset::requireWritable(int column) const
{
    if (m_lock == LockType::ReadOnly)
        fail(DbErrorCode::NotUpdatable, QStringLiteral("记录集是只读的，不能修改。"));
    if (m_baseTable.isEmpty() || !m_hasRowid)
        fail(DbErrorCode::NotUpdatable, QStringLiteral("此查询的结果不能修改。"));
    if (column >= 0) {
        const Column &c = m_columns.at(column);
        if (c.originColumn.isEmpty() || c.originTable.compare(m_baseTable, Qt::CaseInsensitive) != 0)
            fail(DbErrorCode::NotUpdatable, QStringLiteral("字段“%1”不能修改。").arg(c.name));
    }
}

void Recordset::open(const QString &sql, Connection *connection, CursorType cursor, LockType lock)
{
    if (m_open)
        close();
    if (!connection || !connection->isOpen())
        fail(DbErrorCode::ObjectClosed, QStringLiteral("连接未打开"));
    m_connection = connection;
    m_sql = sql;
    m_cursor = cursor;
    m_lock = lock;
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
    m_hasRowid = false;
    if (m_lock == LockType::ReadOnly)
        return;

    sqlite3_stmt *probe = m_connection->prepare(sql);
    QString table;
    bool single = true;
    for (int i = 0; i < sqlite3_column_count(probe); ++i) {
        const QString t = utf8(sqlite3_column_table_name(probe, i));
        if (t.isEmpty())
            continue;
        if (table.isEmpty())
            table = t;
        else if (t.compare(table, Qt::CaseInsensitive) != 0)
            single = false;
    }
    sqlite3_finalize(probe);
    if (table.isEmpty() || !single)
        return;

    // Ask for the rowid beside the caller's columns, so rows are written back by it.
    const QString trimmed = sql.trimmed();
    if (!trimmed.startsWith(QLatin1String("select"), Qt::CaseInsensitive) || trimmed.size() < 7
        || !trimmed.at(6).isSpace())
        return;
    const QString rest = trimmed.mid(7).trimmed();
    if (rest.startsWith(QLatin1String("distinct"), Qt::CaseInsensitive) || foldsRows(trimmed))
        return;
    const QString rewritten = QStringLiteral("select _rowid_ AS %1, ").arg(QLatin1String(kRowidAlias)) + trimmed.mid(7);
    sqlite3_stmt *withRowid = nullptr;
    try {
        withRowid = m_connection->prepare(rewritten);
    } catch (const DbException &) {
        return;
    }
    const bool ok = utf8(sqlite3_column_table_name(withRowid, 0)).compare(table, Qt::CaseInsensitive) == 0;
    sqlite3_finalize(withRowid);
    if (!ok)
        return;
    m_baseTable = table;
    m_hasRowid = true;
    m_fetchSql = rewritten;
}

void Recordset::fetch()
{
    sqlite3_stmt *stmt = m_connection->prepare(m_fetchSql);
    const int offset = m_hasRowid ? 1 : 0;
    const int count = sqlite3_column_count(stmt) - offset;
    m_columns.clear();
    m_columnByName.clear();
    m_columns.reserve(count);
    for (int i = 0; i < count; ++i) {
        Column c;
        c.name = utf8(sqlite3_column_name(stmt, i + offset));
        c.originTable = utf8(sqlite3_column_table_name(stmt, i + offset));
        c.originColumn = utf8(sqlite3_column_origin_name(stmt, i + offset));
        c.declType = utf8(sqlite3_column_decltype(stmt, i + offset));
        m_columnByName.insert(c.name.toLower(), i); // later duplicates do not hide the first
        m_columns.append(c);
    }
    // Keep the first of duplicate names reachable by name.
    for (int i = count - 1; i >= 0; --i)
        m_columnByName.insert(m_columns.at(i).name.toLower(), i);

    m_store.reset(count);
    m_rowids.clear();
    m_marks.clear();
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        m_store.appendFromStatement(stmt, offset);
        m_rowids.push_back(m_hasRowid ? sqlite3_column_int64(stmt, 0) : 0);
        m_marks.push_back(m_nextMark++);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        m_store.reset(count);
        m_rowids.clear();
        m_marks.clear();
        m_connection->fail(QString());
    }
    m_editMode = EditMode::None;
    m_currentDeleted = false;
}

void Recordset::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_store.reset(0);
    m_rowids.clear();
    m_marks.clear();
    m_columns.clear();
    m_columnByName.clear();
    m_editMode = EditMode::None;
    m_pos = -1;
    emit rowsReset();
}

RowStore Recordset::takeRows()
{
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
    return !m_open || (m_store.rowCount() == 0) || m_pos < 0;
}

bool Recordset::eof() const
{
    return !m_open || (m_store.rowCount() == 0) || m_pos >= recordCount();
}

int Recordset::absolutePosition() const
{
    if (!m_open || (m_store.rowCount() == 0))
        return RecordPosition::Unknown;
    if (m_pos < 0)
        return RecordPosition::Bof;
    if (m_pos >= recordCount())
        return RecordPosition::Eof;
    return m_pos + 1;
}

void Recordset::setAbsolutePosition(int position)
{
    requireOpen();
    if (position < 1 || position > recordCount())
        fail(DbErrorCode::NoCurrentRecord, QStringLiteral("位置超出记录范围"));
    moveTo(position - 1);
}

void Recordset::setPosition(int index)
{
    const bool changed = index != m_pos || m_currentDeleted;
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
    setPosition(std::clamp(index, -1, recordCount()));
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
    setPosition(m_currentDeleted ? m_pos : std::min(m_pos + 1, recordCount()));
}

void Recordset::movePrevious()
{
    requireOpen();
    if (bof())
        fail(DbErrorCode::NoCurrentRecord, QStringLiteral("已到记录集开头"));
    flushPending();
    setPosition(std::max(m_pos - 1, -1));
}

Recordset::Bookmark Recordset::bookmark() const
{
    requireCurrent();
    return m_marks.at(m_pos);
}

void Recordset::setBookmark(Bookmark mark)
{
    requireOpen();
    for (size_t i = 0; i < m_marks.size(); ++i) {
        if (m_marks[i] == mark) {
            moveTo(static_cast<int>(i));
            return;
        }
    }
    fail(DbErrorCode::NoCurrentRecord, QStringLiteral("书签无效"));
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
    for (int i = std::max(from, 0); i < recordCount(); ++i) {
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
    if (row < 0 || row >= recordCount() || column < 0 || column >= m_columns.size())
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
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (!ok)
            fail(DbErrorCode::GeneralFailure, QStringLiteral("字段“%1”需要数字，不能保存“%2”").arg(c.name, text));
        if (c.declType.contains(QLatin1String("INT"), Qt::CaseInsensitive) && number == static_cast<qint64>(number))
            return QVariant::fromValue<qint64>(static_cast<qint64>(number));
        return number;
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
    m_store.appendEmpty();
    m_rowids.push_back(0);
    m_marks.push_back(m_nextMark++);
    m_editMode = EditMode::Adding;
    m_edit = QVector<QVariant>(m_columns.size());
    m_dirty = QVector<bool>(m_columns.size(), false);
    const int row = recordCount() - 1;
    emit rowInserted(row);
    setPosition(row);
}

void Recordset::update()
{
    requireOpen();
    if (m_editMode == EditMode::None)
        return;
    requireWritable(-1);

    QVector<int> columns;
    QVector<QVariant> values;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_dirty.at(i))
            continue;
        columns.append(i);
        values.append(normalizedForColumn(i, m_edit.at(i)));
    }

    QString sql;
    const QString table = quoteIdentifier(m_baseTable);
    if (m_editMode == EditMode::Adding) {
        if (columns.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
        } else {
            QStringList names, marks;
            for (int c : columns) {
                names << quoteIdentifier(m_columns.at(c).originColumn);
                marks << QStringLiteral("?");
            }
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(QLatin1Char(',')),
                                                                        marks.join(QLatin1Char(',')));
        }
    } else {
        if (columns.isEmpty()) {
            m_editMode = EditMode::None;
            return;
        }
        QStringList sets;
        for (int c : columns)
            sets << quoteIdentifier(m_columns.at(c).originColumn) + QStringLiteral("=?");
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE _rowid_=?").arg(table, sets.join(QLatin1Char(',')));
    }

    sqlite3 *db = m_connection->handle();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        m_connection->fail(QString());
    }
    for (int i = 0; i < values.size(); ++i)
        bindValue(stmt, i + 1, values.at(i));
    if (m_editMode == EditMode::Editing)
        sqlite3_bind_int64(stmt, values.size() + 1, m_rowids[m_pos]);
    const int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        m_connection->fail(QString()); // the pending edit stays, so what was typed is not lost

    const qint64 rowid = m_editMode == EditMode::Adding ? sqlite3_last_insert_rowid(db) : m_rowids[m_pos];
    m_rowids[m_pos] = rowid;
    for (int i = 0; i < m_columns.size(); ++i)
        m_store.setValue(m_pos, i, m_edit.at(i));
    m_editMode = EditMode::None;
    m_edit.clear();
    rereadRow(m_pos, rowid);
    emit rowChanged(m_pos);
}

void Recordset::rereadRow(int index, qint64 rowid)
{
    QStringList names;
    QVector<int> columns;
    for (int i = 0; i < m_columns.size(); ++i) {
        const Column &c = m_columns.at(i);
        if (!c.originColumn.isEmpty() && c.originTable.compare(m_baseTable, Qt::CaseInsensitive) == 0) {
            names << quoteIdentifier(c.originColumn);
            columns << i;
        }
    }
    if (columns.isEmpty())
        return;
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE _rowid_=?")
                            .arg(names.join(QLatin1Char(',')), quoteIdentifier(m_baseTable));
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_connection->handle(), sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return;
    }
    sqlite3_bind_int64(stmt, 1, rowid);
    if (sqlite3_step(stmt) == SQLITE_ROW)
        m_store.setFromStatement(index, stmt, columns);
    sqlite3_finalize(stmt);
}

void Recordset::cancelUpdate()
{
    requireOpen();
    if (m_editMode == EditMode::Adding) {
        const int row = m_pos;
        m_store.removeRow(row);
        m_rowids.erase(m_rowids.begin() + row);
        m_marks.erase(m_marks.begin() + row);
        m_editMode = EditMode::None;
        m_edit.clear();
        emit rowRemoved(row);
        m_pos = -2; // force the change signal
        setPosition(m_positionBeforeAdd < recordCount() ? m_positionBeforeAdd : recordCount() - 1);
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
    sqlite3 *db = m_connection->handle();
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE _rowid_=?").arg(quoteIdentifier(m_baseTable));
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        m_connection->fail(QString());
    }
    sqlite3_bind_int64(stmt, 1, m_rowids[m_pos]);
    const int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        m_connection->fail(QString());
    m_editMode = EditMode::None;
    m_edit.clear();
    const int row = m_pos;
    m_store.removeRow(row);
    m_rowids.erase(m_rowids.begin() + row);
    m_marks.erase(m_marks.begin() + row);
    m_currentDeleted = true;
    emit rowRemoved(row);
}
