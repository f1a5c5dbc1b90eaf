#pragma once

// Hostile text through the windows: the inputs, and a look at the file that goes through
// SQLite with bound parameters, never through the program's own SQL text, so
// a fault in quoting cannot hide itself.

#include "shell/appstate.h"
#include "support/rawsqlite.h"
#include "support/testdatabase.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"

#include <QCryptographicHash>
#include <QMap>
#include <QTest>

namespace Hostile {

struct Input
{
    const char *tag;
    QString text;
    int characters; // as a person counts them: an emoji or a Chinese character is one
};

inline const QList<Input> &inputs()
{
    static const QList<Input> all = {
        {"apostrophe", QStringLiteral("O'Neil"), 6},
        {"quote-drop", QStringLiteral("'; drop table hyda; --"), 22},
        {"double-quote-delete", QStringLiteral("\"; delete from dict; --"), 23},
        {"percent-underscore", QStringLiteral("100%_off"), 8},
        {"jet-date", QStringLiteral("#2003-1-1#"), 10},
        {"backslashes", QStringLiteral("C:\\temp\\"), 8},
        {"brackets", QStringLiteral("[hyda]"), 6},
        {"ten-thousand", QString(10000, QLatin1Char('x')), 10000},
        {"non-bmp", QStringLiteral("😀𠀀"), 2},
        {"twenty-emoji", QStringLiteral("😀").repeated(20), 20},
        {"control", QStringLiteral("a\x01" "b\x7f" "c"), 5},
        {"newline", QStringLiteral("line1\nline2"), 11},
        {"blanks", QStringLiteral("  padded  "), 10},
        {"nul", QStringLiteral("a") + QChar(0) + QStringLiteral("b"), 3},
        {"full-width-blanks", QStringLiteral("\u3000全角\u3000"), 4},
        {"empty", QString(), 0},
    };
    return all;
}

// Texts a careless search or write would confuse with a value: quotes doubled, blanks trimmed.
inline QStringList lookAlikes(const QString &text)
{
    QStringList alike;
    if (QString doubled = QString(text).replace(QLatin1Char('\''), QLatin1String("''")); doubled != text)
        alike << doubled;
    if (!text.trimmed().isEmpty() && text.trimmed() != text)
        alike << text.trimmed();
    for (const Input &in : inputs())
        alike.removeAll(in.text);
    return alike;
}

// One data row per place and input: columns "place", "text", "characters".
inline void addRows(const QStringList &places)
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters");
    for (const QString &place : places)
        for (const Input &in : inputs())
            QTest::addRow("%s %s", qPrintable(place), in.tag) << place << in.text << in.characters;
}

template <class T> T *control(const QObject &w, const QString &name) { return child<T>(&w, name); }
inline void press(const QObject &w, const QString &action) { ::press(&w, action); }
inline void paste(const QObject &w, const QString &name, const QString &text) { ::paste(box(&w, name), text); }
using ::paste;

inline QString summary(const MessageLog &m) { return m.count() ? m.texts().join(QStringLiteral(" | ")) : QStringLiteral("(no message)"); }

// Texts the engine (or the statement guard) produces when a value broke a statement.
inline QString engineText(const MessageLog &m)
{
    static const QStringList marks = {"syntax error", "unrecognized token", "no such", "incomplete input",
                                      "near \"", "malformed", "一次只能执行一条语句", "空语句", "查找条件"};
    for (const QString &text : m.texts())
        for (const QString &mark : marks)
            if (text.contains(mark, Qt::CaseInsensitive))
                return text.left(300);
    return {};
}

// The program's state over a fresh file, and the same file opened beside it.
class Fixture
{
public:
    Fixture() : db(TestDatabase::Content::Empty), raw(db.path())
    {
        state.setLocation(db.folder(), db.fileName());
        state.connection().open(state.connectionText());
        state.setCurrentOperator(QStringLiteral("王芳"));
    }

