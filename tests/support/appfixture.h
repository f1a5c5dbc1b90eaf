#pragma once

#include "domain/shell/appstate.h"
#include "shell/frm_pathset.h"
#include "store/recordset.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"

#include <QMap>
#include <QStringList>

inline const QString kOperator = QStringLiteral("王芳");

// A fresh database with the program-wide state open on it and an operator
// logged in, a record of the messages shown, and plain ways to put rows in
// and read them back (bound parameters, never the program's own statements).
struct AppFixture
{
    explicit AppFixture(TestDatabase::Content content = TestDatabase::Content::Empty,
                        const DemoSize &size = DemoSize{20, 60})
        : db(content, size)
    {
        // The seat runs as the operator (on a server, its role); the helpers below as the owner.
        const auto [folder, file] = Frm_pathset::splitLocation(db.seatPath(kOperator));
        state.setLocation(folder, file);
        state.connection().open(state.connectionText());
        state.setCurrentOperator(kOperator);
    }

    int exec(const QString &sql, const QVariantList &params = {}) { return db.connection().execute(sql, params); }
    QVariant scalar(const QString &sql, const QVariantList &params = {}) { return db.connection().scalar(sql, params); }
    int count(const QString &tableAndCondition, const QVariantList &params = {})
    {
        return scalar(QStringLiteral("select count(*) from ") + tableAndCondition, params).toInt();
    }
    // The first column of every row, as text.
    QStringList column(const QString &sql, const QVariantList &params = {})
    {
        Recordset rs;
        rs.open(sql, &db.connection(), LockType::ReadOnly, params);
        QStringList values;
        for (int i = 0; i < rs.recordCount(); ++i)
            values << rs.valueAt(i, 0).toString();
        return values;
    }

    // Every row as its columns joined by '|', the rows joined by ' ': the same
    // text from either engine, whatever types it keeps numbers in.
    QString rows(const QString &sql, const QVariantList &params = {})
    {
        Recordset rs;
        rs.open(sql, &db.connection(), LockType::ReadOnly, params);
        QStringList out;
        for (int i = 0; i < rs.recordCount(); ++i) {
            QStringList fields;
            for (int c = 0; c < rs.fieldCount(); ++c)
                fields << rs.valueAt(i, c).toString();
            out << fields.join(QLatin1Char('|'));
        }
        return out.join(QLatin1Char(' '));
    }

    void addCustomer(const QString &kh, const QString &xm = QStringLiteral("客户"))
    {
        exec(QStringLiteral("insert into hyda(kh, xm, xb) values(?, ?, '男')"), {kh, xm});
    }
    // A complete ticket row of customer kh (50 points earned and left);
    // `values` overrides columns, a null QVariant writes NULL. Returns its id.
    qint64 addTicket(const QString &kh, const QMap<QString, QVariant> &values = {})
    {
        QMap<QString, QVariant> row = {
            {"kh", kh},          {"cprq", "2024-02-20"}, {"qfrq", "2024-03-01"}, {"daoda", "北京"},
            {"kaishi", "上海"},  {"hbh", "MU5101"},      {"cw", "Y"},            {"piaohao", QString("781-%1").arg(++m_tickets)},
            {"ZS", 1},           {"amount1", 1000},      {"amount2", 900},       {"amount3", 850},
            {"jfbl", 5},         {"hangkong", "东航"},   {"neivai", "国内"},     {"sxf", 30},
            {"zt", "正常"},      {"czy", kOperator},     {"lrrq", "2024-02-20"}, {"jifen", 50},
            {"jifenyue", 50}};
        row.insert(values);
        const QStringList names = row.keys();
        exec(QStringLiteral("insert into hyxc(%1) values(%2)")
                 .arg(names.join(QLatin1Char(',')), QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(','))),
             row.values());
        return scalar(QStringLiteral("select max(id) from hyxc")).toLongLong();
    }

    TestDatabase db;
    AppState state;
    MessageLog messages;

private:
    int m_tickets = 0;
};
