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
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

using namespace TicketColumn;

namespace {

// The rate and prices of a ticket, as numbers are written.
const QString kPrices = QStringLiteral("printf('%g %g %g %g %g', jfbl, amount1, amount2, amount3, sxf)");

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
    void select(qint64 id, int column = Flight) { area.grid()->setCurrentIndex(area.model()->index(rowOf(id), column)); }
    // A grid row ready to save: every required column filled.
    void fill(int row, const QString &ticketNo, const QString &amount, const QString &rate)
    {
        const QList<QPair<int, QString>> cells = {{FlightDate, "2024-05-01"}, {Destination, "成都"}, {Departure, "上海"},
                                                  {Flight, "3U8888"}, {Cabin, "Y"}, {TicketNumber, ticketNo}, {Count, "1"},
                                                  {PublishedPrice, amount}, {PointsRate, rate}, {Airline, "川航"}};
        for (const auto &[column, text] : cells)
            area.model()->setCell(row, column, text);
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
    void emptiedCellIsSavedEmpty();
    void deleteRow_data();
    void deleteRow();
    void summaryLine();
    void ticketMenuOnlyOnSavedRowsWhileEditing();
    void refundAndVoid_data();
    void refundAndVoid();
    void refundKeepsTypedTextAndRightClickOpensNoEditor();
    void cellEditors_data();
    void cellEditors();
    void dateEditorWritesOnlyAChosenDate();
    void sortsNumbersAsNumbers();
};

void ItineraryTest::browseAndEditModes()
{
    Tickets f;
    QAbstractItemModelTester tester(f.area.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    f.show();
    QTableView *grid = f.area.grid();
    const auto buttonsHidden = [&f] {
        return child<QPushButton>(&f.area, "add")->isHidden() && child<QPushButton>(&f.area, "save")->isHidden()
               && child<QPushButton>(&f.area, "cmdDel")->isHidden();
    };
    QVERIFY(!f.area.editMode() && buttonsHidden());
    const QPoint cell = grid->visualRect(f.area.model()->index(0, Flight)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(f.editor(), nullptr);
    f.area.add_Click();
    QCOMPARE(f.area.model()->rowCount(), 2);

    click(&f.area, "edit");
    QVERIFY(f.area.editMode() && !buttonsHidden());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(f.area.model()->index(1, Flight)).center());
    QVERIFY(f.editor());
    QCOMPARE(f.editor()->objectName(), QStringLiteral("txteditRunWay"));
    f.area.add_Click();
    QCOMPARE(f.area.model()->rowCount(), 3);
    f.area.sortByColumn(PublishedPrice);

    // Back to browsing: the editor goes, and so does the row never saved.
    click(&f.area, "brows");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f.area.editMode() && buttonsHidden());
    QCOMPARE(f.editor(), nullptr);
    f.area.setCustomer("C002");
    QCOMPARE(f.area.model()->rowCount(), 1);
    f.area.setCustomer("C001");
    QCOMPARE(f.area.model()->rowCount(), 2);
}

void ItineraryTest::pointsOfSavedRow_data()
{
    QTest::addColumn<QString>("row"); // new, untouched, used, or nearly: 0.01 of its 50 points used
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<double>("jifen");
    QTest::addColumn<double>("jifenyue");
    QTest::newRow("new row earns") << "new" << true << "1000" << "5" << 50.0 << 50.0;
    QTest::newRow("new row, fractions") << "new" << true << "1234" << "2.5" << 30.85 << 30.85;
    QTest::newRow("new row, blanks around the numbers") << "new" << true << " 1000 " << " 5" << 50.0 << 50.0;
    QTest::newRow("new row, box cleared") << "new" << false << "1000" << "5" << 0.0 << 0.0;
    QTest::newRow("untouched row, rate changed") << "untouched" << true << "1000" << "8" << 80.0 << 80.0;
    QTest::newRow("untouched row, amount changed") << "untouched" << true << "2000" << "5" << 100.0 << 100.0;
    QTest::newRow("untouched row, box cleared") << "untouched" << false << "2000" << "5" << 0.0 << 0.0;
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
    if (row == "new") {
        f.area.add_Click();
        at = model->rowCount() - 1;
        QCOMPARE(model->cell(at, CardNumber), QStringLiteral("C001"));
        f.fill(at, "999-0001", amount, rate);
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
    QCOMPARE(f.count("hyxc where kh='C001'"), row == "new" ? 3 : 2 + (row == "nearly"));
    QCOMPARE(f.ticket("amount1", id).toDouble(), amount.toDouble() ? amount.toDouble() : 1000.0);
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
    const QString any = QStringLiteral("不能为空，请重新输入！");
    const QString takeOff = QStringLiteral("出发地不能为空，请重新输入！");
    const QString destination = QStringLiteral("到达不能为空，请重新输入！");
    QTest::newRow("take-off date") << false << QList<int>{FlightDate} << takeOff;
    QTest::newRow("destination") << false << QList<int>{Destination} << destination;
    QTest::newRow("flight") << false << QList<int>{Flight} << any;
    QTest::newRow("class") << false << QList<int>{Cabin} << any;
    QTest::newRow("ticket number") << false << QList<int>{TicketNumber} << any;
    QTest::newRow("first in order wins") << false << QList<int>{TicketNumber, Flight, FlightDate} << takeOff;
    QTest::newRow("destination before flight") << false << QList<int>{Flight, Destination} << destination;
    QTest::newRow("saved row") << true << QList<int>{Destination} << destination;
}

void ItineraryTest::requiredColumns()
{
    QFETCH(bool, existing);
    QFETCH(QList<int>, emptied);
    QFETCH(QString, message);
    Tickets f;
    f.area.setEditMode();
    int at = f.rowOf(f.untouched);
    if (!existing) {
        f.area.add_Click();
        at = f.area.model()->rowCount() - 1;
        f.fill(at, "999-0002", "1000", "5");
    }
    f.area.model()->setCell(at, PointsRate, "9");
    for (int c : emptied)
        f.area.model()->setCell(at, c, QString());
    QVERIFY(!f.area.runway_save(at));
    QCOMPARE(f.messages.texts(), QStringList{message});
    QCOMPARE(f.messages.icon(), Msg::Icon::Information);
    QCOMPARE(f.count("hyxc"), 2);
    QCOMPARE(f.count("hyxc where jfbl=9"), 0);
}

void ItineraryTest::emptiedCellIsSavedEmpty()
{
    Tickets f;
    f.area.setEditMode();
    f.area.model()->setCell(f.rowOf(f.untouched), Departure, QString());
    f.area.model()->setCell(f.rowOf(f.untouched), Remark, QString());
    QVERIFY(f.area.runway_save(f.rowOf(f.untouched)));
    QVERIFY(f.scalar("select kaishi from hyxc where id=?", {f.untouched}).isNull());
    QCOMPARE(f.ticket("daoda", f.untouched), QStringLiteral("北京"));
}

void ItineraryTest::deleteRow_data()
{
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<int>("ticketsLeft");
    QTest::addColumn<int>("rowsLeft");
    QTest::newRow("unsaved row") << false << true << 2 << 2;
    QTest::newRow("saved row") << true << true << 1 << 1;
    QTest::newRow("saved row, cancelled") << true << false << 2 << 2;
}

void ItineraryTest::deleteRow()
{
    QFETCH(bool, saved);
    QFETCH(bool, confirmed);
    QFETCH(int, ticketsLeft);
    QFETCH(int, rowsLeft);
    Tickets f;
    // Browsing deletes nothing and asks nothing.
    f.select(f.used);
    f.area.khxc_del();
    QCOMPARE(f.messages.count(), 0);
    f.area.setEditMode();
    if (saved) {
        f.select(f.used);
    } else {
        f.area.add_Click();
        f.fill(2, "999-0003", "1000", "5");
    }
    f.messages.answer = confirmed ? Msg::Answer::Ok : Msg::Answer::Cancel;
    f.area.khxc_del();
    QCOMPARE(f.messages.texts(), QStringList{"确认删除当前记录"});
    QCOMPARE(f.count("hyxc"), ticketsLeft);
    QCOMPARE(f.count("hyxc where id=?", {f.untouched}), 1);
    QCOMPARE(f.area.model()->rowCount(), rowsLeft);
    QCOMPARE(f.rowOf(f.used) >= 0, !saved || !confirmed);
}

void ItineraryTest::summaryLine()
{
    Tickets f;
    f.addCustomer("C003", "王五");
    f.addTicket("C003", {{"amount1", 7777}});
    f.area.setCustomer("C001");
    const QAbstractItemModel *sums = child<QTableView>(&f.area, "Flhj")->model();
    QStringList headers, values;
    for (int c = 0; c < sums->columnCount(); ++c) {
        headers << sums->headerData(c, Qt::Horizontal).toString();
        values << sums->index(0, c).data().toString();
    }
    QCOMPARE(headers, (QStringList{"张数", "公布价", "销售价", "净价", "积分合计", "剩余积分"}));
    // Prices count once per ticket: 1 x 1000/900/850 and 2 x 500/450/400.
    QCOMPARE(values, (QStringList{"3", "2000", "1800", "1650", "75.00", "60.00"}));
    QCOMPARE(sums->rowCount(), 1);

    // A customer without tickets: one blank row, an empty summary; the blank row takes the first ticket.
    f.area.setCustomer("C002");
    QCOMPARE(f.area.model()->rowCount(), 1);
    for (int c = 0; c < f.area.model()->columnCount(); ++c)
        QVERIFY(f.area.model()->cell(0, c).isEmpty());
    QCOMPARE(sums->rowCount(), 0);
    f.area.setEditMode();
    f.area.add_Click();
    QCOMPARE(f.area.model()->rowCount(), 1);
    f.fill(0, "999-0004", "600", "5");
    QVERIFY(f.area.runway_save(0));
    QCOMPARE(f.count("hyxc where kh='C002' and jifen=30"), 1);
    QCOMPARE(child<QTableView>(&f.area, "Flhj")->model()->index(0, 4).data().toString(), QStringLiteral("30.00"));
}

void ItineraryTest::ticketMenuOnlyOnSavedRowsWhileEditing()
{
    Tickets f;
    f.select(f.untouched);
    QVERIFY(!f.area.ticketMenuAllowed());
    press(&f.area, "menu_tp");
    f.area.setEditMode();
    f.select(f.untouched);
    QVERIFY(f.area.ticketMenuAllowed());
    f.area.add_Click();
    QVERIFY(!f.area.ticketMenuAllowed());
    press(&f.area, "menu_zf");
    QCOMPARE(f.count("hyxc where zt='正常'"), 2);
    QCOMPARE(f.count("czyrz"), 0);
    QCOMPARE(f.messages.count(), 0);
}

void ItineraryTest::refundAndVoid_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("ticket"); // untouched, used, or incomplete (no destination)
    QTest::addColumn<QString>("after");  // state, points earned and left
    QTest::newRow("refund untouched") << "menu_tp" << "untouched" << "退票 0 0";
    QTest::newRow("refund used: what was earned stays") << "menu_tp" << "used" << "退票 25 0";
    QTest::newRow("void untouched") << "menu_zf" << "untouched" << "作废 0 0";
    QTest::newRow("void used") << "menu_zf" << "used" << "作废 25 0";
    QTest::newRow("refund refused") << "menu_tp" << "incomplete" << "正常 50 50";
    QTest::newRow("void refused") << "menu_zf" << "incomplete" << "正常 50 50";
}

void ItineraryTest::refundAndVoid()
{
    QFETCH(QString, action);
    QFETCH(QString, ticket);
    QFETCH(QString, after);
    Tickets f;
    const qint64 id = ticket == "used" ? f.used : ticket == "untouched" ? f.untouched : f.addTicket("C001", {{"daoda", QVariant()}});
    const QString before = f.ticket(kPrices, id);
    const QString other = f.column("select zt||jifenyue from hyxc where id<>? order by id", {id}).join(',');
    f.area.runway_fill();
    f.area.setEditMode();
    f.select(id);
    press(&f.area, action);
    QCOMPARE(f.ticket("zt||printf(' %g %g', jifen, jifenyue)", id), after);
    QCOMPARE(f.area.model()->cell(f.rowOf(id), State), after.section(' ', 0, 0));
    QCOMPARE(f.column("select zt||jifenyue from hyxc where id<>? order by id", {id}).join(','), other);
    if (ticket == "incomplete") {
        QCOMPARE(f.messages.texts(), QStringList{"到达不能为空，请重新输入！"});
        QCOMPARE(f.ticket(kPrices, id), before);
        QCOMPARE(f.area.model()->cell(f.rowOf(id), PointsRate), QStringLiteral("5"));
        QCOMPARE(f.count("czyrz"), 0);
        // A complete row is refunded as ever afterwards.
        f.select(f.untouched);
        press(&f.area, action);
        QCOMPARE(f.count("czyrz"), 1);
        QCOMPARE(f.count("hyxc where zt='正常'"), 2);
        return;
    }
    QCOMPARE(f.messages.count(), 0);
    // Rate and the prices behind the points go to 0; the published price stays.
    QCOMPARE(f.ticket(kPrices, id),
             "0 " + before.section(' ', 1, 1) + " 0 0 0");
    const QString airline = ticket == "used" ? "国航" : "东航";
    QCOMPARE(f.column("select czyname||'|'||czyxm from czyrz where last_time is not null"),
             QStringList{kOperator + "|" + after.section(' ', 0, 0) + " " + airline + " id=" + QString::number(id)});
}

void ItineraryTest::refundKeepsTypedTextAndRightClickOpensNoEditor()
{
    Tickets f;
    f.area.setEditMode();
    f.show();
    f.select(f.untouched, Remark);
    auto *editor = qobject_cast<QLineEdit *>(f.editor());
    QVERIFY(editor);
    editor->setText("客人改期");
    f.area.menu_tp_Click();
    QCOMPARE(f.ticket("bz||zt", f.untouched), QStringLiteral("客人改期退票"));
    // A right click makes its row current without opening an editor over it.
    const int other = f.rowOf(f.used);
    const QRect cell = f.area.grid()->visualRect(f.area.model()->index(other, Destination));
    QTest::mousePress(f.area.grid()->viewport(), Qt::RightButton, {}, cell.center());
    QCOMPARE(f.area.currentRow(), other);
    QCOMPARE(f.editor(), nullptr);
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *menu = qobject_cast<QMenu *>(w))
            menu->close();
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
    QTest::newRow("opened on the cell, typing adds") << int(Flight) << 0 << text << "x>" << "MU5101X" << QPoint(Cabin, 0);
    QTest::newRow("Down goes down") << int(Flight) << 0 << text << "!xv" << "X" << QPoint(Flight, 1);
    QTest::newRow("Down on the last row stays") << int(Flight) << 1 << text << "!xv" << "X" << QPoint(Flight, 1);
    QTest::newRow("Up goes up") << int(Flight) << 1 << text << "!x^" << "X" << QPoint(Flight, 0);
    QTest::newRow("Esc keeps the text and stays") << int(Flight) << 0 << text << "!x!" << "X" << QPoint(Flight, 0);
    QTest::newRow("remark") << int(Remark) << 0 << text << "!r>" << "R" << QPoint(Remark + 1, 0);
    QTest::newRow("ticket date") << int(SaleDate) << 0 << "Drc" << "" << "2024-02-20" << QPoint(SaleDate, 0);
    QTest::newRow("take-off date") << int(FlightDate) << 0 << "Drc" << "" << "2024-03-01" << QPoint(FlightDate, 0);
    QTest::newRow("airline: the arrows choose in the list") << int(Airline) << 1 << "cmb4" << "v" << "国航"
                                                            << QPoint(Airline, 1);
    QTest::newRow("domestic") << int(Domestic) << 0 << "Cmb7" << "" << "国内" << QPoint(Domestic, 0);
    QTest::newRow("state") << int(State) << 0 << "" << "" << "正常" << QPoint(State, 0);
    QTest::newRow("operator") << int(Operator) << 0 << "" << "" << kOperator << QPoint(Operator, 0);
    QTest::newRow("entry date") << int(EntryDate) << 0 << "" << "" << "2024-02-20" << QPoint(EntryDate, 0);
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
    } else if (auto *line = qobject_cast<QLineEdit *>(opened)) {
        QCOMPARE(line->text(), was);
    }
    const QHash<QChar, Qt::Key> named = {{'!', Qt::Key_Escape}, {'>', Qt::Key_Return}, {'^', Qt::Key_Up}, {'v', Qt::Key_Down}};
    for (const QChar key : keys) {
        QWidget *target = QApplication::focusWidget();
        if (named.contains(key))
            QTest::keyClick(target, named.value(key));
        else
            QTest::keyClicks(target, QString(key));
    }
    if (column == Airline) // Down chose the next airline: nothing is written until the editor closes
        QVERIFY(qobject_cast<QComboBox *>(f.editor())->currentText() != was);
    QCOMPARE(model->cell(row, column), cell);
    QCOMPARE(f.area.grid()->currentIndex().column(), current.x());
    QCOMPARE(f.area.grid()->currentIndex().row(), current.y());
    if (keys.contains('>')) {
        const qint64 id = model->cell(row, Id).toLongLong();
        QVERIFY(f.area.runway_save(row));
        QCOMPARE(f.ticket(column == Flight ? "hbh" : "bz", id), cell);
    }
}

