#pragma once

#include "support/rawsqlite.h"

// What the hostile-input tests share: the inputs themselves, a record of every
// message shown, dialogs that never open, and ways to look at the database
// that go through SQLite with bound parameters, never through the program's
// own SQL text, so a fault in quoting cannot hide itself.

#include "shell/appstate.h"
#include "support/testdatabase.h"
#include "ui/dialogs.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QTest>
#include <QVariant>
#include <sqlite3.h>

namespace Hostile {

struct Input
{
    const char *tag;
    QString text;
    // Length as a person counts it: an emoji or a Chinese character is one.
    int characters;
};

inline QList<Input> inputs()
{
    return {
        {"apostrophe", QStringLiteral("O'Neil"), 6},
        {"quote-drop", QStringLiteral("'; drop table hyda; --"), 22},
        {"always-true", QStringLiteral("x' or '1'='1"), 12},
        {"double-quote-delete", QStringLiteral("\"; delete from dict; --"), 23},
        {"percent-underscore", QStringLiteral("100%_off"), 8},
        {"hash", QStringLiteral("No#1"), 4},
        {"jet-date", QStringLiteral("#2003-1-1#"), 10},
        {"comment", QStringLiteral("--"), 2},
        {"semicolon", QStringLiteral("a;b"), 3},
        {"backslashes", QStringLiteral("C:\\temp\\"), 8},
        {"brackets", QStringLiteral("[hyda]"), 6},
        {"ten-thousand", QString(10000, QLatin1Char('x')), 10000},
        {"non-bmp", QStringLiteral("😀𠀀"), 2},
        {"twenty-emoji", QStringLiteral("😀").repeated(20), 20},
        {"tab", QStringLiteral("tab\there"), 8},
        {"leading-tab", QStringLiteral("\tfirst"), 6},
        {"control", QStringLiteral("a\x01" "b\x7f" "c"), 5},
        {"newline", QStringLiteral("line1\nline2"), 11},
        {"arabic", QStringLiteral("مرحبا"), 5},
        {"hebrew-mixed", QStringLiteral("שלום abc"), 8},
        {"blanks", QStringLiteral("  padded  "), 10},
        {"nul", QStringLiteral("a") + QChar(0) + QStringLiteral("b"), 3},
        {"full-width-blanks", QStringLiteral("\u3000全角\u3000"), 4},
        {"empty", QString(), 0},
    };
}

// Other texts a careless search or write would confuse with a value: the
// value with its quotes doubled, and the value without its surrounding blanks.
inline QStringList lookAlikes(const QString &text)
{
    QStringList alike;
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    if (doubled != text)
        alike << doubled;
    if (!text.trimmed().isEmpty() && text.trimmed() != text)
        alike << text.trimmed();
    return alike;
}

// Whether a text is one of the inputs, as the database's NOCASE compares names.
inline bool isInput(const QString &text)
{
    for (const Input &in : inputs())
        if (in.text.compare(text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Controls by their names; a missing one is a fault of the test's own.
template <class T>
T *control(const QObject &w, const QString &name)
{
    T *found = w.findChild<T *>(name);
    if (!found)
        qFatal("no control named %s", qPrintable(name));
    return found;
}

inline QLineEdit *lineEdit(const QObject &w, const QString &name)
{
    return control<QLineEdit>(w, name);
}

// A tool bar button, pressed as the operator would.
inline void press(const QObject &w, const QString &key)
{
    control<QAction>(w, key)->trigger();
}

// Texts the engine (or our statement guard) produces when a value broke the
// statement it was spliced into. None of them may ever reach the operator.
inline QString engineErrorIn(const QStringList &messages)
{
    static const QStringList marks = {
        QStringLiteral("syntax error"),     QStringLiteral("unrecognized token"), QStringLiteral("no such column"),
        QStringLiteral("no such table"),    QStringLiteral("no such function"),   QStringLiteral("incomplete input"),
        QStringLiteral("near \""),          QStringLiteral("malformed"),          QStringLiteral("一次只能执行一条语句"),
        QStringLiteral("空语句"),           QStringLiteral("查找条件无效"),       QStringLiteral("查找条件中的字段")};
    for (const QString &m : messages)
        for (const QString &mark : marks)
            if (m.contains(mark, Qt::CaseInsensitive))
                return m.left(300);
    return {};
}

// Every message shown while it lives; questions get `answer`.
class Messages
{
public:
    Messages()
    {
        Msg::setHandler([this](const Msg::Shown &shown) {
            m_shown << shown;
            if (shown.buttons == Msg::Buttons::YesNo)
                return answer == Msg::Answer::Ok ? Msg::Answer::Yes : Msg::Answer::No;
            return shown.buttons == Msg::Buttons::Ok ? Msg::Answer::Ok : answer;
        });
    }
    ~Messages() { Msg::setHandler({}); }
    Messages(const Messages &) = delete;
    Messages &operator=(const Messages &) = delete;

    int count() const { return static_cast<int>(m_shown.size()); }
    const Msg::Shown &at(int i) const { return m_shown.at(i); }
    QStringList texts() const
    {
        QStringList all;
        for (const Msg::Shown &s : m_shown)
            all << s.text;
        return all;
    }
    // The messages, shortened, for a failure report.
    QString summary() const
    {
        QStringList shortened;
        for (const Msg::Shown &s : m_shown)
            shortened << s.text.left(120);
        return shortened.isEmpty() ? QStringLiteral("(no message)") : shortened.join(QStringLiteral(" | "));
    }
    void clear() { m_shown.clear(); }

    Msg::Answer answer = Msg::Answer::Ok;

private:
    QList<Msg::Shown> m_shown;
};

// File and print dialogs answered without a window: nothing chosen, printing declined.
class NoDialogs : public Dialogs
{
public:
    NoDialogs() { Dialogs::replace(this); }
    ~NoDialogs() override { Dialogs::replace(nullptr); }
    QString openFileName(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &) override { return {}; }
    bool print(QWidget *, QPrinter *) override
    {
        ++printAsked;
        return false;
    }
    bool printSetup(QWidget *, QPrinter *) override { return false; }
    int printAsked = 0;
};

// One value as SQLite holds it: text comes back as QString, integers as
// qint64, reals as double, NULL as an invalid QVariant.
inline QVariant columnValue(sqlite3_stmt *stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(stmt, i));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, i);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, i)), sqlite3_column_bytes(stmt, i));
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                                 sqlite3_column_bytes(stmt, i));
    }
}

