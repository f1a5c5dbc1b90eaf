// Hostile text through the customer window: every field slot (new and
// edit), the find box, delete, the printed list, points clearing and
// transfer. Each value is either stored and read back exactly or refused with
// the program's own message; no statement other than the one asked for ever runs.

#include "support/shownreport.h"
#include "support/windowload.h"
#include "archive/frmhyda.h"
#include "hostilearchive.h"
#include "reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "reports/reportpreview.h"
#include "reports/reporttemplate.h"
#include "store/recordset.h"

#include <QFileInfo>
#include <QPushButton>

using namespace Hostile;

namespace {

QPushButton *button(const QWidget &w, const QString &name)
{
    return control<QPushButton>(w, name);
}

QString currentText(const Recordset &rs, const QString &field)
{
    return rs.valueAt(rs.currentIndex(), rs.fieldIndex(field)).toString();
}

} // namespace

class HostileArchiveTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void customerField_data();
    void customerField();
    void customerEdit_data();
    void customerEdit();
    void customerFind_data();
    void customerFind();
    void customerDelete_data();
    void customerDelete();
    void customerListReport();
    void clearingRemark_data();
    void clearingRemark();
    void clearingCustomer_data();
    void clearingCustomer();
    void clearingPoints_data();
    void clearingPoints();
    void transferFrom_data();
    void transferFrom();
    void transferTo_data();
    void transferTo();

private:
    // One database (and window) per test function, shared by its data rows.
    void stage();
    FRMHYDA &customerWindow();
    void checkNoEngineError();

    std::unique_ptr<Fixture> m_f;
    std::unique_ptr<FRMHYDA> m_window;
    QString m_stagedFor;
    int m_serial = 0;
    Messages m_messages;
    NoDialogs m_dialogs;
};

void HostileArchiveTest::init()
{
    stage();
    m_messages.clear();
}

void HostileArchiveTest::stage()
{
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (function == m_stagedFor)
        return;
    m_window.reset();
    m_f = std::make_unique<Fixture>();
    m_stagedFor = function;
}

void HostileArchiveTest::cleanupTestCase()
{
    m_window.reset();
    m_f.reset();
}

FRMHYDA &HostileArchiveTest::customerWindow()
{
    if (!m_window) {
        m_window = std::make_unique<FRMHYDA>(m_f->state);
        loaded(*m_window);
    }
    return *m_window;
}

void HostileArchiveTest::checkNoEngineError()
{
    const QString leaked = engineErrorIn(m_messages.texts());
    QVERIFY2(leaked.isEmpty(), qPrintable(leaked));
}

void HostileArchiveTest::customerField_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters");
    // Slot 19 (who registered the customer) is never typed into.
    for (int slot = 0; slot < 19; ++slot)
        for (const Input &in : inputs())
            QTest::newRow(qPrintable(QStringLiteral("slot%1-%2").arg(slot).arg(QLatin1String(in.tag))))
                << slot << in.text << in.characters;
}