void ItineraryTest::dateEditorWritesOnlyAChosenDate()
{
    // Passing through an empty date cell leaves it empty, so its required check still holds.
    Tickets f;
    f.area.setEditMode();
    f.show();
    const int row = f.area.model()->appendRow();
    for (const QDate &chosen : {QDate(), QDate(2024, 7, 8)}) {
        f.area.grid()->setCurrentIndex(f.area.model()->index(row, FlightDate));
        auto *picker = qobject_cast<QDateEdit *>(f.editor());
        QVERIFY(picker);
        if (chosen.isValid())
            picker->setDate(chosen);
        QTest::keyClick(picker, Qt::Key_Return);
        QCOMPARE(f.area.model()->cell(row, FlightDate), chosen.toString(Qt::ISODate));
    }
}

void ItineraryTest::sortsNumbersAsNumbers()
{
    Tickets f;
    f.addTicket("C001", {{"amount1", 90}});
    f.area.runway_fill();
    const auto amounts = [&f] {
        QStringList values;
        for (int r = 0; r < f.area.model()->rowCount(); ++r)
            values << f.area.model()->cell(r, PublishedPrice);
        return values.join(' ');
    };
    f.select(f.used);
    f.area.sortByColumn(PublishedPrice);
    QCOMPARE(amounts(), QStringLiteral("90 500 1000"));
    f.area.sortByColumn(PublishedPrice);
    QCOMPARE(amounts(), QStringLiteral("1000 500 90"));
    QCOMPARE(box(&f.area, "Txtid")->text(), QString::number(f.used));
}

QTEST_MAIN(ItineraryTest)
#include "tst_itinerary.moc"
