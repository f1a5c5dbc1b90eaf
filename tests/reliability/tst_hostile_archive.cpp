// Hostile text through the customer archive and the operator windows: every
// field slot of the customer window, its find, points clearing and transfer,
// the single-row transfer window, every cell of the itinerary grid; account
// names and passwords, the rights of an account so named, the log viewer's
// name search and the login. Each value is stored and read back exactly (a
// password as a hash) or refused with the program's own message; no statement
// other than the one asked for ever runs.
#include "archive/frmhyda.h"
#include "archive/frmjfzr.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "operators/frm_czyrz.h"
#include "operators/frm_czyset.h"
#include "domain/reports/reportdocument.h"
#include "shell/frmlogin.h"
#include "store/passwordhash.h"
#include "store/recordset.h"
#include "support/hostile.h"
#include "support/shownreport.h"
#include "support/windowload.h"

#include <QComboBox>
#include <QListWidget>
#include <QTableView>

using namespace Hostile;

class HostileArchiveTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        stage(QString::fromUtf8(QTest::currentDataTag()).section(QLatin1Char(' '), 0, 0));
        m_messages.clear();
    }

    void customerWindow_data()
    {
        QStringList places;
        for (int slot = 0; slot < 19; ++slot) // slot 19 (who registered the customer) is never typed into
            places << QStringLiteral("slot%1").arg(slot);
        addRows(places << "find" << "clear-customer" << "clear-remark" << "clear-points" << "transfer-from"
                       << "transfer-to" << "row-from" << "row-to");
    }

    void customerWindow()
    {
        QFETCH(QString, place);
        QFETCH(QString, text);
        if (place.startsWith(QLatin1String("slot")))
            return customerField(place.mid(4).toInt(), text);
        if (place != QLatin1String("find"))
            return clearOrTransfer(place, text);
        Fixture &f = *m_f;
        FRMHYDA &w = *m_window;
        // The find box: a longer name first, as a search for the value's beginning would stop there.
        Guard guard(f, m_messages, {"hyda", "SUMkh"});
        const int longest = f.number(QStringLiteral("select colm_cd from dh_codedict where table_code='hyda' and colm_code='xm'"));
        const bool storable = !text.isEmpty() && characters(text) <= longest;
        QString card;
        for (const QString &name : {text + QStringLiteral("x"), text}) {
            if (!storable || characters(name) > longest)
                continue;
            press(&w, QStringLiteral("new"));
            paste(w.slotBox(0), card = QStringLiteral("F%1").arg(++m_serial));
            paste(w.slotBox(1), name);
            press(&w, QStringLiteral("save"));
        }
        w.Cmdmove_Click(0);
        paste(box(&w, QStringLiteral("Txtfind")), text);
        press(&w, QStringLiteral("find"));
        QCOMPARE(summary(m_messages), storable ? QStringLiteral("(no message)") : QStringLiteral("未查到数据!"));
        if (storable) {
            QCOMPARE(w.customerNumber(), card);
            QCOMPARE(w.slotBox(1)->text(), text);
        }
        QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
    }

    void itinerary_data()
    {
        QStringList places;
        // Every column an operator can type or pick into (text, list, number and date cells).
        for (int column : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 21, 22, 25})
            places << QStringLiteral("column%1").arg(column);
        addRows(places << "customer");
    }

    void itinerary()
    {
        QFETCH(QString, place);
        QFETCH(QString, text);
        Fixture &f = *m_f;
        const bool cell = place.startsWith(QLatin1String("column"));
        const int column = cell ? place.mid(6).toInt() : 0;
        ItineraryArea &a = *m_area;
        ItineraryModel *model = a.model();
        Guard guard(f, m_messages, {"hyxc", "SUMhangkong", "SUMgeren", "SUMdaoda", "SUMkh"});
        const QString customer = cell ? QStringLiteral("R1") : text;
        a.setCustomer(customer);
        a.setEditMode();
        if (!cell) {
            // The customer's grid and its printed itinerary list its tickets, and only them.
            QCOMPARE(model->cell(0, 1), text);
            closeShownReports();
            a.printItinerary(true);
            QCOMPARE(shownReport() ? shownReport()->rowCount() : 0, text.isEmpty() ? 0 : 1);
        }
        const QVariantList field = cell ? f.rows(QStringLiteral("select colm_code, colm_name, upper(colm_type) from dh_codedict "
                                                                "where table_code='hyxc' and can_show='1' order by xh")).at(column - 1)
                                        : QVariantList{QStringLiteral("kh"), QString(), QStringLiteral("CHAR")};
        const qint64 lastId = f.number(QStringLiteral("select max(id) from hyxc"));
        const QByteArray old = f.digest(QStringLiteral("select * from hyxc where id<=?1"), {lastId});
        a.add_Click();
        const int row = model->rowCount() - 1;
        for (const auto &[c, t] : QList<QPair<int, QString>>{{4, "北京"}, {6, "MU5101"}, {7, "Y"}, {10, "1000"}, {13, "5"}})
            model->setCell(row, c, t);
        model->setCell(row, 8, QStringLiteral("781-9%1").arg(++m_serial));
        if (cell)
            model->setCell(row, column, text);
        const bool saved = a.runway_save(row);
        QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
        const QList<QVariantList> added =
            f.rows(QStringLiteral("select \"%1\" from hyxc where id > ?1").arg(field.at(0).toString()), {lastId});
        QCOMPARE(saved, !added.isEmpty());
        if (saved) {
            // An empty cell leaves the column as a new row has it; a typed one is read back as stored.
            const QVariant empty = f.value(QStringLiteral("select dflt_value from pragma_table_info('hyxc') where name=?1 "
                                                          "collate nocase"), {field.at(0)});
            const QString verdict = storedOrRefused(m_messages, {added.first().first()}, text, QString(), empty);
            QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
            QVERIFY(field.at(2) == "CHAR" || text.isEmpty());
        } else {
            // Refused, naming the field: a required cell left empty, or a value a number or date column cannot take.
            const QString said = summary(m_messages), named = QStringLiteral("“%1”需要").arg(field.at(0).toString());
            QVERIFY2(m_messages.count() == 1
                         && (text.isEmpty() ? said.contains(QStringLiteral("不能为空")) || (!cell && said.startsWith(QStringLiteral("数据有误")))
                                            : field.at(2) != "CHAR" && said.startsWith(QStringLiteral("数据有误，请重新输入!")) && said.contains(named)),
                     qPrintable(said));
            a.runway_fill();
        }
        QCOMPARE(f.digest(QStringLiteral("select * from hyxc where id<=?1"), {lastId}), old);
    }

    void operators()
    {
        QFETCH(QString, place);
        QFETCH(QString, text);
        Fixture &f = *m_f;
        Frm_czyset &w = *m_accounts;
        const qint64 last = f.number(QStringLiteral("select max(czy_no) from czyzd"));
        const QString others = QStringLiteral("select * from czyzd, czy where czy_name<>?1 and name<>?1 and czy_no<=?2");
        const QByteArray othersBefore = f.digest(others, {text, last});
        const QString added = QStringLiteral("select czy_name, czy_pass from czyzd where czy_no > ?1");
        Guard guard(f, m_messages, place == QLatin1String("log") ? QStringList() : QStringList{"czyzd", "czy"});

        if (place == QLatin1String("name") || place == QLatin1String("password")) {
            const QString name = place == QLatin1String("name") ? text : QStringLiteral("P%1").arg(++m_serial);
            const QString password = place == QLatin1String("name") ? QStringLiteral("pw") : text;
            // An empty name or password saves nothing, without a word; a mistyped confirmation is refused.
            account(name, password, password + QStringLiteral("!"));
            account(name, password, password);
            QCOMPARE(m_messages.texts(), (text.isEmpty() ? QStringList() : QStringList{"口令输入不一致，请重新输入", "操作员增加完成。"}));
            const QList<QVariantList> rows = f.rows(added, {last});
            QCOMPARE(rows.size(), text.isEmpty() ? 0 : 1);
            if (!rows.isEmpty()) {
                QCOMPARE(rows.first().at(0), QVariant(name));
                QVERIFY(PasswordHash::isHash(rows.first().at(1)) && PasswordHash::matches(rows.first().at(1), password));
            }
        } else if (place == QLatin1String("rights")) {
            auto *combo = child<QComboBox>(&w, QStringLiteral("combczy"));
            auto *functions = child<QListWidget>(&w, QStringLiteral("ListView1"));
            combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
            if (!text.isEmpty())
                w.CzyqxStar();
            for (int i = 0; i < functions->count(); ++i)
                functions->item(i)->setCheckState(i == 0 || i == 2 ? Qt::Checked : Qt::Unchecked);
            press(&w, QStringLiteral("save"));
            QCOMPARE(summary(m_messages), text.isEmpty() ? QStringLiteral("操作员“”不存在，权限未保存。") : QStringLiteral("操作员权限修改完成。"));
            if (text.isEmpty())
                return;
            const qint64 no = f.number(QStringLiteral("select czy_no from czyzd where czy_name=?1"), {text});
            QCOMPARE(f.rows(QStringLiteral("select name, czy_id, nr from czy where name=?1 order by rowid"), {text}),
                     (QList<QVariantList>{{text, no, functions->item(0)->text()}, {text, no, functions->item(2)->text()}}));
        } else if (place == QLatin1String("log")) {
            Frm_czyrz viewer(f.state);
            loaded(viewer);
            paste(box(&viewer, QStringLiteral("txtname")), text);
            press(&viewer, QStringLiteral("find"));
            QVERIFY2(m_messages.count() == 0, qPrintable(summary(m_messages)));
            const Recordset *listed = viewer.recordset();
            QCOMPARE(qint64(listed->recordCount()),
                     f.number(QStringLiteral("select count(*) from czyrz where last_time is not null and (czyname=?1 or ?1='')"), {text}));
            QVERIFY(text.isEmpty() || listed->valueAt(0, 1).toString() == text);
        } else { // login: a wrong password, then the right one
            f.state.setCurrentOperator(QString());
            frmLogin login(f.state, nullptr);
            loaded(login);
            child<QComboBox>(&login, QStringLiteral("combname"))->setCurrentText(text);
            paste(box(&login, QStringLiteral("txtPassword")), text + QStringLiteral("!"));
            login.cmdOK_Click();
            paste(box(&login, QStringLiteral("txtPassword")), text);
            login.cmdOK_Click();
            // No operator has an empty name: refused like a wrong password.
            QCOMPARE(m_messages.texts(), QStringList(text.isEmpty() ? 2 : 1, QStringLiteral("口令错误!")));
            QCOMPARE(f.state.currentOperator(), text);
            // A password kept in clear is hashed at the first login, in the operator's own row.
            QVERIFY(text.isEmpty() || PasswordHash::isHash(f.value(QStringLiteral("select czy_pass from czyzd where czy_name=?1"), {text})));
        }
        QCOMPARE(f.digest(others, {text, last}), othersBefore);
        QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
    }
    void operators_data() { addRows({"name", "password", "rights", "log", "login"}); }

