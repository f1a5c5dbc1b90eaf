// The ticket grid of a customer: browse and edit modes, the points of a saved
// row, the required columns, deleting rows, the summary line, refund and
// void, and the cell editors with their keys.

#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "archive/ticketcolumn.h"
#include "support/appfixture.h"
#include "support/controls.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace TicketColumn;

namespace {

// C001 has an untouched ticket (50 of 50 points left) and a partly used one
// (10 of 25 left); C002 has none. The grid shows C001, read for editing.
struct Tickets : AppFixture
{
    Tickets() : area(state)
    {
        addCustomer("C001", "张三");
        addCustomer("C002", "李四");
        untouched = addTicket("C001");
        used = addTicket("C001", {{"ZS", 2}, {"amount1", 500}, {"amount2", 450}, {"amount3", 400},
                                  {"hangkong", "国航"}, {"jifen", 25}, {"jifenyue", 10}});
        area.load();
        area.setCustomer("C001");
    }
    int rowOf(qint64 id) const
    {
        for (int r = 0; r < area.model()->rowCount(); ++r)
            if (area.model()->cell(r, Id) == QString::number(id))
                return r;
        return -1;
    }
    QString ticket(const QString &columns, qint64 id)
    {
        return scalar(QStringLiteral("select %1 from hyxc where id=?").arg(columns), {id}).toString();
    }
    void select(qint64 id, int column = Flight)
    {
        area.grid()->setCurrentIndex(area.model()->index(rowOf(id), column));
        QCoreApplication::processEvents();
    }
    // A new grid row in edit mode, every required column filled.
    int newRow(const QString &amount = "1000", const QString &rate = "5")
    {
        area.setEditMode();
        area.add_Click();
        const int row = area.model()->rowCount() - 1;
        const QList<QPair<int, QString>> cells = {{FlightDate, "2024-05-01"}, {Destination, "成都"}, {Departure, "上海"},
                                                  {Flight, "3U8888"}, {Cabin, "Y"}, {TicketNumber, "999-0001"}, {Count, "1"},
                                                  {PublishedPrice, amount}, {PointsRate, rate}, {Airline, "川航"}};
        for (const auto &[column, text] : cells)
            area.model()->setCell(row, column, text);
        return row;
    }
    void show()
    {
        area.show();
        QApplication::setActiveWindow(&area);
        QVERIFY(QTest::qWaitForWindowActive(&area));
    }
    // The cell editor the grid shows, if any.
    QWidget *editor() const
    {
        for (QWidget *w : area.grid()->viewport()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            if (w->isVisible())
                return w;
        return nullptr;
    }

    ItineraryArea area;
    qint64 untouched = 0;
    qint64 used = 0;
};

} // namespace

class ItineraryTest : public QObject
{
    Q_OBJECT

private slots:
    void browseAndEditModes();
    void pointsOfSavedRow_data();
    void pointsOfSavedRow();
    void requiredColumns_data();
    void requiredColumns();
    void deleteRow_data();
    void deleteRow();
    void summaryLine();
    void refundAndVoid_data();
    void refundAndVoid();
    void cellEditors_data();
    void cellEditors();
};

void ItineraryTest::browseAndEditModes()
{
    Tickets f;
    QAbstractItemModelTester tester(f.area.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    f.show();
    const auto editing = [&f] { return f.area.editMode() && !child<QPushButton>(&f.area, "save")->isHidden(); };
    QVERIFY(!editing());
    // Browsing: a click opens no editor, and refund is not offered.
    QTableView *grid = f.area.grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(f.area.model()->index(0, Flight)).center());
    QCOMPARE(f.editor(), nullptr);
    QVERIFY(!f.area.ticketMenuAllowed());
    press(&f.area, "menu_tp");
    QCOMPARE(f.count("hyxc where zt='正常'"), 2);

    click(&f.area, "edit");
    QVERIFY(editing());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(f.area.model()->index(1, Flight)).center());
    QVERIFY(f.editor());
    QCOMPARE(f.editor()->objectName(), QStringLiteral("txteditRunWay"));
    QVERIFY(f.area.ticketMenuAllowed());
    f.area.add_Click();
    QVERIFY(!f.area.ticketMenuAllowed()); // an unsaved row has nothing to refund
    QCOMPARE(f.area.model()->rowCount(), 3);

    // Back to browsing: the editor goes, and so does the row never saved.
    click(&f.area, "brows");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!editing());
    QCOMPARE(f.editor(), nullptr);
    f.area.setCustomer("C002");
    QCOMPARE(f.area.model()->rowCount(), 1);
    f.area.setCustomer("C001");
    QCOMPARE(f.area.model()->rowCount(), 2);
    QCOMPARE(f.messages.count(), 0);
}

