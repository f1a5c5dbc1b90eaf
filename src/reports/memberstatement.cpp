#include "reports/memberstatement.h"

#include "domain/reports/reportdocument.h"
#include "domain/reports/reporttemplate.h"
#include "store/connection.h"
#include "store/fielddictionary.h"
#include "store/recordset.h"

#include <algorithm>
#include <cmath>

namespace {

// Points are kept to the cent here too, so sums do not drift.
qint64 cents(const QVariant &v)
{
    return std::llround(v.toDouble() * 100);
}

// What identifies a ticket row across a transfer: the columns the transfer log copies.
QString contentKey(const Recordset &rs)
{
    QStringList parts;
    for (const char *field : {"kaishi", "daoda", "hangkong", "neivai"})
        parts << rs.text(QLatin1String(field));
    for (const char *field : {"amount1", "amount2", "amount3", "jifen"})
        parts << QString::number(cents(rs.value(QLatin1String(field))));
    return parts.join(QChar(0x1F));
}

QString routeOf(const Recordset &rs)
{
    const QString from = rs.text(QStringLiteral("kaishi"));
    const QString to = rs.text(QStringLiteral("daoda"));
    return from.isEmpty() && to.isEmpty() ? QString() : from + QLatin1Char('-') + to;
}

// Same-day movements in the order they can happen: a ticket before what uses its points.
int kindOrder(const QString &kind)
{
    static const QStringList order{QStringLiteral("购票"), QStringLiteral("转入"), QStringLiteral("积分清除"),
                                   QStringLiteral("退票"), QStringLiteral("作废"), QStringLiteral("转出")};
    const auto at = order.indexOf(kind);
    return at < 0 ? static_cast<int>(order.size()) : static_cast<int>(at);
}

struct Transfer
{
    QString key;
    QString when;
    bool paired = false;
    StatementLine line;
    qint64 remaining = 0;
    qint64 earned = 0;
    QVariantList saleKey; // receiver, kaishi, daoda, hangkong, jifen: to find the sale's date
};

} // namespace

