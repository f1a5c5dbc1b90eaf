// Hostile text through the customer archive: every field slot of the customer
// window, its find and delete, points clearing and transfer, every
// cell of the itinerary grid, refund, and the single-row transfer window. Each
// value is stored and read back exactly or refused with the program's own
// message; no statement other than the one asked for ever runs.
#include "archive/frmhyda.h"
#include "archive/frmjfzr.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "reports/reportdocument.h"
#include "store/recordset.h"
#include "support/hostile.h"
#include "support/shownreport.h"
#include "support/windowload.h"

#include <QPushButton>
#include <QTableView>

using namespace Hostile;

class HostileArchiveTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanupTestCase() { stage(QString()); }
    void customerWindow_data();
    void customerWindow();
    void itinerary_data();
    void itinerary();

private:
    void stage(const QString &place);
    void customerField(const QString &place, const QString &text, int characters);
    void clearOrTransfer(const QString &place, const QString &text);
    FRMHYDA &window();
    ItineraryArea &area();

    std::unique_ptr<Fixture> m_f;
    std::unique_ptr<FRMHYDA> m_window;
    std::unique_ptr<ItineraryArea> m_area;
    std::unique_ptr<FrmJfzr> m_jfzr;
    QString m_place;
    int m_serial = 0;
    MessageLog m_messages;
    FakeDialogs m_dialogs;
};

// One file per place, shared by the inputs of that place.
void HostileArchiveTest::init()
{
    const QString tag = QString::fromUtf8(QTest::currentDataTag());
    stage(tag.section(QLatin1Char(' '), 0, 0));
    m_messages.clear();
}

void HostileArchiveTest::stage(const QString &place)
{
    if (place == m_place && m_f)
        return;
    m_jfzr.reset();
    m_area.reset();
    m_window.reset();
    m_f = place.isEmpty() ? nullptr : std::make_unique<Fixture>();
    m_place = place;
    if (!m_f)
        return;
    if (place.startsWith(QLatin1String("edit"))) {
        m_f->write(QStringLiteral("insert into hyda(kh, xm) values('E1', '原名'), ('E2', '旁人')"));
    } else if (QStringList{"delete", "clear-customer", "transfer-from", "transfer-to", "customer", "row-from", "row-to"}
                   .contains(place)) {
        m_f->addHostileCustomers(place.startsWith(QLatin1String("row-to")) || place == QLatin1String("customer") ? 1 : 2);
        m_f->addCustomer(QStringLiteral("T1"));
    }
    for (const QString &kh : {QStringLiteral("K1"), QStringLiteral("R1")}) {
        m_f->addCustomer(kh);
        m_f->addTicket(kh, 500);
    }
}

FRMHYDA &HostileArchiveTest::window()
{
    if (!m_window) {
        m_window = std::make_unique<FRMHYDA>(m_f->state);
        loaded(*m_window);
    }
    return *m_window;
}

ItineraryArea &HostileArchiveTest::area()
{
    if (!m_area) {
        m_area = std::make_unique<ItineraryArea>(m_f->state);
        m_area->load();
    }
    return *m_area;
}

void HostileArchiveTest::customerWindow_data()
{
    QStringList places;
    for (int slot = 0; slot < 19; ++slot) // slot 19 (who registered the customer) is never typed into
        places << QStringLiteral("slot%1").arg(slot);
    addRows(places << "edit1" << "edit14" << "find" << "delete" << "clear-customer" << "clear-remark"
                   << "clear-points" << "transfer-from" << "transfer-to");
}