void ItineraryTest::pointsOfSavedRow_data()
{
    QTest::addColumn<QString>("row"); // new, untouched, used, or nearly: 0.01 of its 50 points used
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<double>("jifen");
    QTest::addColumn<double>("jifenyue");
    QTest::newRow("new row, fractions") << "new" << true << "1234" << "2.5" << 30.85 << 30.85;
    QTest::newRow("new row, blanks around the numbers") << "new" << true << " 1000 " << " 5" << 50.0 << 50.0;
    QTest::newRow("new row, box cleared") << "new" << false << "1000" << "5" << 0.0 << 0.0;
    QTest::newRow("untouched row, rate changed") << "untouched" << true << "1000" << "8" << 80.0 << 80.0;
    QTest::newRow("used row keeps its points") << "used" << true << "500" << "10" << 25.0 << 10.0;
    QTest::newRow("a hundredth used keeps them too") << "nearly" << true << "2000" << "5" << 50.0 << 49.99;
}

void ItineraryTest::pointsOfSavedRow()
{
    QFETCH(QString, row);
    QFETCH(bool, checked);
    QFETCH(QString, amount);
    QFETCH(QString, rate);
    QFETCH(double, jifen);
    QFETCH(double, jifenyue);
    Tickets f;
    qint64 id = row == "used" ? f.used : row == "untouched" ? f.untouched : 0;
    if (row == "nearly") {
        id = f.addTicket("C001", {{"jifen", 50}, {"jifenyue", 49.99}});
        f.area.runway_fill();
    }
    f.area.setEditMode();
    child<QCheckBox>(&f.area, "ChCKJFjS")->setChecked(checked);
    ItineraryModel *model = f.area.model();
    int at = f.rowOf(id);
    if (id == 0) {
        at = f.newRow(amount, rate);
        QCOMPARE(model->cell(at, CardNumber), QStringLiteral("C001"));
    } else {
        model->setCell(at, PublishedPrice, amount);
        model->setCell(at, PointsRate, rate);
    }
    // The remark is the last column a save writes; the points after it come from the rule alone.
    model->setCell(at, Remark, "备注");
    model->setCell(at, Remark + 1, "999");
    const QString day = QDate::currentDate().toString(Qt::ISODate);
    QVERIFY(f.area.runway_save(at));
    QCOMPARE(f.messages.count(), 0);
    if (id == 0) {
        id = f.scalar("select id from hyxc where piaohao='999-0001'").toLongLong();
        QCOMPARE(f.ticket("kh||czy||zt||daoda", id), "C001" + kOperator + "正常成都");
        const QString entered = f.ticket("lrrq", id);
        QVERIFY2(entered == day || entered == QDate::currentDate().toString(Qt::ISODate), qPrintable(entered));
    }
    QCOMPARE(f.ticket("amount1", id).toDouble(), amount.toDouble());
    QCOMPARE(f.ticket("bz", id), QStringLiteral("备注"));
    QCOMPARE(f.ticket("jifen", id).toDouble(), jifen);
    QCOMPARE(f.ticket("jifenyue", id).toDouble(), jifenyue);
    // The grid was read again and shows the saved row.
    QCOMPARE(model->cell(f.rowOf(id), Remark + 1).toDouble(), jifen);
}

void ItineraryTest::requiredColumns_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QList<int>>("emptied");
    QTest::addColumn<QString>("message");
    const QString takeOff = QStringLiteral("出发地不能为空，请重新输入！");
    const QString destination = QStringLiteral("到达不能为空，请重新输入！");
    QTest::newRow("take-off date") << false << QList<int>{FlightDate} << takeOff;
    QTest::newRow("flight") << false << QList<int>{Flight} << "不能为空，请重新输入！";
    QTest::newRow("first in order wins") << false << QList<int>{TicketNumber, Flight, FlightDate} << takeOff;
    QTest::newRow("saved row") << true << QList<int>{Destination} << destination;
}

void ItineraryTest::requiredColumns()
{
    QFETCH(bool, existing);
    QFETCH(QList<int>, emptied);
    QFETCH(QString, message);
    Tickets f;
    f.area.setEditMode();
    const int at = existing ? f.rowOf(f.untouched) : f.newRow();
    f.area.model()->setCell(at, PointsRate, "9");
    for (int c : emptied)
        f.area.model()->setCell(at, c, QString());
    QVERIFY(!f.area.runway_save(at));
    QCOMPARE(f.messages.texts(), QStringList{message});
    QCOMPARE(f.count("hyxc"), 2);
    QCOMPARE(f.count("hyxc where jfbl=9"), 0);
    // An emptied column that is not required is written as empty.
    f.area.model()->setCell(f.rowOf(f.untouched), Departure, QString());
    f.area.model()->setCell(f.rowOf(f.untouched), Destination, "北京");
    QVERIFY(f.area.runway_save(f.rowOf(f.untouched)));
    QVERIFY(f.scalar("select kaishi from hyxc where id=?", {f.untouched}).isNull());
}

