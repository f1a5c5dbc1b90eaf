#include "store/rowwriter.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/jetdate.h"
#include "store/rowreader.h"
#include "store/valuecheck.h"

#include <QStringList>

namespace {

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

[[noreturn]] void refuse(const QString &text)
{
    throw DbException(DbErrorCode::GeneralFailure, text);
}

} // namespace

QVariant RowWriter::normalized(int column, const QVariant &value) const
{
    const RecordColumn &c = m_columns.at(column);
    if (value.isNull())
        return {};
    const bool isText = value.typeId() == QMetaType::QString;
    if (isDateType(c.declType) && isText) {
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return {};
        const auto date = parseJetDate(text);
        if (!date)
            refuse(QStringLiteral("字段“%1”需要日期，不能保存“%2”").arg(c.name, text));
        return date->toIso();
    }
    if (isNumericType(c.declType) && isText) {
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return {};
        // The same numbers the field check lets through: "1,234" is 1234.
        const auto number = Modcheck::parseNumber(text);
        if (!number)
            refuse(QStringLiteral("字段“%1”需要数字，不能保存“%2”").arg(c.name, text));
        if (c.declType.contains(QLatin1String("INT"), Qt::CaseInsensitive) && *number == static_cast<qint64>(*number))
            return QVariant::fromValue<qint64>(static_cast<qint64>(*number));
        return *number;
    }
    return value;
}

QString RowWriter::baseColumnList(QVector<int> *columns) const
{
    const Engine &engine = m_connection.engine();
    QStringList names;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_columns.at(i).base)
            continue;
        names << engine.quoteIdentifier(m_columns.at(i).originColumn);
        columns->append(i);
    }
    return names.join(QLatin1Char(','));
}

QString RowWriter::sameAsRead(const QVector<QVariant> &read, QVariantList &values) const
{
    const Engine &engine = m_connection.engine();
    QStringList same;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_columns.at(i).base)
            continue;
        same << engine.sameValue(engine.quoteIdentifier(m_columns.at(i).originColumn));
        values << read.at(i);
    }
    return same.isEmpty() ? QString() : QStringLiteral(" AND ") + same.join(QStringLiteral(" AND "));
}

bool RowWriter::write(RowReader &rows, int index, const EditBuffer &edit) const
{
    Engine &engine = m_connection.engine();
    const QString table = engine.quoteIdentifier(m_table);
    QStringList names;
    QVariantList values;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!edit.dirty.at(i))
            continue;
        names << engine.quoteIdentifier(m_columns.at(i).originColumn);
        values << normalized(i, edit.values.at(i));
    }
    QString sql;
    if (edit.mode == EditBuffer::Mode::Adding) {
        const QStringList marks(names.size(), QStringLiteral("?"));
        sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                              : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    } else {
        // Written only while the row still holds every value this recordset read.
        QStringList sets;
        for (const QString &name : std::as_const(names))
            sets << name + QStringLiteral("=?");
        values << engine.identityParameter(rows.identity(index));
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(table, sets.join(QLatin1Char(',')), engine.identityEquals())
              + sameAsRead(edit.read, values);
    }
    // The row comes back as stored with the write itself, not by reading it again.
    QVector<int> stored;
    const QString storedNames = baseColumnList(&stored);
    sql += QStringLiteral(" RETURNING ") + engine.rowIdentity()
           + (storedNames.isEmpty() ? QString() : QLatin1Char(',') + storedNames);

    Statement statement = m_connection.prepare(sql);
    statement.bindAll(values);
    // Nothing matched: someone else changed or deleted the row meanwhile.
    if (!statement.next())
        return false;
    rows.setIdentity(index, engine.identityOf(statement, 0));
    for (int i = 0; i < m_columns.size(); ++i)
        rows.setValue(index, i, edit.values.at(i));
    rows.setFromStatement(index, statement, stored, 1);
    statement.run();
    return true;
}

bool RowWriter::remove(RowReader &rows, int index) const
{
    Engine &engine = m_connection.engine();
    QVariantList values{engine.identityParameter(rows.identity(index))};
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(engine.quoteIdentifier(m_table), engine.identityEquals())
                        + sameAsRead(rows.row(index), values);
    Statement statement = m_connection.prepare(sql);
    statement.bindAll(values);
    return statement.run() > 0;
}

bool RowWriter::reread(RowReader &rows, int index) const
{
    QVector<int> columns;
    const QString names = baseColumnList(&columns);
    if (columns.isEmpty())
        return true;
    Engine &engine = m_connection.engine();
    Statement statement = m_connection.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                                                   .arg(names, engine.quoteIdentifier(m_table), engine.identityEquals()));
    statement.bind(1, engine.identityParameter(rows.identity(index)));
    if (!statement.next())
        return false;
    rows.setFromStatement(index, statement, columns);
    return true;
}