void HostileArchiveTest::customerField()
{
    QFETCH(int, slot);
    QFETCH(QString, text);
    QFETCH(int, characters);
    FRMHYDA &w = customerWindow();
    sqlite3 *db = m_f->raw();
    const QList<DictionaryField> fields = dictionary(db, QStringLiteral("hyda"), false);
    QVERIFY(slot < fields.size() && slot < w.slotCount());
    const DictionaryField &field = fields.at(slot);

    const Snapshot before = snapshot(db);
    const qint64 lastId = number(db, QStringLiteral("select coalesce(max(id), 0) from hyda"));
    const QString oldRows = QStringLiteral("select * from hyda where id <= ?1 order by id");
    const QByteArray oldDigest = digest(db, oldRows, {lastId});

    press(w, QStringLiteral("new"));
    QCOMPARE(w.mode(), FRMHYDA::Mode::Adding);
    const QString card = slot == 0 ? text : QStringLiteral("H%1").arg(++m_serial);
    if (slot != 0)
        paste(w.slotBox(0), card);
    if (slot != 1)
        paste(w.slotBox(1), QStringLiteral("测试客户"));
    // Something typed first, then replaced: an empty value is a box the operator emptied.
    paste(w.slotBox(slot), QStringLiteral("z"));
    paste(w.slotBox(slot), text);
    press(w, QStringLiteral("save"));
    checkNoEngineError();

    QString refusal;
    if (text.isEmpty()) {
        if (field.required)
            refusal = field.caption + QStringLiteral(" 数据不能为空!");
    } else if (field.type == QLatin1String("CHAR")) {
        if (characters > field.length)
            refusal = field.caption + QStringLiteral(" 输入数据超长!");
    } else {
        QCOMPARE(field.type, QStringLiteral("DATETIME"));
        refusal = field.caption + QStringLiteral(" 请输入日期！"); // none of the inputs is a date
    }

    const QList<QVariantList> added =
        rows(db, QStringLiteral("select kh, \"%1\" from hyda where id > ?1").arg(field.code), {lastId});
    if (refusal.isEmpty()) {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().at(0).toString(), card);
        const QVariant stored = added.first().at(1);
        if (text.isEmpty()) {
            QVERIFY2(stored.isNull(), qPrintable(stored.toString()));
        } else {
            QCOMPARE(stored.typeId(), QMetaType::QString);
            QCOMPARE(stored.toString(), text);
        }
        // Read back into the window as it was stored.
        QCOMPARE(w.slotBox(slot)->text(), text);
        QCOMPARE(w.customerNumber(), card);
    } else {
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, refusal);
        QCOMPARE(m_messages.at(0).icon, Msg::Icon::Exclamation);
        QCOMPARE(w.mode(), FRMHYDA::Mode::Adding);
        QCOMPARE(added.size(), 0);
        press(w, QStringLiteral("cancel"));
        QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
    }
    QCOMPARE(digest(db, oldRows, {lastId}), oldDigest);
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("hyda"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileArchiveTest::customerEdit_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters");
    // A required name and the long remark, changed on a customer already stored.
    for (int slot : {1, 14})
        for (const Input &in : inputs())
            QTest::newRow(qPrintable(QStringLiteral("slot%1-%2").arg(slot).arg(QLatin1String(in.tag))))
                << slot << in.text << in.characters;
}