void HostileArchiveTest::customerWindow()
{
    QFETCH(QString, place);
    QFETCH(QString, text);
    QFETCH(int, characters);
    if (place.startsWith(QLatin1String("slot")) || place.startsWith(QLatin1String("edit")))
        return customerField(place, text, characters);
    if (place.startsWith(QLatin1String("clear")) || place.startsWith(QLatin1String("transfer")))
        return clearOrTransfer(place, text);
    Fixture &f = *m_f;
    FRMHYDA &w = window();
    Guard guard(f, m_messages, {"hyda", "hyxc", "SUMhangkong", "SUMgeren", "SUMdaoda", "SUMkh"});
    if (place == QLatin1String("find")) {
        // Look-alikes first: a search that confused them with the value would stop there.
        const int longest = f.number(QStringLiteral("select colm_cd from dh_codedict where table_code='hyda' and colm_code='xm'"));
        const bool storable = characters >= 1 && characters <= longest;
        QString card;
        for (const QString &name : lookAlikes(text) + QStringList{text + QStringLiteral("x"), text}) {
            if (!storable || name.toUcs4().size() > longest)
                continue;
            press(w, QStringLiteral("new"));
            paste(w.slotBox(0), card = QStringLiteral("F%1").arg(++m_serial));
            paste(w.slotBox(1), name);
            press(w, QStringLiteral("save"));
            QVERIFY2(m_messages.count() == 0, qPrintable(summary(m_messages)));
        }
        w.Cmdmove_Click(0);
        paste(w, QStringLiteral("Txtfind"), text);
        press(w, QStringLiteral("find"));
        if (storable) {
            QVERIFY2(m_messages.count() == 0, qPrintable(summary(m_messages)));
            QCOMPARE(w.customerNumber(), card);
            QCOMPARE(w.slotBox(1)->text(), text);
        } else {
            QCOMPARE(summary(m_messages), QStringLiteral("未查到数据!"));
        }
    } else { // delete: found by card number, then deleted with its tickets and nothing else
        const QByteArray others = f.digest(QStringLiteral("select * from hyda, hyxc where hyda.kh<>?1 and hyxc.kh<>?1"), {text});
        w.Cmdmove_Click(0);
        paste(w, QStringLiteral("Txtfind"), text);
        press(w, QStringLiteral("find"));
        if (text.isEmpty()) {
            QCOMPARE(summary(m_messages), QStringLiteral("未查到数据!"));
            return;
        }
        QCOMPARE(w.customerNumber(), text);
        press(w, QStringLiteral("delete"));
        QCOMPARE(summary(m_messages), QStringLiteral("确认删除当前记录"));
        QCOMPARE(f.number(QStringLiteral("select count(*) from hyda, hyxc where hyda.kh=?1 or hyxc.kh=?1"), {text}), 0);
        QCOMPARE(f.digest(QStringLiteral("select * from hyda, hyxc where hyda.kh<>?1 and hyxc.kh<>?1"), {text}), others);
    }
    QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
}

void HostileArchiveTest::customerField(const QString &place, const QString &text, int characters)
{
    Fixture &f = *m_f;
    FRMHYDA &w = window();
    const bool editing = place.startsWith(QLatin1String("edit"));
    const int slot = place.mid(4).toInt();
    const QVariantList field = f.rows(QStringLiteral("select colm_code, colm_name, upper(colm_type), colm_cd, nullbj "
                                                     "from dh_codedict where table_code='hyda' order by xh")).at(slot);
    const QString card = editing ? QStringLiteral("E1") : slot == 0 ? text : QStringLiteral("H%1").arg(++m_serial);
    const QString cell = QStringLiteral("select \"%1\" from hyda where kh=?1").arg(field.at(0).toString());
    const QVariant was = f.value(cell, {card});
    const QByteArray others = f.digest(QStringLiteral("select * from hyda where kh<>?1"), {card});
    Guard guard(f, m_messages, {"hyda", "SUMkh"});
    if (editing) {
        w.Cmdmove_Click(0);
        press(w, QStringLiteral("edit"));
    } else {
        press(w, QStringLiteral("new"));
        paste(w.slotBox(0), card);
        paste(w.slotBox(1), QStringLiteral("测试客户"));
    }
    // Something typed first, then replaced: an empty value is a box the operator emptied.
    paste(w.slotBox(slot), QStringLiteral("z"));
    paste(w.slotBox(slot), text);
    press(w, QStringLiteral("save"));

    const QList<QVariantList> stored = f.rows(cell, {card});
    const bool written = editing ? m_messages.count() == 0 || stored.first().first() != was : !stored.isEmpty();
    const QString verdict = storedOrRefused(m_messages, written ? stored.value(0) : QVariantList(), text,
                                            field.at(1).toString());
    QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
    if (m_messages.count() == 0) {
        // Only what fits its field is ever kept.
        QVERIFY(characters <= field.at(3).toInt() && (field.at(2) == "CHAR" || text.isEmpty()));
        QVERIFY(!text.isEmpty() || field.at(4) == "0");
        QCOMPARE(w.slotBox(slot)->text(), text);
        QCOMPARE(w.customerNumber(), card);
    } else {
        press(w, QStringLiteral("cancel"));
        QCOMPARE(f.value(cell, {card}), was);
    }
    QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
    QCOMPARE(f.digest(QStringLiteral("select * from hyda where kh<>?1"), {card}), others);
    QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
}

