// Hostile text through the itinerary grid (every cell an operator can type
// or pick into, the customer it belongs to, refund) and the single-row points
// transfer window. Each value is stored and read back exactly or refused with
// the program's own message; no statement other than the one asked for runs.

#include "support/shownreport.h"
#include "archive/frmjfzr.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "hostilearchive.h"
#include "reports/reportdocument.h"
#include "reports/reporttemplate.h"
#include "store/recordset.h"

#include <QTableView>

using namespace Hostile;

class HostileItineraryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void itineraryCell_data();
    void itineraryCell();
    void itineraryCustomer_data();
    void itineraryCustomer();
    void itineraryRefund_data();
    void itineraryRefund();
    void singleRowTransferFrom_data();
    void singleRowTransferFrom();
    void singleRowTransferTo_data();
    void singleRowTransferTo();

private:
    // One database (and window) per test function, shared by its data rows.
    void stage();
    void checkNoEngineError();

    std::unique_ptr<Fixture> m_f;
    std::unique_ptr<ItineraryArea> m_area;
    std::unique_ptr<FrmJfzr> m_jfzr;
    QString m_stagedFor;
    int m_serial = 0;
    Messages m_messages;
    NoDialogs m_dialogs;
};

void HostileItineraryTest::init()
{
    stage();
    m_messages.clear();
}

void HostileItineraryTest::stage()
{
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (function == m_stagedFor)
        return;
    m_jfzr.reset();
    m_area.reset();
    m_f = std::make_unique<Fixture>();
    m_stagedFor = function;
}

void HostileItineraryTest::cleanupTestCase()
{
    m_jfzr.reset();
    m_area.reset();
    m_f.reset();
}

void HostileItineraryTest::checkNoEngineError()
{
    const QString leaked = engineErrorIn(m_messages.texts());
    QVERIFY2(leaked.isEmpty(), qPrintable(leaked));
}

void HostileItineraryTest::itineraryCell_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters");
    // Every column an operator can type or pick into (text, list, number and date cells).
    for (int column : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 21, 22, 25}) {
        QVERIFY(ItineraryModel::editorFor(column) != ItineraryModel::Editor::None);
        for (const Input &in : inputs())
            QTest::newRow(qPrintable(QStringLiteral("column%1-%2").arg(column).arg(QLatin1String(in.tag))))
                << column << in.text << in.characters;
    }
}