inline void bindAll(sqlite3_stmt *stmt, const QVariantList &params)
{
    for (int i = 0; i < params.size(); ++i) {
        const QVariant &p = params.at(i);
        if (!p.isValid() || p.isNull()) {
            sqlite3_bind_null(stmt, i + 1);
        } else if (p.typeId() == QMetaType::QString) {
            const QByteArray utf8 = p.toString().toUtf8();
            sqlite3_bind_text(stmt, i + 1, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        } else if (p.typeId() == QMetaType::Double) {
            sqlite3_bind_double(stmt, i + 1, p.toDouble());
        } else {
            sqlite3_bind_int64(stmt, i + 1, p.toLongLong());
        }
    }
}

// Every row of a query, parameters bound by SQLite. A failing statement is a test fault: qFatal.
inline QList<QVariantList> rows(sqlite3 *db, const QString &sql, const QVariantList &params = {})
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &stmt, nullptr) != SQLITE_OK)
        qFatal("test query failed: %s: %s", text.constData(), sqlite3_errmsg(db));
    bindAll(stmt, params);
    QList<QVariantList> result;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVariantList row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i)
            row << columnValue(stmt, i);
        result << row;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        qFatal("test query failed: %s: %s", text.constData(), sqlite3_errmsg(db));
    return result;
}

inline QVariant value(sqlite3 *db, const QString &sql, const QVariantList &params = {})
{
    const QList<QVariantList> all = rows(db, sql, params);
    return all.isEmpty() || all.first().isEmpty() ? QVariant() : all.first().first();
}