void HostileArchiveTest::customerEdit()
{
    QFETCH(int, slot);
    QFETCH(QString, text);
    QFETCH(int, characters);
    sqlite3 *db = m_f->raw();
    if (!m_window) {
        addCustomer(db, QStringLiteral("E1"), QStringLiteral("原名"));
        addCustomer(db, QStringLiteral("E2"), QStringLiteral("旁人"));
    }
    FRMHYDA &w = customerWindow();
    const DictionaryField field = dictionary(db, QStringLiteral("hyda"), false).at(slot);
    w.Cmdmove_Click(0);
    QCOMPARE(w.customerNumber(), QStringLiteral("E1"));
    const QString cellSql = QStringLiteral("select \"%1\" from hyda where kh='E1'").arg(field.code);
    const QVariant was = value(db, cellSql);
    const Snapshot before = snapshot(db);
    const QByteArray others = digest(db, QStringLiteral("select * from hyda where kh<>'E1' order by id"));

    press(w, QStringLiteral("edit"));
    QCOMPARE(w.mode(), FRMHYDA::Mode::Editing);
    paste(w.slotBox(slot), QStringLiteral("z"));
    paste(w.slotBox(slot), text);
    press(w, QStringLiteral("save"));
    checkNoEngineError();

    QString refusal;
    if (text.isEmpty() && field.required)
        refusal = field.caption + QStringLiteral(" 数据不能为空!");
    else if (characters > field.length)
        refusal = field.caption + QStringLiteral(" 输入数据超长!");
    const QVariant stored = value(db, cellSql);
    if (refusal.isEmpty()) {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
        if (text.isEmpty()) {
            QVERIFY(stored.isNull());
        } else {
            QCOMPARE(stored.typeId(), QMetaType::QString);
            QCOMPARE(stored.toString(), text);
        }
        QCOMPARE(w.slotBox(slot)->text(), text);
    } else {
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, refusal);
        QCOMPARE(stored, was);
        press(w, QStringLiteral("cancel"));
        QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
        QCOMPARE(w.slotBox(slot)->text(), was.toString());
    }
    QCOMPARE(number(db, QStringLiteral("select count(*) from hyda")), 2);
    QCOMPARE(digest(db, QStringLiteral("select * from hyda where kh<>'E1' order by id")), others);
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("hyda"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileArchiveTest::customerFind_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileArchiveTest::customerFind()
{
    QFETCH(QString, text);
    QFETCH(int, characters);
    FRMHYDA &w = customerWindow();
    sqlite3 *db = m_f->raw();
    const int nameLength = dictionary(db, QStringLiteral("hyda"), false).at(1).length;
    auto add = [&](const QString &name) {
        press(w, QStringLiteral("new"));
        paste(w.slotBox(0), QStringLiteral("F%1").arg(++m_serial));
        paste(w.slotBox(1), name);
        press(w, QStringLiteral("save"));
        return m_messages.count() == 0 && w.mode() == FRMHYDA::Mode::Browsing;
    };

    const bool storable = characters >= 1 && characters <= nameLength;
    QString card;
    if (storable) {
        // The look-alikes come first: a search that confused them would stop there.
        const QStringList alikes = lookAlikes(text) << text + QStringLiteral("x");
        for (const QString &alike : alikes)
            if (alike.toUcs4().size() <= nameLength)
                QVERIFY2(add(alike), qPrintable(m_messages.summary()));
        QVERIFY2(add(text), qPrintable(m_messages.summary()));
        card = w.customerNumber();
    }
    w.Cmdmove_Click(0);
    const int before = w.customers()->currentIndex();
    const Snapshot unchanged = snapshot(db);
    paste(lineEdit(w, QStringLiteral("Txtfind")), text);
    press(w, QStringLiteral("find"));
    checkNoEngineError();
    if (storable) {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        QCOMPARE(currentText(*w.customers(), QStringLiteral("xm")), text);
        QCOMPARE(currentText(*w.customers(), QStringLiteral("kh")), card);
        QCOMPARE(w.slotBox(1)->text(), text);
    } else {
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, QStringLiteral("未查到数据!"));
        QCOMPARE(w.customers()->currentIndex(), before);
    }
    const QString changed = changedBesides(unchanged, snapshot(db), {});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileArchiveTest::customerDelete_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileArchiveTest::customerDelete()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_window)
        addHostileCustomers(db, 5, 2);
    FRMHYDA &w = customerWindow();
    const Snapshot before = snapshot(db);

    // Found by card number (no customer is named so), then deleted with its tickets.
    w.Cmdmove_Click(0);
    paste(lineEdit(w, QStringLiteral("Txtfind")), text);
    press(w, QStringLiteral("find"));
    checkNoEngineError();
    if (text.isEmpty()) {
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, QStringLiteral("未查到数据!"));
        const QString changed = changedBesides(before, snapshot(db), {});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
        return;
    }
    QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
    QCOMPARE(w.customerNumber(), text);
    QCOMPARE(number(db, QStringLiteral("select count(*) from hyxc where kh=?1"), {text}), 2);
    const QString otherCustomers = QStringLiteral("select * from hyda where kh<>?1 order by id");
    const QString otherTickets = QStringLiteral("select * from hyxc where kh<>?1 order by id");
    const QByteArray customersBefore = digest(db, otherCustomers, {text});
    const QByteArray ticketsBefore = digest(db, otherTickets, {text});

    press(w, QStringLiteral("delete"));
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("确认删除当前记录"));
    QCOMPARE(number(db, QStringLiteral("select count(*) from hyda where kh=?1"), {text}), 0);
    QCOMPARE(number(db, QStringLiteral("select count(*) from hyxc where kh=?1"), {text}), 0);
    QCOMPARE(digest(db, otherCustomers, {text}), customersBefore);
    QCOMPARE(digest(db, otherTickets, {text}), ticketsBefore);
    const QString changed =
        changedBesides(before, snapshot(db),
                       {QStringLiteral("hyda"), QStringLiteral("hyxc"), QStringLiteral("czyrz"),
                        QStringLiteral("SUMhangkong"), QStringLiteral("SUMgeren"), QStringLiteral("SUMdaoda")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileArchiveTest::customerListReport()
{
    // Every input in the printed customer list: laid out, previewed and drawn without harm.
    sqlite3 *db = m_f->raw();
    QStringList names;
    for (const Input &in : inputs()) {
        if (in.text.isEmpty())
            continue;
        write(db, QStringLiteral("insert into hyda(kh, xm, sj, dw, hyjb) values(?1, ?2, ?2, ?2, ?2)"),
              {QStringLiteral("L%1").arg(++m_serial), in.text});
        names << in.text;
    }
    FRMHYDA &w = customerWindow();
    closeShownReports();
    press(w, QStringLiteral("printview"));
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
    const auto document = shownReport();
    QVERIFY(document);
    QCOMPARE(document->rowCount(), names.size());
    QStringList printed;
    for (int r = 0; r < document->rowCount(); ++r)
        printed << document->cell(r, 1); // the name column
    QCOMPARE(printed, names);

    QList<ReportPreview *> previews;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<ReportPreview *>(top); p && p->isVisible())
            previews << p;
    QCOMPARE(previews.size(), 1);
    QVERIFY(previews.first()->isVisible());
    QVERIFY(previews.first()->pageCount() > 0);
    delete previews.first();

    const QString pdf = m_f->db.tempDir() + QStringLiteral("/customers.pdf");
    QString error;
    QVERIFY2(ReportOutput::exportPdf(*document, pdf, &error), qPrintable(error));
    QVERIFY(QFileInfo(pdf).size() > 0);
}

void HostileArchiveTest::clearingRemark_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileArchiveTest::clearingRemark()
{
    QFETCH(QString, text);
    FRMHYDA &w = customerWindow();
    sqlite3 *db = m_f->raw();
    addCustomer(db, QStringLiteral("K1"));
    addTicket(db, QStringLiteral("K1"), 1);
    addCustomer(db, QStringLiteral("K2"));
    addTicket(db, QStringLiteral("K2"), 9);

    const Snapshot before = snapshot(db);
    const qint64 lastLog = number(db, QStringLiteral("select coalesce(max(rowid), 0) from jifenallow"));
    const double left = value(db, QStringLiteral("select total(jifenyue) from hyxc where kh='K1'")).toDouble();
    const QByteArray others = digest(db, QStringLiteral("select * from hyxc where kh<>'K1' order by id"));

    paste(lineEdit(w, QStringLiteral("Text3")), QStringLiteral("K1"));
    paste(lineEdit(w, QStringLiteral("Text4")), QStringLiteral("1"));
    paste(lineEdit(w, QStringLiteral("Txtbz")), text);
    button(w, QStringLiteral("Command2"))->click();
    checkNoEngineError();

    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("K1会员 1分已清除!"));
    const QList<QVariantList> log =
        rows(db, QStringLiteral("select kh, czy, jifen, bz from jifenallow where rowid > ?1"), {lastLog});
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().at(0).toString(), QStringLiteral("K1"));
    QCOMPARE(log.first().at(1).toString(), QStringLiteral("王芳"));
    QCOMPARE(log.first().at(2).toDouble(), 1.0);
    if (text.isEmpty()) {
        QVERIFY(log.first().at(3).isNull());
    } else {
        QCOMPARE(log.first().at(3).typeId(), QMetaType::QString);
        QCOMPARE(log.first().at(3).toString(), text);
    }
    QCOMPARE(value(db, QStringLiteral("select total(jifenyue) from hyxc where kh='K1'")).toDouble(), left - 1);
    QCOMPARE(digest(db, QStringLiteral("select * from hyxc where kh<>'K1' order by id")), others);
    const QString changed = changedBesides(before, snapshot(db),
                                           {QStringLiteral("hyxc"), QStringLiteral("jifenallow"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileArchiveTest::clearingCustomer_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileArchiveTest::clearingCustomer()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_window)
        addHostileCustomers(db, 5, 2);
    FRMHYDA &w = customerWindow();

    const Snapshot before = snapshot(db);
    const qint64 lastLog = number(db, QStringLiteral("select coalesce(max(rowid), 0) from jifenallow"));
    const double left = value(db, QStringLiteral("select total(jifenyue) from hyxc where kh=?1"), {text}).toDouble();
    const QString othersSql = QStringLiteral("select * from hyxc where kh<>?1 order by id");
    const QByteArray others = digest(db, othersSql, {text});

    paste(lineEdit(w, QStringLiteral("Text3")), text);
    paste(lineEdit(w, QStringLiteral("Text4")), QStringLiteral("1"));
    paste(lineEdit(w, QStringLiteral("Txtbz")), QStringLiteral("备注"));
    button(w, QStringLiteral("Command2"))->click();
    checkNoEngineError();

    if (text.isEmpty()) {
        // No customer number: nothing to do.
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyrz")});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
        return;
    }
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, text + QStringLiteral("会员 1分已清除!"));
    QCOMPARE(value(db, QStringLiteral("select total(jifenyue) from hyxc where kh=?1"), {text}).toDouble(), left - 1);
    QCOMPARE(digest(db, othersSql, {text}), others);
    const QList<QVariantList> log = rows(db, QStringLiteral("select kh from jifenallow where rowid > ?1"), {lastLog});
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().at(0).toString(), text);
    const QString changed = changedBesides(before, snapshot(db),
                                           {QStringLiteral("hyxc"), QStringLiteral("jifenallow"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileArchiveTest::clearingPoints_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileArchiveTest::clearingPoints()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_window) {
        addCustomer(db, QStringLiteral("K1"));
        addTicket(db, QStringLiteral("K1"), 500);
    }
    FRMHYDA &w = customerWindow();
    const Snapshot before = snapshot(db);
    paste(lineEdit(w, QStringLiteral("Text3")), QStringLiteral("K1"));
    paste(lineEdit(w, QStringLiteral("Text4")), text);
    paste(lineEdit(w, QStringLiteral("Txtbz")), QStringLiteral("备注"));
    button(w, QStringLiteral("Command2"))->click();
    checkNoEngineError();
    // None of the inputs is a number of points.
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("请输入数字"));
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileArchiveTest::transferFrom_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileArchiveTest::transferFrom()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_window) {
        addHostileCustomers(db, 5, 2);
        addCustomer(db, QStringLiteral("T1"));
    }
    FRMHYDA &w = customerWindow();
    const Snapshot before = snapshot(db);
    const qint64 lastLog = number(db, QStringLiteral("select coalesce(max(rowid), 0) from hyxczhuanrang"));
    QList<qint64> moving;
    for (const QVariantList &r : rows(db, QStringLiteral("select id from hyxc where kh=?1 order by id"), {text}))
        moving << r.at(0).toLongLong();
    const QString othersSql = QStringLiteral("select * from hyxc where kh<>?1 and kh<>'T1' order by id");
    const QByteArray others = digest(db, othersSql, {text});

    paste(lineEdit(w, QStringLiteral("Text1")), text);
    paste(lineEdit(w, QStringLiteral("Text2")), QStringLiteral("T1"));
    button(w, QStringLiteral("cmdOK"))->click();
    checkNoEngineError();

    if (text.isEmpty()) {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyrz")});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
        return;
    }
    QCOMPARE(moving.size(), 2);
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("客户") + text + QStringLiteral("已全部转让到T1"));
    QCOMPARE(number(db, QStringLiteral("select count(*) from hyxc where kh=?1"), {text}), 0);
    for (qint64 id : moving)
        QCOMPARE(value(db, QStringLiteral("select kh from hyxc where id=?1"), {id}).toString(), QStringLiteral("T1"));
    const QList<QVariantList> log =
        rows(db, QStringLiteral("select kh, zhuanrangkh from hyxczhuanrang where rowid > ?1"), {lastLog});
    QCOMPARE(log.size(), 2);
    for (const QVariantList &r : log) {
        QCOMPARE(r.at(0).toString(), text);
        QCOMPARE(r.at(1).toString(), QStringLiteral("T1"));
    }
    QCOMPARE(digest(db, othersSql, {text}), others);
    const QString changed = changedBesides(
        before, snapshot(db), {QStringLiteral("hyxc"), QStringLiteral("hyxczhuanrang"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileArchiveTest::transferTo_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileArchiveTest::transferTo()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_window)
        addHostileCustomers(db, 5, 1);
    FRMHYDA &w = customerWindow();
    const QString giver = QStringLiteral("G%1").arg(++m_serial);
    addCustomer(db, giver);
    const QList<qint64> moving = {addTicket(db, giver, 3), addTicket(db, giver, 4)};

    const Snapshot before = snapshot(db);
    const qint64 lastLog = number(db, QStringLiteral("select coalesce(max(rowid), 0) from hyxczhuanrang"));
    const QString othersSql = QStringLiteral("select * from hyxc where id not in (?1, ?2) order by id");
    const QByteArray others = digest(db, othersSql, {moving.at(0), moving.at(1)});

    paste(lineEdit(w, QStringLiteral("Text1")), giver);
    paste(lineEdit(w, QStringLiteral("Text2")), text);
    button(w, QStringLiteral("cmdOK"))->click();
    checkNoEngineError();

    if (text.isEmpty()) {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyrz")});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
        return;
    }
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("客户") + giver + QStringLiteral("已全部转让到") + text);
    for (qint64 id : moving) {
        const QVariant kh = value(db, QStringLiteral("select kh from hyxc where id=?1"), {id});
        QCOMPARE(kh.typeId(), QMetaType::QString);
        QCOMPARE(kh.toString(), text);
    }
    const QList<QVariantList> log =
        rows(db, QStringLiteral("select kh, zhuanrangkh from hyxczhuanrang where rowid > ?1"), {lastLog});
    QCOMPARE(log.size(), 2);
    for (const QVariantList &r : log) {
        QCOMPARE(r.at(0).toString(), giver);
        QCOMPARE(r.at(1).toString(), text);
    }
    QCOMPARE(digest(db, othersSql, {moving.at(0), moving.at(1)}), others);
    const QString changed = changedBesides(
        before, snapshot(db), {QStringLiteral("hyxc"), QStringLiteral("hyxczhuanrang"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

QTEST_MAIN(HostileArchiveTest)
#include "tst_hostile_archive.moc"