private:
    void stage(const QString &place);
    void customerField(int slot, const QString &text);
    void clearOrTransfer(const QString &place, const QString &text);
    void account(const QString &name, const QString &password, const QString &confirm);

    std::unique_ptr<Fixture> m_f;
    std::unique_ptr<FRMHYDA> m_window;
    std::unique_ptr<ItineraryArea> m_area;
    std::unique_ptr<FrmJfzr> m_jfzr;
    std::unique_ptr<Frm_czyset> m_accounts;
    QString m_place;
    int m_serial = 0;
    MessageLog m_messages;
    FakeDialogs m_dialogs;
};

// One file per place, shared by the inputs of that place.
void HostileArchiveTest::stage(const QString &place)
{
    if (place == m_place && m_f)
        return;
    m_jfzr.reset();
    m_accounts.reset();
    m_area.reset();
    m_window.reset();
    m_f = std::make_unique<Fixture>();
    m_place = place;
    if (QStringList{"clear-customer", "transfer-from", "transfer-to", "customer", "row-from", "row-to"}.contains(place))
        m_f->addHostileCustomers(place == QLatin1String("row-to") || place == QLatin1String("customer") ? 1 : 2);
    if (QStringList{"rights", "log", "login"}.contains(place)) {
        // Each input names an account whose password is its name, and who has used the program.
        for (const Input &in : inputs()) {
            if (in.text.isEmpty())
                continue;
            m_f->write(QStringLiteral("insert into czyzd(czy_name, czy_pass, sys_tag) values(?1, ?1, 0)"), {in.text});
            m_f->state.setCurrentOperator(in.text);
            loaded(*std::make_unique<Frm_czyrz>(m_f->state)).close();
        }
        m_f->state.setCurrentOperator(QStringLiteral("admin"));
    }
    m_f->addCustomer(QStringLiteral("T1"));
    for (const QString &kh : {QStringLiteral("K1"), QStringLiteral("R1")}) {
        m_f->addCustomer(kh);
        m_f->addTicket(kh, 500);
    }
    m_window = std::make_unique<FRMHYDA>(m_f->state);
    m_accounts = std::make_unique<Frm_czyset>(m_f->state);
    m_area = std::make_unique<ItineraryArea>(m_f->state);
    m_jfzr = std::make_unique<FrmJfzr>(m_f->state);
    loaded(*m_window);
    loaded(*m_accounts);
    m_area->load();
}