MemberStatement MemberStatements::build(Connection &connection, const QString &kh, const QDate &from, const QDate &to)
{
    MemberStatement st;
    st.kh = kh;
    st.from = from;
    st.to = to;
    st.name = connection.scalar(QStringLiteral("select xm from hyda where kh=?"), {kh}).toString();

    struct Movement
    {
        StatementLine line;
        qint64 in = 0, out = 0;
    };
    QVector<Movement> moves;
    qint64 remainingNow = 0;

    // Transfers first: tickets that came by transfer are shown as the transfer, not as a sale.
    Recordset log;
    log.open(QStringLiteral("select kh, kaishi, daoda, amount1, amount2, amount3, hangkong, neivai, jifen, jifenyue, "
                            "zhuanrangkh, zrsj from hyxczhuanrang where kh=? or zhuanrangkh=? order by zrsj"),
             &connection, LockType::ReadOnly, {kh, kh});
    QVector<Transfer> ins, outs;
    for (int r = 0; r < log.recordCount(); ++r) {
        log.moveTo(r);
        Transfer t;
        t.key = contentKey(log);
        t.when = log.text(QStringLiteral("zrsj"));
        t.remaining = cents(log.value(QStringLiteral("jifenyue")));
        t.earned = cents(log.value(QStringLiteral("jifen")));
        t.line.date = t.when;
        t.line.route = routeOf(log);
        t.line.airline = log.text(QStringLiteral("hangkong"));
        t.saleKey = {log.value(QStringLiteral("zhuanrangkh")), log.value(QStringLiteral("kaishi")),
                     log.value(QStringLiteral("daoda")), log.value(QStringLiteral("hangkong")),
                     log.value(QStringLiteral("jifen"))};
        const bool incoming = log.text(QStringLiteral("zhuanrangkh")).compare(kh, Qt::CaseInsensitive) == 0;
        const bool outgoing = log.text(QStringLiteral("kh")).compare(kh, Qt::CaseInsensitive) == 0;
        if (incoming && !outgoing) {
            t.line.kind = QStringLiteral("转入");
            t.line.note = QStringLiteral("自 ") + log.text(QStringLiteral("kh"));
            ins.append(t);
        } else if (outgoing && !incoming) {
            t.line.kind = QStringLiteral("转出");
            t.line.note = QStringLiteral("至 ") + log.text(QStringLiteral("zhuanrangkh"));
            outs.append(t);
        }
    }

    Recordset tickets;
    tickets.open(QStringLiteral("select id, cprq, lrrq, kaishi, daoda, hangkong, neivai, piaohao, zt, amount1, amount2, "
                                "amount3, jifen, jifenyue from hyxc where kh=? order by cprq, id"),
                 &connection, LockType::ReadOnly, {kh});
    QVector<bool> heldByTransfer(tickets.recordCount(), false);
    QVector<QString> heldKeys;
    for (int r = 0; r < tickets.recordCount(); ++r) {
        tickets.moveTo(r);
        heldKeys << contentKey(tickets);
        remainingNow += cents(tickets.value(QStringLiteral("jifenyue")));
    }
    // Each transfer in accounts for one ticket the member later passed on, or else one still held.
    for (Transfer &in : ins) {
        auto later = std::find_if(outs.begin(), outs.end(),
                                  [&](const Transfer &o) { return !o.paired && o.key == in.key && o.when >= in.when; });
        if (later != outs.end()) {
            later->paired = true;
            continue;
        }
        for (int r = 0; r < heldKeys.size(); ++r)
            if (!heldByTransfer.at(r) && heldKeys.at(r) == in.key) {
                heldByTransfer[r] = true;
                break;
            }
    }

    for (int r = 0; r < tickets.recordCount(); ++r) {
        if (heldByTransfer.at(r))
            continue;
        tickets.moveTo(r);
        Movement m;
        m.line.date = tickets.text(QStringLiteral("cprq"));
        if (m.line.date.isEmpty())
            m.line.date = tickets.text(QStringLiteral("lrrq"));
        const QString state = tickets.text(QStringLiteral("zt"));
        m.line.kind = state == QStringLiteral("退票") || state == QStringLiteral("作废") ? state : QStringLiteral("购票");
        m.line.route = routeOf(tickets);
        m.line.airline = tickets.text(QStringLiteral("hangkong"));
        m.line.ticket = tickets.text(QStringLiteral("piaohao"));
        m.in = cents(tickets.value(QStringLiteral("jifen")));
        moves.append(m);
    }
    for (const Transfer &in : ins) {
        Movement m{in.line, in.remaining, 0};
        moves.append(m);
    }
    for (const Transfer &out : outs) {
        // A ticket of the member's own that left by transfer was a sale first.
        if (!out.paired) {
            Movement sale;
            sale.line = out.line;
            sale.line.kind = QStringLiteral("购票");
            sale.line.note.clear();
            // The row now belongs to the receiver; its sale date is read there when it can be found.
            const QVariant sold = connection.scalar(
                QStringLiteral("select cprq from hyxc where kh=? and kaishi=? and daoda=? and hangkong=? and jifen=? "
                               "order by id"),
                out.saleKey);
            if (!sold.toString().isEmpty())
                sale.line.date = sold.toString();
            sale.in = out.earned;
            moves.append(sale);
        }
        moves.append(Movement{out.line, 0, out.remaining});
    }

    Recordset clearings;
    clearings.open(QStringLiteral("select jifen, qcsj, bz from jifenallow where kh=? order by qcsj"), &connection,
                   LockType::ReadOnly, {kh});
    for (int r = 0; r < clearings.recordCount(); ++r) {
        clearings.moveTo(r);
        Movement m;
        m.line.date = clearings.text(QStringLiteral("qcsj"));
        m.line.kind = QStringLiteral("积分清除");
        m.line.note = clearings.text(QStringLiteral("bz"));
        m.out = cents(clearings.value(QStringLiteral("jifen")));
        moves.append(m);
    }

    std::stable_sort(moves.begin(), moves.end(), [](const Movement &a, const Movement &b) {
        const QString da = a.line.date.left(10), db = b.line.date.left(10);
        if (da != db)
            return da < db;
        return kindOrder(a.line.kind) < kindOrder(b.line.kind);
    });

    // Worked back from today's remaining points: what came after the period, then within it.
    const QString first = from.toString(Qt::ISODate), last = to.toString(Qt::ISODate);
    qint64 closing = remainingNow;
    for (const Movement &m : moves)
        if (m.line.date.left(10) > last)
            closing -= m.in - m.out;
    qint64 balance = closing;
    for (const Movement &m : moves) {
        const QString day = m.line.date.left(10);
        if (!day.isEmpty() && day >= first && day <= last)
            balance -= m.in - m.out;
    }
    st.opening = balance / 100.0;
    st.closing = closing / 100.0;
    for (const Movement &m : moves) {
        const QString day = m.line.date.left(10);
        if (day.isEmpty() || day < first || day > last)
            continue;
        balance += m.in - m.out;
        StatementLine line = m.line;
        line.in = m.in / 100.0;
        line.out = m.out / 100.0;
        line.balance = balance / 100.0;
        st.lines.append(line);
    }
    return st;
}

Report MemberStatements::report(Connection &connection, const MemberStatement &st)
{
    const QVector<PrintColumn> columns = FieldDictionary::printColumns(connection, kTableCode);
    if (columns.isEmpty())
        throw ReportProblem(QStringLiteral("报表“%1”没有可打印的字段，请在“报表设计”中设置。").arg(kTableCode));
    const QStringList fields{QStringLiteral("rq"),      QStringLiteral("zy"), QStringLiteral("hc"),
                             QStringLiteral("hangkong"), QStringLiteral("piaohao"), QStringLiteral("srjf"),
                             QStringLiteral("zcjf"),     QStringLiteral("ye"), QStringLiteral("bz")};
    RowStore rows;
    rows.reset(static_cast<int>(fields.size()));
    auto add = [&rows](const QVariantList &values) {
        rows.appendEmpty();
        for (int c = 0; c < values.size(); ++c)
            rows.setValue(rows.rowCount() - 1, c, values.at(c));
    };
    const QVariant none;
    add({st.from.toString(Qt::ISODate), QStringLiteral("期初余额"), none, none, none, none, none, st.opening, none});
    for (const StatementLine &l : st.lines)
        add({l.date.left(10), l.kind, l.route, l.airline, l.ticket, l.in, l.out, l.balance, l.note});
    add({st.to.toString(Qt::ISODate), QStringLiteral("期末余额"), none, none, none, none, none, st.closing, none});

    ReportTemplate layout;
    ModReport::layout(layout, columns,
                      ModReport::genericStyle(QStringLiteral("卡号：%1    姓名：%2    期间：%3 至 %4")
                                                  .arg(st.kh, st.name, st.from.toString(Qt::ISODate),
                                                       st.to.toString(Qt::ISODate))));
    return ReportDocument::buildFromRows(layout, fields, std::move(rows));
}