void HostileItineraryTest::itineraryCell()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_area) {
        addCustomer(db, QStringLiteral("R1"));
        addTicket(db, QStringLiteral("R1"), 10);
        m_area = std::make_unique<ItineraryArea>(m_f->state);
        m_area->load();
        m_area->setCustomer(QStringLiteral("R1"));
        m_area->setEditMode();
    }
    ItineraryArea &area = *m_area;
    ItineraryModel *model = area.model();
    const QList<DictionaryField> fields = dictionary(db, QStringLiteral("hyxc"), true);
    QVERIFY(column - 1 < fields.size());
    const DictionaryField &field = fields.at(column - 1);

    const Snapshot before = snapshot(db);
    const qint64 lastId = number(db, QStringLiteral("select coalesce(max(id), 0) from hyxc"));
    const QString oldRows = QStringLiteral("select * from hyxc where id <= ?1 order by id");
    const QByteArray oldDigest = digest(db, oldRows, {lastId});

    area.add_Click();
    const int row = model->rowCount() - 1;
    QCOMPARE(model->cell(row, 1), QStringLiteral("R1"));
    const QList<QPair<int, QString>> filled = {{4, QStringLiteral("北京")},     {6, QStringLiteral("MU5101")},
                                               {7, QStringLiteral("Y")},        {8, QStringLiteral("781-%1").arg(++m_serial)},
                                               {10, QStringLiteral("1000")},    {13, QStringLiteral("5")}};
    for (const auto &[c, t] : filled)
        model->setCell(row, c, t);
    model->setCell(row, column, text);
    const bool saved = area.runway_save(row);
    checkNoEngineError();

    static const QMap<int, QString> required = {{3, QStringLiteral("出发地不能为空，请重新输入！")},
                                                {4, QStringLiteral("到达不能为空，请重新输入！")},
                                                {6, QStringLiteral("不能为空，请重新输入！")},
                                                {7, QStringLiteral("不能为空，请重新输入！")},
                                                {8, QStringLiteral("不能为空，请重新输入！")}};
    const QList<QVariantList> added =
        rows(db, QStringLiteral("select id, kh, \"%1\" from hyxc where id > ?1").arg(field.code), {lastId});
    if (text.isEmpty() && required.contains(column)) {
        QVERIFY(!saved);
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, required.value(column));
        QCOMPARE(added.size(), 0);
    } else if (!text.isEmpty() && field.type != QLatin1String("CHAR")) {
        // A number or date column refuses what is neither, naming the field.
        QVERIFY(!saved);
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        const QString message = m_messages.at(0).text;
        QVERIFY2(message.startsWith(kWrongData), qPrintable(message.left(200)));
        QVERIFY2(message.contains(QStringLiteral("“%1”").arg(field.code)), qPrintable(message.left(200)));
        QVERIFY2(message.contains(field.type == QLatin1String("NUME") ? QStringLiteral("需要数字")
                                                                      : QStringLiteral("需要日期")),
                 qPrintable(message.left(200)));
        QCOMPARE(added.size(), 0);
    } else {
        QVERIFY2(saved && m_messages.count() == 0, qPrintable(m_messages.summary()));
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().at(1).toString(), QStringLiteral("R1"));
        const QVariant stored = added.first().at(2);
        if (!text.isEmpty()) {
            QCOMPARE(stored.typeId(), QMetaType::QString);
            QCOMPARE(stored.toString(), text);
        } else {
            // An empty cell leaves the column as a new row has it.
            const QVariant empty = value(db, QStringLiteral("select dflt_value from pragma_table_info('hyxc') where "
                                                            "name=?1 collate nocase"),
                                         {field.code});
            if (empty.isNull())
                QVERIFY2(stored.isNull(), qPrintable(stored.toString()));
            else
                QCOMPARE(stored.toDouble(), empty.toString().toDouble());
        }
        // Read back into the grid as stored.
        const QString id = QString::number(added.first().at(0).toLongLong());
        int shown = -1;
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->cell(r, 0) == id)
                shown = r;
        QVERIFY(shown >= 0);
        if (field.type == QLatin1String("CHAR"))
            QCOMPARE(model->cell(shown, column), text);
    }
    if (!saved)
        area.runway_fill(); // the refused row leaves the grid
    QCOMPARE(digest(db, oldRows, {lastId}), oldDigest);
    // The statistics summaries follow the ticket rows by their triggers.
    const QString changed =
        changedBesides(before, snapshot(db),
                       {QStringLiteral("hyxc"), QStringLiteral("czyrz"), QStringLiteral("SUMhangkong"),
                        QStringLiteral("SUMgeren"), QStringLiteral("SUMdaoda"), QStringLiteral("sqlite_sequence")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileItineraryTest::itineraryCustomer_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileItineraryTest::itineraryCustomer()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_area) {
        addHostileCustomers(db, 5, 1);
        m_area = std::make_unique<ItineraryArea>(m_f->state);
        m_area->load();
    }
    ItineraryArea &area = *m_area;
    ItineraryModel *model = area.model();
    area.setCustomer(text);
    area.setEditMode();
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
    const qint64 tickets = number(db, QStringLiteral("select count(*) from hyxc where kh=?1"), {text});
    QCOMPARE(tickets, text.isEmpty() ? 0 : 1);
    if (tickets > 0) {
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->cell(0, 1), text);
    } else {
        QCOMPARE(model->rowCount(), 1); // the blank row
        QCOMPARE(model->cell(0, 0), QString());
    }

    // The itinerary report of the customer lists the same tickets.
    closeShownReports();
    area.printItinerary(true);
    checkNoEngineError();
    const auto document = shownReport();
    QCOMPARE(document ? document->rowCount() : 0, static_cast<int>(tickets));

    const Snapshot before = snapshot(db);
    const qint64 lastId = number(db, QStringLiteral("select coalesce(max(id), 0) from hyxc"));
    area.add_Click();
    const int row = model->rowCount() - 1;
    for (const auto &[c, t] : QList<QPair<int, QString>>{{4, QStringLiteral("广州")},
                                                          {6, QStringLiteral("CZ3101")},
                                                          {7, QStringLiteral("F")},
                                                          {8, QStringLiteral("784-%1").arg(++m_serial)}})
        model->setCell(row, c, t);
    m_messages.clear();
    const bool saved = area.runway_save(row);
    checkNoEngineError();
    const QList<QVariantList> added = rows(db, QStringLiteral("select kh from hyxc where id > ?1"), {lastId});
    if (text.isEmpty()) {
        // A ticket belongs to a customer: without a number it is refused.
        QVERIFY(!saved);
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QVERIFY2(m_messages.at(0).text.startsWith(kWrongData), qPrintable(m_messages.at(0).text));
        QCOMPARE(added.size(), 0);
        area.runway_fill();
        const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyrz")});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
    } else {
        QVERIFY2(saved && m_messages.count() == 0, qPrintable(m_messages.summary()));
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().at(0).toString(), text);
        QCOMPARE(model->rowCount(), 2);
    }
}