void HostileArchiveTest::customerField(int slot, const QString &text)
{
    Fixture &f = *m_f;
    FRMHYDA &w = *m_window;
    const QVariantList field = f.rows(QStringLiteral("select colm_code, colm_name, upper(colm_type), colm_cd, nullbj "
                                                     "from dh_codedict where table_code='hyda' order by xh")).at(slot);
    const QString card = slot == 0 ? text : QStringLiteral("H%1").arg(++m_serial);
    const QByteArray others = f.digest(QStringLiteral("select * from hyda where kh<>?1"), {card});
    Guard guard(f, m_messages, {"hyda", "SUMkh"});
    press(&w, QStringLiteral("new"));
    paste(w.slotBox(0), card);
    paste(w.slotBox(1), QStringLiteral("测试客户"));
    // Something typed first, then replaced: an empty value is a box the operator emptied.
    paste(w.slotBox(slot), QStringLiteral("z"));
    paste(w.slotBox(slot), text);
    press(&w, QStringLiteral("save"));

    const QList<QVariantList> stored = f.rows(QStringLiteral("select \"%1\" from hyda where kh=?1").arg(field.at(0).toString()), {card});
    const QString verdict = storedOrRefused(m_messages, stored.value(0), text, field.at(1).toString());
    QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
    if (m_messages.count() == 0) {
        // Only what fits its field is ever kept.
        QVERIFY(characters(text) <= field.at(3).toInt() && (field.at(2) == "CHAR" || text.isEmpty()));
        QVERIFY(!text.isEmpty() || field.at(4) == "0");
        QCOMPARE(w.slotBox(slot)->text(), text);
    } else {
        press(&w, QStringLiteral("cancel"));
    }
    QCOMPARE(f.digest(QStringLiteral("select * from hyda where kh<>?1"), {card}), others);
    QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
}