inline qint64 number(sqlite3 *db, const QString &sql, const QVariantList &params = {})
{
    return value(db, sql, params).toLongLong();
}

// Writes with bound parameters; returns the new rowid.
inline qint64 write(sqlite3 *db, const QString &sql, const QVariantList &params = {})
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &stmt, nullptr) != SQLITE_OK)
        qFatal("test statement failed: %s: %s", text.constData(), sqlite3_errmsg(db));
    bindAll(stmt, params);
    const int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        qFatal("test statement failed: %s: %s", text.constData(), sqlite3_errmsg(db));
    return sqlite3_last_insert_rowid(db);
}

// A digest of what a query returns, types and bytes included.
inline QByteArray digest(sqlite3 *db, const QString &sql, const QVariantList &params = {})
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QVariantList &row : rows(db, sql, params)) {
        for (const QVariant &v : row) {
            hash.addData(QByteArray::number(v.typeId()));
            hash.addData(v.toString().toUtf8());
            hash.addData(QByteArrayView("\x1f", 1));
        }
        hash.addData(QByteArrayView("\x1e", 1));
    }
    return hash.result();
}

// The schema and the content of every table. Comparing two of them, leaving
// out the tables a command may change, tells whether anything else ran.
struct Snapshot
{
    QString schema;
    QMap<QString, QByteArray> tables;
};

inline Snapshot snapshot(sqlite3 *db)
{
    Snapshot s;
    for (const QVariantList &row :
         rows(db, QStringLiteral("select type, name, sql from sqlite_master order by type, name"))) {
        s.schema += row.at(0).toString() + QLatin1Char(' ') + row.at(1).toString() + QLatin1Char(' ')
                    + row.at(2).toString() + QLatin1Char('\n');
        const QString name = row.at(1).toString();
        if (row.at(0).toString() == QLatin1String("table") && !name.startsWith(QLatin1String("sqlite_")))
            s.tables.insert(name.toLower(), digest(db, QStringLiteral("select * from \"%1\" order by rowid").arg(name)));
    }
    return s;
}

// Empty when nothing but the allowed tables changed; otherwise what did.
inline QString changedBesides(const Snapshot &before, const Snapshot &after, const QStringList &allowed)
{
    if (before.schema != after.schema)
        return QStringLiteral("the schema changed");
    QStringList changed;
    for (auto it = before.tables.begin(); it != before.tables.end(); ++it) {
        if (allowed.contains(it.key(), Qt::CaseInsensitive))
            continue;
        if (after.tables.value(it.key()) != it.value())
            changed << it.key();
    }
    return changed.isEmpty() ? QString() : QStringLiteral("tables changed: ") + changed.join(QLatin1Char(','));
}

// Replaces a box's whole text as pasting does: the box reports it as edited,
// so it reaches the record it is bound to. Control characters and emoji pass
// as they would from the clipboard (typing keys cannot produce them all).
template <class Box>
void paste(Box *box, const QString &text)
{
    box->selectAll();
    box->insert(text);
}

// An open program-wide state over a fresh database.
struct Fixture
{
    explicit Fixture(TestDatabase::Content content = TestDatabase::Content::Empty)
        : db(content, DemoSize{20, 60})
    {
        state.setLocation(db.folder(), db.fileName());
        state.connection().open(state.connectionText());
        state.setCurrentOperator(QStringLiteral("王芳"));
    }
    sqlite3 *raw() { return rawDb.handle(); }

    TestDatabase db;
    AppState state;
    RawSqlite rawDb{db.path()};
};

} // namespace Hostile

// The inputs as QTest data rows, for tests that need only the text.
#define HOSTILE_TEXT_ROWS(prefix)                                                                                      \
    do {                                                                                                               \
        QTest::addColumn<QString>("text");                                                                             \
        QTest::addColumn<int>("characters");                                                                           \
        for (const Hostile::Input &in : Hostile::inputs())                                                             \
            QTest::newRow(qPrintable(QString::fromLatin1(prefix) + QLatin1String(in.tag))) << in.text << in.characters; \
    } while (false)
