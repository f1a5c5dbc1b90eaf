#pragma once

// What the archive tests share: a fresh database with the program-wide state
// opened on it, customers and tickets written with plain SQL, and a record of
// the messages the windows show.

#include "shell/appstate.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "support/testdatabase.h"
#include "ui/messagebox.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <QVariant>

// Every message shown while it lives; OK/Cancel questions get `answer`.
class MessageLog
{
public:
    MessageLog()
    {
        Msg::setHandler([this](const Msg::Shown &shown) {
            m_shown << shown;
            if (shown.buttons == Msg::Buttons::YesNo)
                return answer == Msg::Answer::Ok ? Msg::Answer::Yes : Msg::Answer::No;
            return shown.buttons == Msg::Buttons::Ok ? Msg::Answer::Ok : answer;
        });
    }
    ~MessageLog() { Msg::setHandler({}); }
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    int count() const { return static_cast<int>(m_shown.size()); }
    QString text(int i = 0) const { return i < m_shown.size() ? m_shown.at(i).text : QString(); }
    Msg::Icon icon(int i = 0) const { return i < m_shown.size() ? m_shown.at(i).icon : Msg::Icon::None; }
    QString last() const { return m_shown.isEmpty() ? QString() : m_shown.last().text; }
    QStringList texts() const
    {
        QStringList all;
        for (const Msg::Shown &s : m_shown)
            all << s.text;
        return all;
    }
    void clear() { m_shown.clear(); }

    Msg::Answer answer = Msg::Answer::Ok;

private:
    QList<Msg::Shown> m_shown;
};

inline const QString kOperator = QStringLiteral("王芳");

struct ArchiveFixture
{
    ArchiveFixture()
    {
        state.connection().open(Connection::connectionText(db.folder(), db.fileName()));
        state.setCurrentOperator(kOperator);
    }

    void exec(const QString &sql) { db.connection().execute(sql); }
    QVariant scalar(const QString &sql) { return db.scalar(sql); }
    int count(const QString &tableAndCondition) { return db.count(tableAndCondition); }

    void addCustomer(const QString &kh, const QString &xm)
    {
        exec(QStringLiteral("insert into hyda(kh,xm,xb) values(") + sqlQuote(kh) + QLatin1Char(',') + sqlQuote(xm)
             + QStringLiteral(",'男')"));
    }

    // A complete ticket row of customer kh; `values` overrides the defaults
    // (a null QVariant writes NULL). Returns its id.
    qint64 addTicket(const QString &kh, const QMap<QString, QVariant> &values = {})
    {
        QMap<QString, QVariant> row = {{QStringLiteral("kh"), kh},
                                       {QStringLiteral("cprq"), QStringLiteral("2024-02-20")},
                                       {QStringLiteral("qfrq"), QStringLiteral("2024-03-01")},
                                       {QStringLiteral("daoda"), QStringLiteral("北京")},
                                       {QStringLiteral("kaishi"), QStringLiteral("上海")},
                                       {QStringLiteral("hbh"), QStringLiteral("MU5101")},
                                       {QStringLiteral("cw"), QStringLiteral("Y")},
                                       {QStringLiteral("piaohao"), QStringLiteral("781-%1").arg(++m_tickets)},
                                       {QStringLiteral("ZS"), 1},
                                       {QStringLiteral("amount1"), 1000},
                                       {QStringLiteral("amount2"), 900},
                                       {QStringLiteral("amount3"), 850},
                                       {QStringLiteral("jfbl"), 5},
                                       {QStringLiteral("hangkong"), QStringLiteral("东航")},
                                       {QStringLiteral("neivai"), QStringLiteral("国内")},
                                       {QStringLiteral("sxf"), 30},
                                       {QStringLiteral("zt"), QStringLiteral("正常")},
                                       {QStringLiteral("czy"), kOperator},
                                       {QStringLiteral("lrrq"), QStringLiteral("2024-02-20")},
                                       {QStringLiteral("jifen"), 50},
                                       {QStringLiteral("jifenyue"), 50}};
        for (auto it = values.begin(); it != values.end(); ++it)
            row[it.key()] = it.value();
        QStringList names, literals;
        for (auto it = row.begin(); it != row.end(); ++it) {
            names << it.key();
            const QVariant &v = it.value();
            if (v.isNull())
                literals << QStringLiteral("null");
            else if (v.typeId() == QMetaType::QString)
                literals << sqlQuote(v.toString());
            else
                literals << sqlNumber(v.toDouble());
        }
        exec(QStringLiteral("insert into hyxc(") + names.join(QLatin1Char(',')) + QStringLiteral(") values(")
             + literals.join(QLatin1Char(',')) + QLatin1Char(')'));
        return db.connection().scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
    }

    // One column of every row a query returns, as text.
    QStringList column(const QString &sql)
    {
        Recordset rs;
        rs.open(sql, &db.connection());
        QStringList values;
        for (int i = 0; i < rs.recordCount(); ++i)
            values << rs.valueAt(i, 0).toString();
        return values;
    }

    TestDatabase db;
    AppState state;
    MessageLog messages;

private:
    int m_tickets = 0;
};