// Clearing (customer, remark and points boxes), transfer of all rows and the
// single-row transfer window (from and to boxes).
void HostileArchiveTest::clearOrTransfer(const QString &place, const QString &text)
{
    Fixture &f = *m_f;
    FRMHYDA &w = *m_window;
    const bool clearing = place.startsWith(QLatin1String("clear")), single = place.startsWith(QLatin1String("row"));
    const bool toText = place.endsWith(QLatin1String("-to"));
    const QString giver = toText ? QStringLiteral("G%1").arg(++m_serial)
                          : place == QLatin1String("clear-customer") || place.endsWith(QLatin1String("-from")) ? text
                                                                                                              : QStringLiteral("K1");
    const QString taker = toText ? text : QStringLiteral("T1");
    if (toText) {
        f.addCustomer(giver);
        f.addTicket(giver, 3);
    }
    const qint64 tickets = f.number(QStringLiteral("select count(*) from hyxc where kh=?1"), {giver});
    const QString othersSql = QStringLiteral("select * from hyxc where kh<>?1 and kh<>?2");
    const QByteArray others = f.digest(othersSql, {giver, taker});
    const QString log = clearing ? QStringLiteral("jifenallow") : QStringLiteral("hyxczhuanrang");
    const qint64 lastLog = f.number(QStringLiteral("select coalesce(max(rowid), 0) from ") + log);
    const QString remark = place == QLatin1String("clear-remark") ? text : QStringLiteral("备注");
    Guard guard(f, m_messages, {"hyxc", log, "SUMkh"});
    if (clearing) {
        paste(box(&w, QStringLiteral("Text3")), giver);
        paste(box(&w, QStringLiteral("Text4")), place == QLatin1String("clear-points") ? text : QStringLiteral("1"));
        paste(box(&w, QStringLiteral("Txtbz")), remark);
        click(&w, QStringLiteral("Command2"));
    } else if (single) {
        paste(box(m_jfzr.get(), QStringLiteral("Text1")), giver);
        m_jfzr->listRows();
        if (!giver.isEmpty())
            QCOMPARE(m_jfzr->list()->recordCount(), int(tickets));
        paste(box(m_jfzr.get(), QStringLiteral("Text2")), taker);
        m_jfzr->cmdOK_Click();
    } else {
        paste(box(&w, QStringLiteral("Text1")), giver);
        paste(box(&w, QStringLiteral("Text2")), taker);
        click(&w, QStringLiteral("cmdOK"));
    }
    QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
    // No customer number: nothing to do, and no word. None of the inputs is a number of points.
    const bool refused = giver.isEmpty() || taker.isEmpty() || place == QLatin1String("clear-points");
    const QString moved = QStringLiteral("客户") + giver + (single ? QStringLiteral("当前积分转让到") : QStringLiteral("已全部转让到")) + taker;
    QCOMPARE(summary(m_messages), giver.isEmpty() || taker.isEmpty() ? QStringLiteral("(no message)")
                                  : refused  ? QStringLiteral("请输入数字")
                                  : clearing ? giver + QStringLiteral("会员 1分已清除!")
                                             : moved);
    const QList<QVariantList> logged = f.rows(
        QStringLiteral("select kh, %1 from %2 where rowid > ?1").arg(clearing ? "bz" : "zhuanrangkh", log), {lastLog});
    QCOMPARE(logged.size(), refused ? 0 : clearing || single ? 1 : int(tickets));
    for (const QVariantList &r : logged)
        QCOMPARE(r, (QVariantList{giver, clearing ? (remark.isEmpty() ? QVariant() : QVariant(remark)) : QVariant(taker)}));
    QCOMPARE(f.number(QStringLiteral("select count(*) from hyxc where kh=?1"), {giver}),
             refused || clearing ? tickets : single ? tickets - 1 : 0);
    QCOMPARE(f.digest(othersSql, {giver, taker}), others);
}

void HostileArchiveTest::account(const QString &name, const QString &password, const QString &confirm)
{
    press(m_accounts.get(), QStringLiteral("new"));
    paste(box(m_accounts.get(), QStringLiteral("Text1")), name);
    paste(box(m_accounts.get(), QStringLiteral("Text2")), password);
    paste(box(m_accounts.get(), QStringLiteral("Text3")), confirm);
    press(m_accounts.get(), QStringLiteral("save"));
}

QTEST_MAIN(HostileArchiveTest)
#include "tst_hostile_archive.moc"
