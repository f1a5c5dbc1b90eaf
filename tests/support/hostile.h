#pragma once

// Hostile text through the windows: the inputs, and a look at the file beside the program.

#include "domain/shell/appstate.h"
#include "store/statement.h"
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
};

inline const QList<Input> &inputs()
{
    static const QList<Input> all = {
        {"apostrophe", QStringLiteral("O'Neil")},
        {"double-quote-delete", QStringLiteral("\"; delete from dict; --")},
        {"percent-underscore", QStringLiteral("100%_off")},
        {"jet-date", QStringLiteral("#2003-1-1#")},
        {"backslashes", QStringLiteral("C:\\temp\\")},
        {"brackets", QStringLiteral("[hyda]")},
        {"ten-thousand", QString(10000, QLatin1Char('x'))},
        {"twenty-non-bmp", QStringLiteral("😀𠀀").repeated(10)},
        {"control-newline-nul", QStringLiteral("a\x01" "b\n") + QChar(0) + QStringLiteral("c")},
        {"blanks", QStringLiteral("\u3000 padded \u3000")},
        {"empty", QString()},
    };
    return all;
}

// Characters as a person counts them: an emoji or a Chinese character is one.
inline int characters(const QString &text) { return int(text.toUcs4().size()); }

// One data row per place and input: columns "place" and "text".
inline void addRows(const QStringList &places)
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("text");
    for (const QString &place : places)
        for (const Input &in : inputs())
            QTest::addRow("%s %s", qPrintable(place), in.tag) << place << in.text;
}

inline QString summary(const MessageLog &m) { return m.count() ? m.texts().join(QStringLiteral(" | ")) : QStringLiteral("(no message)"); }

// The program's state over a fresh file, and the test's own connection to it,
// whose statements bind every value: a fault in the program's quoting cannot hide itself.
class Fixture
{
public:
    Fixture()
    {
        state.setLocation(db.folder(), db.fileName());
        state.connection().open(state.connectionText());
        state.setCurrentOperator(QStringLiteral("王芳"));
    }

    QList<QVariantList> rows(const QString &sql, const QVariantList &params = {})
    {
        Statement statement = db.connection().prepare(sql);
        statement.bindAll(params);
        QList<QVariantList> result;
        while (statement.next()) {
            QVariantList row;
            for (int i = 0; i < statement.columnCount(); ++i)
                row << statement.value(i);
            result << row;
        }
        return result;
    }
    QVariant value(const QString &sql, const QVariantList &params = {}) { return db.connection().scalar(sql, params); }
    qint64 number(const QString &sql, const QVariantList &params = {}) { return value(sql, params).toLongLong(); }
    qint64 write(const QString &sql, const QVariantList &params = {})
    {
        db.connection().execute(sql, params);
        return number(QStringLiteral("select last_insert_rowid()"));
    }
    void addCustomer(const QString &kh) { write(QStringLiteral("insert or ignore into hyda(kh, xm) values(?1, '客户')"), {kh}); }
    qint64 addTicket(const QString &kh, double points)
    {
        return write(QStringLiteral("insert into hyxc(kh, cprq, qfrq, daoda, kaishi, hbh, cw, piaohao, hangkong, jfbl, "
                                    "amount1, jifen, jifenyue) values(?1, '2024-02-20', '2024-03-01', '北京', '上海', "
                                    "'MU5101', 'Y', ?2, '东航', 5, 1000, ?3, ?3)"),
                     {kh, QStringLiteral("781-%1").arg(++m_serial), points});
    }
    // Every input but the empty one as a customer with tickets.
    void addHostileCustomers(int tickets)
    {
        for (const Input &in : inputs())
            if (!in.text.isEmpty()) {
                addCustomer(in.text);
                for (int i = 0; i < tickets; ++i)
                    addTicket(in.text, 5);
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

    TestDatabase db{TestDatabase::Content::Empty};
    AppState state;

private:
    int m_serial = 0;
};

// What every hostile action must leave behind: no engine text (or the
// statement guard's) shown to the operator, and no table changed but those the command may change.
class Guard
{
public:
    Guard(Fixture &f, const MessageLog &m, const QStringList &allowed)
        : m_f(f), m_m(m), m_before(f.snapshot()), m_allowed(allowed + QStringList{"czyrz", "sqlite_sequence"})
    {
    }
    QString problems() const
    {
        static const QStringList marks = {"syntax error", "unrecognized token", "no such", "incomplete input",
                                          "near \"", "malformed", "一次只能执行一条语句", "空语句", "查找条件"};
        for (const QString &text : m_m.texts())
            for (const QString &mark : marks)
                if (text.contains(mark, Qt::CaseInsensitive))
                    return QStringLiteral("engine text shown: ") + text.left(300);
        QStringList changed;
        const auto after = m_f.snapshot();
        for (auto it = m_before.begin(); it != m_before.end(); ++it)
            if (!m_allowed.contains(it.key(), Qt::CaseInsensitive) && after.value(it.key()) != it.value())
                changed << it.key();
        return changed.isEmpty() ? QString() : QStringLiteral("tables changed: ") + changed.join(QLatin1Char(','));
    }

private:
    Fixture &m_f;
    const MessageLog &m_m;
    QMap<QString, QByteArray> m_before;
    const QStringList m_allowed;
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
