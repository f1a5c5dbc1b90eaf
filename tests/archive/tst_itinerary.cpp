// The ticket grid of a customer: browse and edit modes, the points of a saved
// row, deleting rows, the summary line, refund and void, and the keys of the
// cell editor.

#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "domain/archive/ticketcolumn.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/fakedialogs.h"
#include "support/xlsxsheet.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

using namespace TicketColumn;

namespace {

QString today() { return QDate::currentDate().toString(Qt::ISODate); }

// C001 has an untouched ticket (50 of 50 points left) and a partly used one
// (10 of 25 left); C002 has none. The grid shows C001.
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
    void browseAndEditModes()
    {
        Tickets f;
        QAbstractItemModelTester tester(f.area.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        f.show();
        // Browsing: a click opens no editor, and neither refund nor delete does anything.
        QTableView *grid = f.area.grid();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(f.area.model()->index(0, Flight)).center());
        QCOMPARE(f.editor(), nullptr);
        press(&f.area, "menu_tp");
        f.area.khxc_del();
        QCOMPARE(f.count("hyxc where zt='正常'"), 2);

        click(&f.area, "edit");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(f.area.model()->index(1, Flight)).center());
        QCOMPARE(f.editor()->objectName(), QStringLiteral("txteditRunWay"));
        QVERIFY(f.area.ticketMenuAllowed());
        f.area.add_Click();
        QVERIFY(!f.area.ticketMenuAllowed()); // an unsaved row has nothing to refund