void HostileItineraryTest::itineraryRefund_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileItineraryTest::itineraryRefund()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_area) {
        addCustomer(db, QStringLiteral("RF"));
        m_area = std::make_unique<ItineraryArea>(m_f->state);
        m_area->load();
    }
    // The ticket's airline and the operator both carry the text into the log row.
    const qint64 id = addTicket(db, QStringLiteral("RF"), 50);
    write(db, QStringLiteral("update hyxc set hangkong=?1 where id=?2"),
          {text.isEmpty() ? QVariant() : QVariant(text), id});
    m_f->state.setCurrentOperator(text);
    ItineraryArea &area = *m_area;
    area.setCustomer(QStringLiteral("RF"));
    area.setEditMode();
    ItineraryModel *model = area.model();
    int row = -1;
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->cell(r, 0) == QString::number(id))
            row = r;
    QVERIFY(row >= 0);
    QCOMPARE(model->cell(row, 14), text);
    area.grid()->setCurrentIndex(model->index(row, 2));
    QVERIFY(area.ticketMenuAllowed());

    const Snapshot before = snapshot(db);
    const qint64 lastLog = number(db, QStringLiteral("select coalesce(max(tag), 0) from czyrz"));
    area.menu_tp_Click();
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
    const QList<QVariantList> ticket = rows(db, QStringLiteral("select zt, hangkong from hyxc where id=?1"), {id});
    QCOMPARE(ticket.size(), 1);
    QCOMPARE(ticket.first().at(0).toString(), QStringLiteral("退票"));
    QCOMPARE(ticket.first().at(1).toString(), text);
    const QList<QVariantList> log =
        rows(db, QStringLiteral("select czyname, czyxm, last_time from czyrz where tag > ?1"), {lastLog});
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().at(0).toString(), text);
    QCOMPARE(log.first().at(1).toString(), QStringLiteral("退票 ") + text + QStringLiteral(" id=") + QString::number(id));
    QVERIFY(!log.first().at(2).isNull());
    const QString changed =
        changedBesides(before, snapshot(db),
                       {QStringLiteral("hyxc"), QStringLiteral("czyrz"), QStringLiteral("SUMhangkong"),
                        QStringLiteral("SUMgeren"), QStringLiteral("SUMdaoda")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
    m_f->state.setCurrentOperator(QStringLiteral("王芳"));
}

void HostileItineraryTest::singleRowTransferFrom_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileItineraryTest::singleRowTransferFrom()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_jfzr) {
        addHostileCustomers(db, 5, 2);
        addCustomer(db, QStringLiteral("T1"));
        m_jfzr = std::make_unique<FrmJfzr>(m_f->state);
    }
    FrmJfzr &w = *m_jfzr;
    paste(lineEdit(w, QStringLiteral("Text1")), text);
    w.listRows();
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
    if (text.isEmpty()) {
        QVERIFY(!w.list()->isOpen());
        const Snapshot before = snapshot(db);
        paste(lineEdit(w, QStringLiteral("Text2")), QStringLiteral("T1"));
        w.cmdOK_Click();
        QCOMPARE(m_messages.count(), 0);
        const QString changed = changedBesides(before, snapshot(db), {});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
        return;
    }
    QCOMPARE(w.list()->recordCount(), 2);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(w.list()->valueAt(i, w.list()->fieldIndex(QStringLiteral("kh"))).toString(), text);
    w.list()->moveFirst();
    const qint64 id = w.list()->value(QStringLiteral("id")).toLongLong();
    const Snapshot before = snapshot(db);
    const qint64 lastLog = number(db, QStringLiteral("select coalesce(max(rowid), 0) from hyxczhuanrang"));
    const QByteArray others = digest(db, QStringLiteral("select * from hyxc where id<>?1 order by id"), {id});

    paste(lineEdit(w, QStringLiteral("Text2")), QStringLiteral("T1"));
    w.cmdOK_Click();
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("客户") + text + QStringLiteral("当前积分转让到T1"));
    QCOMPARE(value(db, QStringLiteral("select kh from hyxc where id=?1"), {id}).toString(), QStringLiteral("T1"));
    QCOMPARE(w.list()->recordCount(), 1);
    const QList<QVariantList> log =
        rows(db, QStringLiteral("select kh, zhuanrangkh from hyxczhuanrang where rowid > ?1"), {lastLog});
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().at(0).toString(), text);
    QCOMPARE(log.first().at(1).toString(), QStringLiteral("T1"));
    QCOMPARE(digest(db, QStringLiteral("select * from hyxc where id<>?1 order by id"), {id}), others);
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("hyxc"), QStringLiteral("hyxczhuanrang")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileItineraryTest::singleRowTransferTo_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileItineraryTest::singleRowTransferTo()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_jfzr) {
        addHostileCustomers(db, 5, 1);
        m_jfzr = std::make_unique<FrmJfzr>(m_f->state);
    }
    FrmJfzr &w = *m_jfzr;
    const QString giver = QStringLiteral("G%1").arg(++m_serial);
    addCustomer(db, giver);
    const qint64 id = addTicket(db, giver, 6);
    paste(lineEdit(w, QStringLiteral("Text1")), giver);
    w.listRows();
    QCOMPARE(w.list()->recordCount(), 1);
    const Snapshot before = snapshot(db);
    const qint64 lastLog = number(db, QStringLiteral("select coalesce(max(rowid), 0) from hyxczhuanrang"));

    paste(lineEdit(w, QStringLiteral("Text2")), text);
    w.cmdOK_Click();
    checkNoEngineError();
    if (text.isEmpty()) {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        const QString changed = changedBesides(before, snapshot(db), {});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
        return;
    }
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("客户") + giver + QStringLiteral("当前积分转让到") + text);
    const QVariant kh = value(db, QStringLiteral("select kh from hyxc where id=?1"), {id});
    QCOMPARE(kh.toString(), text);
    const QList<QVariantList> log =
        rows(db, QStringLiteral("select kh, zhuanrangkh from hyxczhuanrang where rowid > ?1"), {lastLog});
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().at(0).toString(), giver);
    QCOMPARE(log.first().at(1).toString(), text);
    QCOMPARE(w.list()->recordCount(), 0);
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("hyxc"), QStringLiteral("hyxczhuanrang")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

QTEST_MAIN(HostileItineraryTest)
#include "tst_hostile_itinerary.moc"