void ItineraryTest::deleteRow_data()
{
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("unsaved row") << false << true;
    QTest::newRow("saved row") << true << true;
    QTest::newRow("saved row, cancelled") << true << false;
}

void ItineraryTest::deleteRow()
{
    QFETCH(bool, saved);
    QFETCH(bool, confirmed);
    Tickets f;
    // Browsing deletes nothing and asks nothing.
    f.select(f.used);
    f.area.khxc_del();
    QCOMPARE(f.messages.count(), 0);
    if (saved) {
        f.area.setEditMode();
        f.select(f.used);
    } else {
        f.newRow();
    }
    f.messages.answer = confirmed ? Msg::Answer::Ok : Msg::Answer::Cancel;
    f.area.khxc_del();
    QCOMPARE(f.messages.texts(), QStringList{"确认删除当前记录"});
    const bool gone = saved && confirmed;
    QCOMPARE(f.column("select id from hyxc order by id").join(' '),
             gone ? QString::number(f.untouched) : QStringLiteral("%1 %2").arg(f.untouched).arg(f.used));
    QCOMPARE(f.area.model()->rowCount(), gone ? 1 : 2);
    QCOMPARE(f.rowOf(f.used) >= 0, !gone);
}

void ItineraryTest::summaryLine()
{
    Tickets f;
    f.addCustomer("C003", "王五");
    f.addTicket("C003", {{"amount1", 7777}});
    f.area.setCustomer("C001");
    const QAbstractItemModel *sums = child<QTableView>(&f.area, "Flhj")->model();
    QStringList values;
    for (int c = 0; c < sums->columnCount(); ++c)
        values << sums->index(0, c).data().toString();
    // Count, prices (once per ticket: 1 x 1000/900/850 and 2 x 500/450/400), points earned and left.
    QCOMPARE(values, (QStringList{"3", "2000", "1800", "1650", "75.00", "60.00"}));

    // A customer without tickets: one blank row, an empty summary; the blank row takes the first ticket.
    f.area.setCustomer("C002");
    QCOMPARE(f.area.model()->rowCount(), 1);
    QCOMPARE(sums->rowCount(), 0);
    QCOMPARE(f.newRow("600"), 0);
    QVERIFY(f.area.runway_save(0));
    QCOMPARE(f.count("hyxc where kh='C002' and jifen=30"), 1);
    QCOMPARE(child<QTableView>(&f.area, "Flhj")->model()->index(0, 4).data().toString(), QStringLiteral("30.00"));
}

void ItineraryTest::refundAndVoid_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("ticket"); // untouched, used, or incomplete (no destination)
    QTest::addColumn<QString>("after");  // state, points earned and left
    QTest::newRow("refund untouched") << "menu_tp" << "untouched" << "退票 0 0";
    QTest::newRow("refund used: what was earned stays") << "menu_tp" << "used" << "退票 25 0";
    QTest::newRow("void used") << "menu_zf" << "used" << "作废 25 0";
    QTest::newRow("refund refused") << "menu_tp" << "incomplete" << "正常 50 50";
}

void ItineraryTest::refundAndVoid()
{
    QFETCH(QString, action);
    QFETCH(QString, ticket);
    QFETCH(QString, after);
    Tickets f;
    const qint64 id = ticket == "used" ? f.used : ticket == "untouched" ? f.untouched : f.addTicket("C001", {{"daoda", QVariant()}});
    const QString prices = QStringLiteral("printf('%g %g %g %g %g', jfbl, amount1, amount2, amount3, sxf)");
    const QString before = f.ticket(prices, id);
    const QString others = f.rows("select zt, jifenyue from hyxc where id<>? order by id", {id});
    f.area.runway_fill();
    f.area.setEditMode();
    f.show();
    f.select(id, Remark);
    if (ticket == "untouched") // typed, not yet written: the refund keeps it
        qobject_cast<QLineEdit *>(f.editor())->setText("客人改期");
    press(&f.area, action);
    QCOMPARE(f.ticket("zt||printf(' %g %g', jifen, jifenyue)", id), after);
    QCOMPARE(f.area.model()->cell(f.rowOf(id), State), after.section(' ', 0, 0));
    QCOMPARE(f.rows("select zt, jifenyue from hyxc where id<>? order by id", {id}), others);
    if (ticket == "incomplete") {
        QCOMPARE(f.messages.texts(), QStringList{"到达不能为空，请重新输入！"});
        QCOMPARE(f.ticket(prices, id), before);
        QCOMPARE(f.count("czyrz"), 0);
        return;
    }
    QCOMPARE(f.messages.count(), 0);
    QCOMPARE(f.ticket("bz", id), ticket == "untouched" ? QStringLiteral("客人改期") : QString());
    // Rate and the prices behind the points go to 0; the published price stays.
    QCOMPARE(f.ticket(prices, id), "0 " + before.section(' ', 1, 1) + " 0 0 0");
    const QString airline = ticket == "used" ? "国航" : "东航";
    QCOMPARE(f.column("select czyname||'|'||czyxm from czyrz where last_time is not null"),
             QStringList{kOperator + "|" + after.section(' ', 0, 0) + " " + airline + " id=" + QString::number(id)});
}