    // Every row of a query, parameters bound by SQLite; a failing statement is the test's own fault.
    QList<QVariantList> rows(const QString &sql, const QVariantList &params = {})
    {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(raw, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
            qFatal("test query failed: %s: %s", qPrintable(sql), sqlite3_errmsg(raw));
        for (int i = 0; i < params.size(); ++i) {
            const QVariant &p = params.at(i);
            const QByteArray utf8 = p.toString().toUtf8();
            if (p.isNull())
                sqlite3_bind_null(stmt, i + 1);
            else if (p.typeId() == QMetaType::QString)
                sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_double(stmt, i + 1, p.toDouble());
        }
        QList<QVariantList> result;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const int type = sqlite3_column_type(stmt, i);
                row << (type == SQLITE_NULL      ? QVariant()
                        : type == SQLITE_INTEGER ? QVariant::fromValue<qint64>(sqlite3_column_int64(stmt, i))
                        : type == SQLITE_FLOAT   ? QVariant(sqlite3_column_double(stmt, i))
                                                 : QVariant(QString::fromUtf8(
                                                       reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                                                       sqlite3_column_bytes(stmt, i))));
            }
            result << row;
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            qFatal("test query failed: %s: %s", qPrintable(sql), sqlite3_errmsg(raw));
        return result;
    }
    QVariant value(const QString &sql, const QVariantList &params = {})
    {
        const auto all = rows(sql, params);
        return all.isEmpty() ? QVariant() : all.first().first();
    }
    qint64 number(const QString &sql, const QVariantList &params = {}) { return value(sql, params).toLongLong(); }
    qint64 write(const QString &sql, const QVariantList &params = {})
    {
        rows(sql, params);
        return sqlite3_last_insert_rowid(raw);
    }
    void addCustomer(const QString &kh) { write(QStringLiteral("insert or ignore into hyda(kh, xm) values(?1, '客户')"), {kh}); }
    qint64 addTicket(const QString &kh, double points)
    {
        return write(QStringLiteral("insert into hyxc(kh, cprq, qfrq, daoda, kaishi, hbh, cw, piaohao, hangkong, jfbl, "
                                    "amount1, jifen, jifenyue) values(?1, '2024-02-20', '2024-03-01', '北京', '上海', "
                                    "'MU5101', 'Y', ?2, '东航', 5, 1000, ?3, ?3)"),
                     {kh, QStringLiteral("781-%1").arg(++m_serial), points});
    }
    // Every input but the empty one as a customer with tickets, and its look-alikes beside it.
    void addHostileCustomers(int tickets)
    {
        for (const Input &in : inputs())
            for (const QString &kh : lookAlikes(in.text) + QStringList{in.text})
                if (!kh.isEmpty()) {
                    addCustomer(kh);
                    for (int i = 0; i < tickets; ++i)
                        addTicket(kh, kh == in.text ? 5 : 7);
                }
    }

    // A digest of what a query returns, types and bytes included.
    QByteArray digest(const QString &sql, const QVariantList &params = {})
    {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (const QVariantList &row : rows(sql, params))
            for (const QVariant &v : row)
                hash.addData(QByteArray::number(v.typeId()) + v.toString().toUtf8() + '\x1f');
        return hash.result();
    }
    // A digest of every table: comparing two tells which tables changed (or went).
    QMap<QString, QByteArray> snapshot()
    {
        QMap<QString, QByteArray> tables;
        for (const QVariantList &t : rows(QStringLiteral("select name from sqlite_master where type='table'")))
            tables.insert(t.first().toString().toLower(), digest(QStringLiteral("select * from \"%1\"").arg(t.first().toString())));
        return tables;
    }

    TestDatabase db;
    AppState state;
    RawSqlite raw;

private:
    int m_serial = 0;
};

// What every hostile action must leave behind: no engine text shown to the
// operator, and no table changed but those the command may change.
class Guard
{
public:
    Guard(Fixture &f, const MessageLog &m, const QStringList &allowed) : m_f(f), m_m(m), m_before(f.snapshot())
    {
        for (const QString &t : allowed + QStringList{"czyrz", "sqlite_sequence"})
            m_allowed << t.toLower();
    }
    QString problems() const
    {
        if (const QString leaked = engineText(m_m); !leaked.isEmpty())
            return QStringLiteral("engine text shown: ") + leaked;
        QStringList changed;
        const auto after = m_f.snapshot();
        for (auto it = m_before.begin(); it != m_before.end(); ++it)
            if (!m_allowed.contains(it.key()) && after.value(it.key()) != it.value())
                changed << it.key();
        return changed.isEmpty() ? QString() : QStringLiteral("tables changed: ") + changed.join(QLatin1Char(','));
    }

private:
    Fixture &m_f;
    const MessageLog &m_m;
    QMap<QString, QByteArray> m_before;
    QStringList m_allowed;
};

// A value typed into a field came back exactly (an emptied box as `empty`)
// without a word, or was refused with one message starting with the field's
// caption and nothing was written. `written` holds the new or changed cell.
inline QString storedOrRefused(const MessageLog &m, const QVariantList &written, const QString &text,
                               const QString &caption, const QVariant &empty = QVariant())
{
    if (m.count() == 0) {
        if (written.size() != 1)
            return QStringLiteral("no message, %1 rows written").arg(written.size());
        const QVariant &v = written.first();
        const bool exact = text.isEmpty() ? v.toString() == empty.toString() && v.isNull() == empty.isNull()
                                          : v.typeId() == QMetaType::QString && v.toString() == text;
        return exact ? QString() : QStringLiteral("stored as '%1'").arg(v.toString().left(60));
    }
    if (m.count() != 1 || !m.text(0).startsWith(caption))
        return QStringLiteral("refused with: ") + summary(m);
    return written.isEmpty() ? QString() : QStringLiteral("refused, yet written");
}

} // namespace Hostile