// Clearing (customer, remark and points boxes) and transfer of all rows (from and to boxes).
void HostileArchiveTest::clearOrTransfer(const QString &place, const QString &text)
{
    Fixture &f = *m_f;
    FRMHYDA &w = window();
    const bool clearing = place.startsWith(QLatin1String("clear"));
    const QString giver = place == QLatin1String("transfer-to")     ? QStringLiteral("G%1").arg(++m_serial)
                          : place == QLatin1String("clear-customer") || place == QLatin1String("transfer-from") ? text
                                                                                                          : QStringLiteral("K1");
    const QString taker = place == QLatin1String("transfer-to") ? text : QStringLiteral("T1");
    if (place == QLatin1String("transfer-to")) {
        f.addCustomer(giver);
        f.addTicket(giver, 3);
        f.addTicket(giver, 4);
    }
    const QString sum = QStringLiteral("select count(*), total(jifenyue) from hyxc where kh=?1");
    const QVariantList before = f.rows(sum, {giver}).first();
    const qint64 takerRows = f.number(QStringLiteral("select count(*) from hyxc where kh=?1"), {taker});
    const QString othersSql = QStringLiteral("select * from hyxc where kh<>?1 and kh<>?2");
    const QByteArray others = f.digest(othersSql, {giver, taker});
    const QString log = clearing ? QStringLiteral("jifenallow") : QStringLiteral("hyxczhuanrang");
    const qint64 lastLog = f.number(QStringLiteral("select coalesce(max(rowid), 0) from ") + log);
    Guard guard(f, m_messages, {"hyxc", log, "SUMkh"});
    if (clearing) {
        paste(w, QStringLiteral("Text3"), giver);
        paste(w, QStringLiteral("Text4"), place == QLatin1String("clear-points") ? text : QStringLiteral("1"));
        paste(w, QStringLiteral("Txtbz"), place == QLatin1String("clear-remark") ? text : QStringLiteral("备注"));
        control<QPushButton>(w, QStringLiteral("Command2"))->click();
    } else {
        paste(w, QStringLiteral("Text1"), giver);
        paste(w, QStringLiteral("Text2"), taker);
        control<QPushButton>(w, QStringLiteral("cmdOK"))->click();
    }
    QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
    const QList<QVariantList> logged = f.rows(
        QStringLiteral("select kh, %1 from %2 where rowid > ?1").arg(clearing ? "bz" : "zhuanrangkh", log), {lastLog});
    if (giver.isEmpty() || taker.isEmpty()) { // no customer number: nothing to do, and no word
        QVERIFY2(m_messages.count() == 0 && logged.isEmpty(), qPrintable(summary(m_messages)));
        return;
    }
    if (place == QLatin1String("clear-points")) { // none of the inputs is a number of points
        QVERIFY2(summary(m_messages) == QStringLiteral("请输入数字") && logged.isEmpty(), qPrintable(summary(m_messages)));
        return;
    }
    const QVariantList after = f.rows(sum, {giver}).first();
    if (clearing) {
        QCOMPARE(summary(m_messages), giver + QStringLiteral("会员 1分已清除!"));
        QCOMPARE(after.at(1).toDouble(), before.at(1).toDouble() - 1);
        QCOMPARE(logged.size(), 1);
        const QString remark = place == QLatin1String("clear-remark") ? text : QStringLiteral("备注");
        QCOMPARE(logged.first().at(1), remark.isEmpty() ? QVariant() : QVariant(remark));
    } else {
        QCOMPARE(summary(m_messages), QStringLiteral("客户") + giver + QStringLiteral("已全部转让到") + taker);
        QCOMPARE(after.at(0).toInt(), 0);
        QCOMPARE(f.number(QStringLiteral("select count(*) from hyxc where kh=?1"), {taker}), takerRows + before.at(0).toLongLong());
        QCOMPARE(logged.size(), before.at(0).toInt());
        QVERIFY(!logged.isEmpty());
        for (const QVariantList &r : logged)
            QCOMPARE(r.at(1).toString(), taker);
    }
    for (const QVariantList &r : logged)
        QCOMPARE(r.at(0).toString(), giver);
    QCOMPARE(f.digest(othersSql, {giver, taker}), others);
}