void ItineraryTest::cellEditors_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("editor"); // the editor that opens on the cell; empty: none
    QTest::addColumn<QString>("keys");   // typed in turn: ! Esc, > Enter, ^ Up, v Down, letters as they are
    QTest::addColumn<QString>("cell");   // the cell's text afterwards
    QTest::addColumn<QPoint>("current"); // the current cell afterwards (column, row)
    const QString text = QStringLiteral("txteditRunWay");
    QTest::newRow("a key opens the editor with itself; Enter goes right in upper case")
        << int(Flight) << 0 << text << "!ca1234>" << "CA1234" << QPoint(Cabin, 0);
    QTest::newRow("Down goes down") << int(Flight) << 0 << text << "!xv" << "X" << QPoint(Flight, 1);
    QTest::newRow("Down on the last row stays") << int(Flight) << 1 << text << "!xv" << "X" << QPoint(Flight, 1);
    QTest::newRow("Esc keeps the text and stays") << int(Flight) << 0 << text << "!x!" << "X" << QPoint(Flight, 0);
    QTest::newRow("Up goes up") << int(Flight) << 1 << text << "!x^" << "X" << QPoint(Flight, 0);
    QTest::newRow("take-off date") << int(FlightDate) << 0 << "Drc" << "" << "2024-03-01" << QPoint(FlightDate, 0);
    QTest::newRow("airline: the arrows choose in the list") << int(Airline) << 1 << "cmb4" << "v" << "国航"
                                                            << QPoint(Airline, 1);
    QTest::newRow("state") << int(State) << 0 << "" << "" << "正常" << QPoint(State, 0);
}

void ItineraryTest::cellEditors()
{
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QString, editor);
    QFETCH(QString, keys);
    QFETCH(QString, cell);
    QFETCH(QPoint, current);
    Tickets f;
    f.area.setEditMode();
    f.show();
    ItineraryModel *model = f.area.model();
    const QString was = model->cell(row, column);
    f.area.grid()->setCurrentIndex(model->index(row, column));
    QCoreApplication::processEvents();
    QWidget *opened = f.editor();
    QCOMPARE(opened ? opened->objectName() : QString(), editor);
    if (auto *combo = qobject_cast<QComboBox *>(opened)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, f.column("select sm from dict where class=? order by lx", {ItineraryModel::listClassFor(column)}));
        QCOMPARE(combo->currentText(), was);
    } else if (auto *date = qobject_cast<QDateEdit *>(opened)) {
        QCOMPARE(date->date().toString(Qt::ISODate), was);
    }
    const QHash<QChar, Qt::Key> named = {{'!', Qt::Key_Escape}, {'>', Qt::Key_Return}, {'^', Qt::Key_Up}, {'v', Qt::Key_Down}};
    for (const QChar key : keys) {
        if (named.contains(key))
            QTest::keyClick(QApplication::focusWidget(), named.value(key));
        else
            QTest::keyClicks(QApplication::focusWidget(), QString(key));
    }
    if (column == Airline) // Down chose the next airline: nothing is written until the editor closes
        QVERIFY(qobject_cast<QComboBox *>(f.editor())->currentText() != was);
    QCOMPARE(model->cell(row, column), cell);
    QCOMPARE(f.area.grid()->currentIndex().column(), current.x());
    QCOMPARE(f.area.grid()->currentIndex().row(), current.y());
    if (keys.contains('>')) {
        const qint64 id = model->cell(row, Id).toLongLong();
        QVERIFY(f.area.runway_save(row));
        QCOMPARE(f.ticket("hbh", id), cell);
    }
    if (column != FlightDate)
        return;
    // Passing through an empty date cell leaves it empty, so its required check still holds; a chosen date is written.
    const int blank = model->appendRow();
    for (const QDate &chosen : {QDate(), QDate(2024, 7, 8)}) {
        f.area.grid()->setCurrentIndex(model->index(blank, FlightDate));
        auto *picker = qobject_cast<QDateEdit *>(f.editor());
        QVERIFY(picker);
        if (chosen.isValid())
            picker->setDate(chosen);
        QTest::keyClick(picker, Qt::Key_Return);
        QCOMPARE(model->cell(blank, FlightDate), chosen.toString(Qt::ISODate));
    }
}

QTEST_MAIN(ItineraryTest)
#include "tst_itinerary.moc"