        // Back to browsing: the editor goes, and so does the row never saved.
        click(&f.area, "brows");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!f.area.editMode());
        QCOMPARE(f.editor(), nullptr);
        f.area.setCustomer("C001");
        QCOMPARE(f.area.model()->rowCount(), 2);
        QCOMPARE(f.messages.count(), 0);
    }

    void pointsOfSavedRow_data()
    {
        QTest::addColumn<QString>("row"); // new, untouched, used, or nearly: 0.01 of its 50 points used
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<double>("jifen");
        QTest::addColumn<double>("jifenyue");
        QTest::newRow("new row, fractions") << "new" << true << " 1234" << "2.5 " << 30.85 << 30.85;
        QTest::newRow("new row, box cleared") << "new" << false << "1000" << "5" << 0.0 << 0.0;
        QTest::newRow("untouched row, rate changed") << "untouched" << true << "1000" << "8" << 80.0 << 80.0;
        QTest::newRow("used row keeps its points") << "used" << true << "500" << "10" << 25.0 << 10.0;
        QTest::newRow("a hundredth used keeps them too") << "nearly" << true << "2000" << "5" << 50.0 << 49.99;
    }

    void pointsOfSavedRow()
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
        } else {
            model->setCell(at, PublishedPrice, amount);
            model->setCell(at, PointsRate, rate);
        }
        // The remark is the last column a save writes; the points after it come from the rule alone.
        model->setCell(at, Remark, "备注");
        model->setCell(at, Remark + 1, "999");
        const QString day = today();
        QVERIFY(f.area.runway_save(at));
        QCOMPARE(f.messages.count(), 0);
        if (id == 0) {
            id = f.scalar("select id from hyxc where piaohao='999-0001'").toLongLong();
            QCOMPARE(f.ticket("kh||czy||zt||daoda", id), "C001" + kOperator + "正常成都");
            const QString entered = f.ticket("lrrq", id);
            QVERIFY2(entered == day || entered == today(), qPrintable(entered));
        }
        QCOMPARE(f.ticket("amount1", id).toDouble(), amount.toDouble());
        QCOMPARE(f.ticket("bz", id), QStringLiteral("备注"));
        QCOMPARE(f.ticket("jifen", id).toDouble(), jifen);
        QCOMPARE(f.ticket("jifenyue", id).toDouble(), jifenyue);
        // The grid was read again and shows the saved row.
        QCOMPARE(model->cell(f.rowOf(id), Remark + 1).toDouble(), jifen);
    }

    void requiredColumns_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QList<int>>("emptied");
        QTest::addColumn<QString>("message");
        const QString takeOff = QStringLiteral("出发地不能为空，请重新输入！");
        QTest::newRow("flight") << false << QList<int>{Flight} << "不能为空，请重新输入！";
        QTest::newRow("first in order wins") << false << QList<int>{TicketNumber, Flight, FlightDate} << takeOff;
        QTest::newRow("saved row") << true << QList<int>{Destination} << "到达不能为空，请重新输入！";
    }
    void requiredColumns()
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
        QCOMPARE(f.count("hyxc where jfbl=9"), 0);
    }

    void deleteRow()
    {
        Tickets f;
        f.area.setEditMode();
        f.select(f.used);
        for (const Msg::Answer answer : {Msg::Answer::Cancel, Msg::Answer::Ok}) {
            f.messages.answer = answer;
            f.area.khxc_del();
        }
        QCOMPARE(f.messages.texts(), (QStringList{"确认删除当前记录", "确认删除当前记录"}));
        QCOMPARE(f.column("select id from hyxc"), QStringList{QString::number(f.untouched)});
        QCOMPARE(f.rowOf(f.used), -1);
    }

    void summaryLine()
    {
        Tickets f;
        f.addTicket("C002", {{"amount1", 7777}});
        for (const double fen : {0.03, 0.1}) // 1800 + 0.03 + 0.1 is 1800.1299999999999 in binary
            f.addTicket("C001", {{"amount1", 0}, {"amount2", fen}, {"amount3", 0}, {"jifen", 0}, {"jifenyue", 0}});
        f.area.setCustomer("C001");
        const QAbstractItemModel *sums = child<QTableView>(&f.area, "Flhj")->model();
        QStringList values;
        for (int c = 0; c < sums->columnCount(); ++c)
            values << sums->index(0, c).data().toString();
        // Count, prices (once per ticket: 1 x 1000/900/850 and 2 x 500/450/400), points earned and left.
        QCOMPARE(values, (QStringList{"5", "2000", "1800.13", "1650", "75.00", "60.00"}));
    }

    void refundAndVoid_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("ticket"); // untouched or used
        QTest::addColumn<QString>("after");  // state, points earned and left
        QTest::newRow("refund untouched") << "menu_tp" << "untouched" << "退票 0 0";
        QTest::newRow("void used: what was earned stays") << "menu_zf" << "used" << "作废 25 0";
    }

    void refundAndVoid()
    {
        QFETCH(QString, action);
        QFETCH(QString, ticket);
        QFETCH(QString, after);
        Tickets f;
        const qint64 id = ticket == "used" ? f.used : f.untouched;
        const QString others = f.rows("select zt, jifenyue from hyxc where id<>? order by id", {id});
        f.area.setEditMode();
        f.show();
        f.select(id, Remark);
        if (ticket == "untouched") // typed, not yet written: the refund keeps it
            qobject_cast<QLineEdit *>(f.editor())->setText("客人改期");
        press(&f.area, action);
        QCOMPARE(f.ticket("zt||printf(' %g %g', jifen, jifenyue)", id), after);
        QCOMPARE(f.area.model()->cell(f.rowOf(id), State), after.section(' ', 0, 0));
        QCOMPARE(f.rows("select zt, jifenyue from hyxc where id<>? order by id", {id}), others);
        QCOMPARE(f.messages.count(), 0);
        QCOMPARE(f.ticket("bz", id), ticket == "untouched" ? QStringLiteral("客人改期") : QString());
        // Rate and the prices behind the points go to 0; the published price stays.
        QCOMPARE(f.ticket("printf('%g %g', jfbl + amount2 + amount3 + sxf, amount1)", id), ticket == "used" ? "0 500" : "0 1000");
        QCOMPARE(f.count("czyrz where czyxm like ?", {after.section(' ', 0, 0) + "%"}), 1);
    }

    void exportSaysWhoseTicketsItHolds()
    {
        Tickets f;
        f.area.setCustomerNameSource([] { return QStringLiteral("张三"); });
        f.show();
        FakeDialogs dialogs(f.db.tempDir() + "/tickets.xlsx");
        QTest::mouseClick(f.area.grid()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        child<QAction>(f.area.grid(), "gridExportExcel")->trigger();
        QCOMPARE(dialogs.suggested, "会员行程_C001_张三.xlsx");
        QCOMPARE(XlsxSheet(dialogs.file).at("A1").value, "会员行程 C001 张三");
    }

    void cellEditors_data()
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
        QTest::newRow("Esc keeps the text and stays") << int(Flight) << 0 << text << "!x!" << "X" << QPoint(Flight, 0);
        QTest::newRow("Up goes up") << int(Flight) << 1 << text << "!x^" << "X" << QPoint(Flight, 0);
    }

    void cellEditors()
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
        f.area.grid()->setCurrentIndex(model->index(row, column));
        QCoreApplication::processEvents();
        QCOMPARE(f.editor() ? f.editor()->objectName() : QString(), editor);
        const QHash<QChar, Qt::Key> named = {{'!', Qt::Key_Escape}, {'>', Qt::Key_Return}, {'^', Qt::Key_Up}, {'v', Qt::Key_Down}};
        for (const QChar key : keys) {
            if (named.contains(key))
                QTest::keyClick(QApplication::focusWidget(), named.value(key));
            else
                QTest::keyClicks(QApplication::focusWidget(), QString(key));
        }
        QCOMPARE(model->cell(row, column), cell);
        QCOMPARE(f.area.grid()->currentIndex(), model->index(current.y(), current.x()));
    }

    // A pick-list cell of a new row is written only with a value picked or typed:
    // passing through leaves it empty for the required-column check.
    void listCellsWriteOnlyAChoice_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("how");
        for (const auto &[name, column] : {std::pair{"airline", int(Airline)}, std::pair{"domestic", int(Domestic)},
                                           std::pair{"clerk", int(Clerk)}, std::pair{"courier", int(Courier)}})
            for (const char *how : {"passed through", "typed", "picked"})
                QTest::addRow("%s, %s", name, how) << column << QString::fromLatin1(how);
    }
    void listCellsWriteOnlyAChoice()
    {
        QFETCH(int, column);
        QFETCH(QString, how);
        Tickets f;
        f.show();
        f.area.setEditMode();
        f.area.add_Click();
        ItineraryModel *model = f.area.model();
        const int row = model->rowCount() - 1;
        f.area.grid()->setCurrentIndex(model->index(row, column));
        QCoreApplication::processEvents();
        auto *combo = qobject_cast<QComboBox *>(f.editor());
        QVERIFY(combo);
        QString expected;
        if (how == QLatin1String("typed")) {
            QTest::keyClicks(combo->lineEdit(), QStringLiteral("xq"));
            expected = QStringLiteral("XQ");
        } else if (how == QLatin1String("picked")) {
            QVERIFY(combo->count() > 1);
            combo->showPopup();
            QTest::keyClick(combo->view(), Qt::Key_Down);
            QTest::keyClick(combo->view(), Qt::Key_Return);
            expected = combo->itemText(1).toUpper();
        } else {
            QVERIFY(!combo->currentText().isEmpty()); // the first value is shown, not chosen
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(model->cell(row, column), expected);
    }
};

QTEST_MAIN(ItineraryTest)
#include "tst_itinerary.moc"