void HostileArchiveTest::itinerary_data()
{
    QStringList places;
    // Every column an operator can type or pick into (text, list, number and date cells).
    for (int column : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 21, 22, 25})
        places << QStringLiteral("column%1").arg(column);
    addRows(places << "customer" << "refund" << "row-from" << "row-to");
}

void HostileArchiveTest::itinerary()
{
    QFETCH(QString, place);
    QFETCH(QString, text);
    Fixture &f = *m_f;
    const bool cell = place.startsWith(QLatin1String("column"));
    const int column = cell ? place.mid(6).toInt() : 0;
    if (place.startsWith(QLatin1String("row"))) {
        // The single-row transfer window: the rows of one customer, one moved to another.
        if (!m_jfzr)
            m_jfzr = std::make_unique<FrmJfzr>(f.state);
        FrmJfzr &w = *m_jfzr;
        const QString giver = place == QLatin1String("row-from") ? text : QStringLiteral("G%1").arg(++m_serial);
        const QString taker = place == QLatin1String("row-from") ? QStringLiteral("T1") : text;
        if (place == QLatin1String("row-to")) {
            f.addCustomer(giver);
            f.addTicket(giver, 6);
        }
        const qint64 rows = f.number(QStringLiteral("select count(*) from hyxc where kh=?1"), {giver});
        const qint64 lastLog = f.number(QStringLiteral("select coalesce(max(rowid), 0) from hyxczhuanrang"));
        Guard guard(f, m_messages, {"hyxc", "hyxczhuanrang", "SUMkh"});
        paste(w, QStringLiteral("Text1"), giver);
        w.listRows();
        QCOMPARE(giver.isEmpty() ? 0 : w.list()->recordCount(), int(rows));
        qint64 id = 0;
        if (!giver.isEmpty()) {
            w.list()->moveFirst();
            id = w.list()->value(QStringLiteral("id")).toLongLong();
        }
        const QByteArray others = f.digest(QStringLiteral("select * from hyxc where id<>?1"), {id});
        paste(w, QStringLiteral("Text2"), taker);
        w.cmdOK_Click();
        QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
        const QList<QVariantList> logged =
            f.rows(QStringLiteral("select kh, zhuanrangkh from hyxczhuanrang where rowid > ?1"), {lastLog});
        if (text.isEmpty()) {
            QVERIFY2(m_messages.count() == 0 && logged.isEmpty(), qPrintable(summary(m_messages)));
            return;
        }
        QCOMPARE(summary(m_messages), QStringLiteral("客户") + giver + QStringLiteral("当前积分转让到") + taker);
        QCOMPARE(f.value(QStringLiteral("select kh from hyxc where id=?1"), {id}).toString(), taker);
        QCOMPARE(logged, (QList<QVariantList>{{giver, taker}}));
        QCOMPARE(w.list()->recordCount(), int(rows) - 1);
        QCOMPARE(f.digest(QStringLiteral("select * from hyxc where id<>?1"), {id}), others);
        return;
    }

    ItineraryArea &a = area();
    ItineraryModel *model = a.model();
    Guard guard(f, m_messages, {"hyxc", "SUMhangkong", "SUMgeren", "SUMdaoda", "SUMkh"});
    if (place == QLatin1String("refund")) {
        // The ticket's airline and the operator both carry the text into the log row.
        const qint64 id = f.addTicket(QStringLiteral("R1"), 50);
        f.write(QStringLiteral("update hyxc set hangkong=?1 where id=?2"), {text.isEmpty() ? QVariant() : QVariant(text), id});
        f.state.setCurrentOperator(text);
        a.setCustomer(QStringLiteral("R1"));
        a.setEditMode();
        const qint64 lastLog = f.number(QStringLiteral("select max(tag) from czyrz"));
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->cell(r, 0) == QString::number(id))
                a.grid()->setCurrentIndex(model->index(r, 2));
        QVERIFY(a.ticketMenuAllowed());
        a.menu_tp_Click();
        f.state.setCurrentOperator(QStringLiteral("王芳"));
        QVERIFY2(m_messages.count() == 0, qPrintable(summary(m_messages)));
        QCOMPARE(f.rows(QStringLiteral("select zt, hangkong from hyxc where id=?1"), {id}),
                 (QList<QVariantList>{{QStringLiteral("退票"), text.isEmpty() ? QVariant() : QVariant(text)}}));
        const QList<QVariantList> log = f.rows(QStringLiteral("select czyname, czyxm from czyrz where tag > ?1"), {lastLog});
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().at(0).toString(), text);
        QCOMPARE(log.first().at(1).toString(), QStringLiteral("退票 %1 id=%2").arg(text).arg(id));
        QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
        return;
    }
    const QString customer = cell ? QStringLiteral("R1") : text;
    a.setCustomer(customer);
    a.setEditMode();
    if (!cell) {
        // The customer's grid and its printed itinerary list its tickets, and only them.
        const qint64 tickets = f.number(QStringLiteral("select count(*) from hyxc where kh=?1"), {text});
        QCOMPARE(tickets, text.isEmpty() ? 0 : 1);
        QCOMPARE(model->cell(0, 1), text);
        closeShownReports();
        a.printItinerary(true);
        QCOMPARE(shownReport() ? shownReport()->rowCount() : 0, int(tickets));
    }
    const QVariantList field = cell ? f.rows(QStringLiteral("select colm_code, colm_name, upper(colm_type) from dh_codedict "
                                                            "where table_code='hyxc' and can_show='1' order by xh")).at(column - 1)
                                    : QVariantList{QStringLiteral("kh"), QString(), QStringLiteral("CHAR")};
    const qint64 lastId = f.number(QStringLiteral("select max(id) from hyxc"));
    const QByteArray old = f.digest(QStringLiteral("select * from hyxc where id<=?1"), {lastId});
    a.add_Click();
    const int row = model->rowCount() - 1;
    QCOMPARE(model->cell(row, 1), customer);
    for (const auto &[c, t] : QList<QPair<int, QString>>{{4, "北京"}, {6, "MU5101"}, {7, "Y"}, {10, "1000"}, {13, "5"}})
        model->setCell(row, c, t);
    model->setCell(row, 8, QStringLiteral("781-9%1").arg(++m_serial));
    if (cell)
        model->setCell(row, column, text);
    const bool saved = a.runway_save(row);
    QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
    const QList<QVariantList> added =
        f.rows(QStringLiteral("select \"%1\", id from hyxc where id > ?1").arg(field.at(0).toString()), {lastId});
    QCOMPARE(saved, !added.isEmpty());
    if (saved) {
        // An empty cell leaves the column as a new row has it; a typed one is read back as stored.
        const QVariant empty = f.value(QStringLiteral("select dflt_value from pragma_table_info('hyxc') where name=?1 "
                                                      "collate nocase"), {field.at(0)});
        const QString verdict = storedOrRefused(m_messages, {added.first().first()}, text, QString(), empty);
        QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
        QVERIFY(field.at(2) == "CHAR" || text.isEmpty());
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->cell(r, 0) == added.first().at(1).toString() && field.at(2) == "CHAR")
                QCOMPARE(model->cell(r, cell ? column : 1), text);
    } else {
        // Refused, naming the field: a required cell left empty, or a value a number or date column cannot take.
        const QString said = m_messages.shown().at(0).text;
        QVERIFY2(m_messages.count() == 1 && (text.isEmpty() || field.at(2) != "CHAR"), qPrintable(summary(m_messages)));
        if (!text.isEmpty())
            QVERIFY2(said.startsWith(QStringLiteral("数据有误，请重新输入!")) && said.contains(QStringLiteral("“%1”").arg(field.at(0).toString()))
                         && said.contains(field.at(2) == "NUME" ? QStringLiteral("需要数字") : QStringLiteral("需要日期")), qPrintable(said));
        else
            QVERIFY2(said.contains(QStringLiteral("不能为空")) || (!cell && said.startsWith(QStringLiteral("数据有误"))), qPrintable(said));
        a.runway_fill();
    }
    QCOMPARE(f.digest(QStringLiteral("select * from hyxc where id<=?1"), {lastId}), old);
}

QTEST_MAIN(HostileArchiveTest)
#include "tst_hostile_archive.moc"
