// The ticket grid of a customer: browse and edit modes, the points of a saved
// row, the required columns, deleting rows, the summary line, refund and void,
// and the cell editors.

#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "archive/ticketcolumn.h"
#include "archivesupport.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

namespace {

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

// C001 has an untouched ticket (50 of 50 points left) and a partly used one
// (10 of 25 left); C002 has none.
struct Tickets
{
    explicit Tickets(ArchiveFixture &f)
    {
        f.addCustomer(QStringLiteral("C001"), QStringLiteral("张三"));
        f.addCustomer(QStringLiteral("C002"), QStringLiteral("李四"));
        untouched = f.addTicket(QStringLiteral("C001"));
        used = f.addTicket(QStringLiteral("C001"), {{QStringLiteral("ZS"), 2},
                                                    {QStringLiteral("amount1"), 500},
                                                    {QStringLiteral("amount2"), 450},
                                                    {QStringLiteral("amount3"), 400},
                                                    {QStringLiteral("hangkong"), QStringLiteral("国航")},
                                                    {QStringLiteral("jifen"), 25},
                                                    {QStringLiteral("jifenyue"), 10}});
    }
    qint64 untouched = 0;
    qint64 used = 0;
};

int rowOf(const ItineraryModel *model, qint64 id)
{
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->cell(r, 0) == QString::number(id))
            return r;
    return -1;
}

// A grid row ready to save: every required column filled.
void fillRow(ItineraryModel *model, int row, const QString &ticket, const QString &amount, const QString &rate)
{
    model->setCell(row, 3, QStringLiteral("2024-05-01"));
    model->setCell(row, 4, QStringLiteral("成都"));
    model->setCell(row, 5, QStringLiteral("上海"));
    model->setCell(row, 6, QStringLiteral("3U8888"));
    model->setCell(row, 7, QStringLiteral("Y"));
    model->setCell(row, 8, ticket);
    model->setCell(row, 9, QStringLiteral("1"));
    model->setCell(row, 10, amount);
    model->setCell(row, 13, rate);
    model->setCell(row, 14, QStringLiteral("川航"));
}

// The cell editor the grid shows, if any.
QWidget *openEditor(const QTableView *grid)
{
    for (QWidget *w : grid->viewport()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isVisible())
            return w;
    return nullptr;
}

QString ticketColumn(ArchiveFixture &f, const QString &column, qint64 id)
{
    return f.scalar(QStringLiteral("select ") + column + QStringLiteral(" from hyxc where id=") + sqlNumber(id))
        .toString();
}

double ticketNumber(ArchiveFixture &f, const QString &column, qint64 id)
{
    return f.scalar(QStringLiteral("select ") + column + QStringLiteral(" from hyxc where id=") + sqlNumber(id))
        .toDouble();
}

} // namespace

class ItineraryTest : public QObject
{
    Q_OBJECT

private slots:
    void modelUnderTester();
    void browseAndEditModes();
    void pointsOfSavedRow_data();
    void pointsOfSavedRow();
    void requiredColumns_data();
    void requiredColumns();
    void deleteRow_data();
    void deleteRow();
    void summaryLine();
    void customerWithoutTickets();
    void ticketMenuOnlyOnSavedRowsWhileEditing();
    void refundAndVoid_data();
    void refundAndVoid();
    void refundRefusedWithoutRequiredColumn_data();
    void refundRefusedWithoutRequiredColumn();
    void cellEditors_data();
    void cellEditors();
    void textEditorCommitsUpperCase();
    void sortsNumbersAsNumbers();
    void dateEditorWritesOnlyAChosenDate();
    void emptiedCellIsSavedEmpty();
    void refundKeepsTypedTextAndRightClickOpensNoEditor();
};

void ItineraryTest::modelUnderTester()
{
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    QAbstractItemModelTester tester(area.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    area.setCustomer(QStringLiteral("C001"));
    QCOMPARE(area.model()->rowCount(), 2);
    area.setEditMode();
    area.add_Click();
    QCOMPARE(area.model()->rowCount(), 3);
    fillRow(area.model(), 2, QStringLiteral("999-1"), QStringLiteral("800"), QStringLiteral("5"));
    area.sortByColumn(10);
    area.sortByColumn(8);
    int added = -1;
    for (int r = 0; r < area.model()->rowCount(); ++r)
        if (area.model()->cell(r, 8) == QLatin1String("999-1"))
            added = r;
    QVERIFY(added >= 0);
    QVERIFY(area.runway_save(added));
    QCOMPARE(area.model()->rowCount(), 3);
    area.setCustomer(QStringLiteral("C002"));
    QCOMPARE(area.model()->rowCount(), 1);
    area.setCustomer(QStringLiteral("C001"));
    area.setBrowseMode();
    QCOMPARE(area.model()->columnCount(), 28);
}

void ItineraryTest::browseAndEditModes()
{
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QTableView *grid = area.grid();
    const QStringList buttons = {QStringLiteral("add"), QStringLiteral("save"), QStringLiteral("cmdDel")};
    const QRect cell = grid->visualRect(area.model()->index(0, 6));

    QVERIFY(!area.editMode());
    for (const QString &name : buttons)
        QVERIFY2(area.findChild<QPushButton *>(name)->isHidden(), qPrintable(name));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(openEditor(grid), nullptr);
    QVERIFY(!(area.model()->flags(area.model()->index(0, 6)) & Qt::ItemIsEditable));

    area.findChild<QRadioButton *>(QStringLiteral("edit"))->click();
    QVERIFY(area.editMode());
    for (const QString &name : buttons)
        QVERIFY2(!area.findChild<QPushButton *>(name)->isHidden(), qPrintable(name));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(area.model()->index(1, 6)).center());
    QWidget *editor = openEditor(grid);
    QVERIFY(editor);
    QCOMPARE(editor->objectName(), QStringLiteral("txteditRunWay"));

    // Back to browsing the open editor goes and nothing can be typed.
    area.findChild<QRadioButton *>(QStringLiteral("brows"))->click();
    QVERIFY(!area.editMode());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(openEditor(grid), nullptr);
    for (const QString &name : buttons)
        QVERIFY(area.findChild<QPushButton *>(name)->isHidden());
    area.add_Click();
    QCOMPARE(area.model()->rowCount(), 2);
}

void ItineraryTest::pointsOfSavedRow_data()
{
    QTest::addColumn<QString>("row"); // "new", "untouched" or "used"
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<double>("jifen");
    QTest::addColumn<double>("jifenyue");
    QTest::newRow("new row earns") << "new" << true << "1000" << "5" << 50.0 << 50.0;
    QTest::newRow("new row, fractions") << "new" << true << "1234" << "2.5" << 30.85 << 30.85;
    QTest::newRow("new row, box cleared") << "new" << false << "1000" << "5" << 0.0 << 0.0;
    QTest::newRow("untouched row, rate changed") << "untouched" << true << "1000" << "8" << 80.0 << 80.0;
    QTest::newRow("untouched row, amount changed") << "untouched" << true << "2000" << "5" << 100.0 << 100.0;
    QTest::newRow("used row keeps its points") << "used" << true << "500" << "10" << 25.0 << 10.0;
}

void ItineraryTest::pointsOfSavedRow()
{
    QFETCH(QString, row);
    QFETCH(bool, checked);
    QFETCH(QString, amount);
    QFETCH(QString, rate);
    QFETCH(double, jifen);
    QFETCH(double, jifenyue);
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.setEditMode();
    area.findChild<QCheckBox *>(QStringLiteral("ChCKJFjS"))->setChecked(checked);
    ItineraryModel *model = area.model();

    qint64 id = 0;
    int at = 0;
    if (row == QLatin1String("new")) {
        area.add_Click();
        at = model->rowCount() - 1;
        QCOMPARE(at, 2);
        fillRow(model, at, QStringLiteral("999-0001"), amount, rate);
    } else {
        id = row == QLatin1String("used") ? t.used : t.untouched;
        at = rowOf(model, id);
        QVERIFY(at >= 0);
        model->setCell(at, 10, amount);
        model->setCell(at, 13, rate);
    }
    QVERIFY(area.runway_save(at));
    QCOMPARE(f.messages.texts(), QStringList());
    if (id == 0) {
        QCOMPARE(f.count(QStringLiteral("hyxc")), 3);
        id = f.scalar(QStringLiteral("select id from hyxc where piaohao='999-0001'")).toLongLong();
        QVERIFY(id > t.used);
        QCOMPARE(ticketColumn(f, QStringLiteral("kh"), id), QStringLiteral("C001"));
        QCOMPARE(ticketColumn(f, QStringLiteral("czy"), id), kOperator);
        QCOMPARE(ticketColumn(f, QStringLiteral("zt"), id), QStringLiteral("正常"));
        QCOMPARE(ticketColumn(f, QStringLiteral("lrrq"), id), today());
        QCOMPARE(ticketColumn(f, QStringLiteral("daoda"), id), QStringLiteral("成都"));
    } else {
        QCOMPARE(f.count(QStringLiteral("hyxc")), 2);
    }
    QCOMPARE(ticketNumber(f, QStringLiteral("amount1"), id), amount.toDouble());
    QCOMPARE(ticketNumber(f, QStringLiteral("jfbl"), id), rate.toDouble());
    QCOMPARE(ticketNumber(f, QStringLiteral("jifen"), id), jifen);
    QCOMPARE(ticketNumber(f, QStringLiteral("jifenyue"), id), jifenyue);
    // The grid was read again and shows the saved row.
    QCOMPARE(model->rowCount(), 3 - (row == QLatin1String("new") ? 0 : 1));
    QCOMPARE(model->cell(rowOf(model, id), 26).toDouble(), jifen);
}

void ItineraryTest::requiredColumns_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QList<int>>("emptied");
    QTest::addColumn<QString>("message");
    const QString any = QStringLiteral("不能为空，请重新输入！");
    QTest::newRow("take-off date") << false << QList<int>{3} << QStringLiteral("出发地不能为空，请重新输入！");
    QTest::newRow("destination") << false << QList<int>{4} << QStringLiteral("到达不能为空，请重新输入！");
    QTest::newRow("flight") << false << QList<int>{6} << any;
    QTest::newRow("class") << false << QList<int>{7} << any;
    QTest::newRow("ticket number") << false << QList<int>{8} << any;
    QTest::newRow("first in order wins") << false << QList<int>{8, 6, 3} << QStringLiteral("出发地不能为空，请重新输入！");
    QTest::newRow("take-off date before destination") << false << QList<int>{4, 3}
                                                      << QStringLiteral("出发地不能为空，请重新输入！");
    QTest::newRow("destination before flight") << false << QList<int>{6, 4} << QStringLiteral("到达不能为空，请重新输入！");
    QTest::newRow("saved row") << true << QList<int>{4} << QStringLiteral("到达不能为空，请重新输入！");
}

void ItineraryTest::requiredColumns()
{
    QFETCH(bool, existing);
    QFETCH(QList<int>, emptied);
    QFETCH(QString, message);
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.setEditMode();
    ItineraryModel *model = area.model();
    int at = rowOf(model, t.untouched);
    if (!existing) {
        area.add_Click();
        at = model->rowCount() - 1;
        fillRow(model, at, QStringLiteral("999-0002"), QStringLiteral("1000"), QStringLiteral("5"));
    }
    model->setCell(at, 13, QStringLiteral("9"));
    for (int c : emptied)
        model->setCell(at, c, QString());
    QVERIFY(!area.runway_save(at));
    QCOMPARE(f.messages.texts(), QStringList{message});
    QCOMPARE(f.messages.icon(), Msg::Icon::Information);
    QCOMPARE(f.count(QStringLiteral("hyxc")), 2);
    QCOMPARE(f.count(QStringLiteral("hyxc where jfbl=9")), 0);
    QCOMPARE(ticketColumn(f, QStringLiteral("daoda"), t.untouched), QStringLiteral("北京"));
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
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));

    // Browsing deletes nothing and asks nothing.
    area.grid()->setCurrentIndex(area.model()->index(rowOf(area.model(), t.used), 6));
    area.khxc_del();
    QCOMPARE(f.messages.count(), 0);
    QCOMPARE(f.count(QStringLiteral("hyxc")), 2);

    area.setEditMode();
    if (saved) {
        area.grid()->setCurrentIndex(area.model()->index(rowOf(area.model(), t.used), 6));
    } else {
        area.add_Click();
        fillRow(area.model(), 2, QStringLiteral("999-0003"), QStringLiteral("1000"), QStringLiteral("5"));
        QCOMPARE(area.currentRow(), 2);
    }
    f.messages.answer = confirmed ? Msg::Answer::Ok : Msg::Answer::Cancel;
    area.khxc_del();
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("确认删除当前记录")});
    QCOMPARE(f.count(QStringLiteral("hyxc")), ticketsLeft);
    QCOMPARE(f.count(QStringLiteral("hyxc where id=") + sqlNumber(t.untouched)), 1);
    QCOMPARE(area.model()->rowCount(), rowsLeft);
    QCOMPARE(rowOf(area.model(), t.used) >= 0, !saved || !confirmed);
}

void ItineraryTest::summaryLine()
{
    ArchiveFixture f;
    Tickets t(f);
    f.addCustomer(QStringLiteral("C003"), QStringLiteral("王五"));
    f.addTicket(QStringLiteral("C003"), {{QStringLiteral("amount1"), 7777}});
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    auto *summary = area.findChild<QTableView *>(QStringLiteral("Flhj"));
    QVERIFY(summary);
    const QAbstractItemModel *m = summary->model();
    QCOMPARE(m->rowCount(), 1);
    const QStringList headers = {QStringLiteral("张数"),   QStringLiteral("公布价"),   QStringLiteral("销售价"),
                                 QStringLiteral("净价"),   QStringLiteral("积分合计"), QStringLiteral("剩余积分")};
    QCOMPARE(m->columnCount(), headers.size());
    for (int c = 0; c < headers.size(); ++c)
        QCOMPARE(m->headerData(c, Qt::Horizontal).toString(), headers.at(c));
    // Prices count once per ticket: 1 x 1000/900/850 and 2 x 500/450/400.
    const QStringList expected = {QStringLiteral("3"),    QStringLiteral("2000"),  QStringLiteral("1800"),
                                  QStringLiteral("1650"), QStringLiteral("75.00"), QStringLiteral("60.00")};
    for (int c = 0; c < expected.size(); ++c)
        QCOMPARE(m->index(0, c).data().toString(), expected.at(c));
    QCOMPARE(m->index(0, 1).data().toDouble(),
             f.scalar(QStringLiteral("select sum(amount1*ZS) from hyxc where kh='C001'")).toDouble());

    area.setCustomer(QStringLiteral("C003"));
    QCOMPARE(summary->model()->index(0, 1).data().toString(), QStringLiteral("7777"));
}

void ItineraryTest::customerWithoutTickets()
{
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.setCustomer(QStringLiteral("C002"));
    const ItineraryModel *model = area.model();
    QCOMPARE(model->rowCount(), 1);
    for (int c = 0; c < model->columnCount(); ++c)
        QVERIFY(model->cell(0, c).isEmpty());
    QVERIFY(!model->hasStoredRows());
    const auto *summary = area.findChild<QTableView *>(QStringLiteral("Flhj"));
    QCOMPARE(summary->model()->rowCount(), 0);

    // The blank row is the one a new ticket is typed into.
    area.setEditMode();
    area.add_Click();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->cell(0, 1), QStringLiteral("C002"));
    fillRow(area.model(), 0, QStringLiteral("999-0004"), QStringLiteral("600"), QStringLiteral("5"));
    QVERIFY(area.runway_save(0));
    QCOMPARE(f.count(QStringLiteral("hyxc where kh='C002' and jifen=30")), 1);
    QCOMPARE(summary->model()->rowCount(), 1);
    QCOMPARE(summary->model()->index(0, 4).data().toString(), QStringLiteral("30.00"));
}

void ItineraryTest::ticketMenuOnlyOnSavedRowsWhileEditing()
{
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    const int saved = rowOf(area.model(), t.untouched);
    area.grid()->setCurrentIndex(area.model()->index(saved, 6));
    QVERIFY(!area.ticketMenuAllowed());
    // Browsing, the menu's commands change nothing either.
    area.findChild<QAction *>(QStringLiteral("menu_tp"))->trigger();
    QCOMPARE(ticketColumn(f, QStringLiteral("zt"), t.untouched), QStringLiteral("正常"));

    area.setEditMode();
    area.grid()->setCurrentIndex(area.model()->index(saved, 6));
    QVERIFY(area.ticketMenuAllowed());
    area.add_Click();
    QCOMPARE(area.currentRow(), 2);
    QVERIFY(!area.ticketMenuAllowed());
    area.findChild<QAction *>(QStringLiteral("menu_zf"))->trigger();
    QCOMPARE(f.count(QStringLiteral("hyxc")), 2);
    QCOMPARE(f.count(QStringLiteral("czyrz")), 0);
    QCOMPARE(f.messages.count(), 0);
}

void ItineraryTest::refundAndVoid_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("used");
    QTest::addColumn<double>("jifen");
    QTest::newRow("refund untouched") << "menu_tp" << "退票" << false << 0.0;
    QTest::newRow("refund used") << "menu_tp" << "退票" << true << 25.0;
    QTest::newRow("void untouched") << "menu_zf" << "作废" << false << 0.0;
    QTest::newRow("void used") << "menu_zf" << "作废" << true << 25.0;
}

void ItineraryTest::refundAndVoid()
{
    QFETCH(QString, action);
    QFETCH(QString, state);
    QFETCH(bool, used);
    QFETCH(double, jifen);
    ArchiveFixture f;
    Tickets t(f);
    const qint64 id = used ? t.used : t.untouched;
    const qint64 other = used ? t.untouched : t.used;
    const QString airline = used ? QStringLiteral("国航") : QStringLiteral("东航");
    const double amount1 = used ? 500 : 1000;
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.setEditMode();
    area.grid()->setCurrentIndex(area.model()->index(rowOf(area.model(), id), 6));
    QVERIFY(area.ticketMenuAllowed());
    area.findChild<QAction *>(action)->trigger();
    QCOMPARE(f.messages.texts(), QStringList());

    QCOMPARE(ticketColumn(f, QStringLiteral("zt"), id), state);
    for (const QString &column : {QStringLiteral("jfbl"), QStringLiteral("amount2"), QStringLiteral("amount3"),
                                  QStringLiteral("sxf"), QStringLiteral("jifenyue")})
        QCOMPARE(ticketNumber(f, column, id), 0.0);
    QCOMPARE(ticketNumber(f, QStringLiteral("jifen"), id), jifen);
    QCOMPARE(ticketNumber(f, QStringLiteral("amount1"), id), amount1);
    // The other ticket is left alone.
    QCOMPARE(ticketColumn(f, QStringLiteral("zt"), other), QStringLiteral("正常"));
    QVERIFY(ticketNumber(f, QStringLiteral("jifenyue"), other) > 0);

    QCOMPARE(f.count(QStringLiteral("czyrz")), 1);
    QCOMPARE(f.scalar(QStringLiteral("select czyname from czyrz")).toString(), kOperator);
    const QString logged = f.scalar(QStringLiteral("select czyxm from czyrz")).toString();
    QVERIFY2(logged.contains(state), qPrintable(logged));
    QVERIFY2(logged.contains(airline), qPrintable(logged));
    QVERIFY2(logged.contains(QRegularExpression(QStringLiteral("(^|\\D)%1(\\D|$)").arg(id))), qPrintable(logged));
    QVERIFY(f.scalar(QStringLiteral("select last_time from czyrz")).isValid());
    // The grid shows the new state.
    QCOMPARE(area.model()->cell(rowOf(area.model(), id), 20), state);
}

void ItineraryTest::refundRefusedWithoutRequiredColumn_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("refund") << "menu_tp";
    QTest::newRow("void") << "menu_zf";
}

void ItineraryTest::refundRefusedWithoutRequiredColumn()
{
    QFETCH(QString, action);
    ArchiveFixture f;
    Tickets t(f);
    const qint64 id = f.addTicket(QStringLiteral("C001"), {{QStringLiteral("daoda"), QVariant()}});
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.setEditMode();
    const int row = rowOf(area.model(), id);
    area.grid()->setCurrentIndex(area.model()->index(row, 6));
    area.findChild<QAction *>(action)->trigger();
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("到达不能为空，请重新输入！")});
    QCOMPARE(f.count(QStringLiteral("czyrz")), 0);
    QCOMPARE(ticketColumn(f, QStringLiteral("zt"), id), QStringLiteral("正常"));
    QCOMPARE(ticketNumber(f, QStringLiteral("jfbl"), id), 5.0);
    QCOMPARE(ticketNumber(f, QStringLiteral("amount2"), id), 900.0);
    QCOMPARE(ticketNumber(f, QStringLiteral("sxf"), id), 30.0);
    QCOMPARE(ticketNumber(f, QStringLiteral("jifenyue"), id), 50.0);
    // The grid keeps what it showed.
    QCOMPARE(area.model()->cell(row, 20), QStringLiteral("正常"));
    QCOMPARE(area.model()->cell(row, 13), QStringLiteral("5"));

    // A later refund of a complete row still works and logs once.
    area.grid()->setCurrentIndex(area.model()->index(rowOf(area.model(), t.untouched), 6));
    area.findChild<QAction *>(action)->trigger();
    QCOMPARE(f.messages.count(), 1);
    QCOMPARE(f.count(QStringLiteral("czyrz")), 1);
    QCOMPARE(f.count(QStringLiteral("hyxc where zt='正常'")), 2);
}

void ItineraryTest::cellEditors_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name"); // empty: no editor
    QTest::addColumn<QString>("type");
    QTest::newRow("flight") << 6 << "txteditRunWay" << "QLineEdit";
    QTest::newRow("remark") << 25 << "txteditRunWay" << "QLineEdit";
    QTest::newRow("ticket date") << 2 << "Drc" << "QDateEdit";
    QTest::newRow("take-off date") << 3 << "Drc" << "QDateEdit";
    QTest::newRow("airline") << 14 << "cmb4" << "QComboBox";
    QTest::newRow("domestic") << 16 << "Cmb7" << "QComboBox";
    QTest::newRow("state") << 20 << "" << "";
    QTest::newRow("operator") << 23 << "" << "";
    QTest::newRow("entry date") << 24 << "" << "";
}

void ItineraryTest::cellEditors()
{
    QFETCH(int, column);
    QFETCH(QString, name);
    QFETCH(QString, type);
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    area.setEditMode();
    const int row = rowOf(area.model(), t.untouched);
    area.grid()->edit(area.model()->index(row, column));
    QWidget *editor = openEditor(area.grid());
    if (name.isEmpty()) {
        QCOMPARE(editor, nullptr);
        return;
    }
    QVERIFY(editor);
    QCOMPARE(editor->objectName(), name);
    QCOMPARE(QString::fromLatin1(editor->metaObject()->className()), type);
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        const QString list = column == 14 ? QStringLiteral("航空公司") : QStringLiteral("内外");
        QCOMPARE(items, f.column(QStringLiteral("select sm from dict where class=") + sqlQuote(list)
                                 + QStringLiteral(" order by lx")));
        if (column == 16)
            QCOMPARE(items, (QStringList{QStringLiteral("国内"), QStringLiteral("国际")}));
        QCOMPARE(combo->currentText(), area.model()->cell(row, column));
    } else if (auto *date = qobject_cast<QDateEdit *>(editor)) {
        QCOMPARE(date->date().toString(QStringLiteral("yyyy-MM-dd")), area.model()->cell(row, column));
    } else {
        QCOMPARE(qobject_cast<QLineEdit *>(editor)->text(), area.model()->cell(row, column));
    }
}

void ItineraryTest::textEditorCommitsUpperCase()
{
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    area.setEditMode();
    const int row = rowOf(area.model(), t.untouched);
    area.grid()->setCurrentIndex(area.model()->index(row, 6));
    area.grid()->edit(area.model()->index(row, 6));
    auto *editor = qobject_cast<QLineEdit *>(openEditor(area.grid()));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "ca1234");
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(area.model()->cell(row, 6), QStringLiteral("CA1234"));
    // Enter goes on to the next cell.
    QCOMPARE(area.grid()->currentIndex().column(), 7);
    QVERIFY(area.runway_save(row));
    QCOMPARE(ticketColumn(f, QStringLiteral("hbh"), t.untouched), QStringLiteral("CA1234"));
}

void ItineraryTest::sortsNumbersAsNumbers()
{
    ArchiveFixture f;
    Tickets t(f);
    f.addTicket(QStringLiteral("C001"), {{QStringLiteral("amount1"), 90}});
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    const auto amounts = [&area] {
        QStringList values;
        for (int r = 0; r < area.model()->rowCount(); ++r)
            values << area.model()->cell(r, 10);
        return values;
    };
    area.grid()->setCurrentIndex(area.model()->index(rowOf(area.model(), t.used), 6));
    area.sortByColumn(10);
    QCOMPARE(amounts(), (QStringList{QStringLiteral("90"), QStringLiteral("500"), QStringLiteral("1000")}));
    area.sortByColumn(10);
    QCOMPARE(amounts(), (QStringList{QStringLiteral("1000"), QStringLiteral("500"), QStringLiteral("90")}));
    QCOMPARE(area.findChild<QLineEdit *>(QStringLiteral("Txtid"))->text(), QString::number(t.used));
}

void ItineraryTest::dateEditorWritesOnlyAChosenDate()
{
    // Passing through an empty date cell leaves it empty, so its required check still holds.
    ArchiveFixture f;
    Tickets t(f);
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.setEditMode();
    area.show();
    const int row = area.model()->appendRow();
    area.grid()->setCurrentIndex(area.model()->index(row, TicketColumn::FlightDate));
    auto *picker = qobject_cast<QDateEdit *>(openEditor(area.grid()));
    QVERIFY(picker);
    QTest::keyClick(picker, Qt::Key_Return);
    QCOMPARE(area.model()->cell(row, TicketColumn::FlightDate), QString());
    area.grid()->setCurrentIndex(area.model()->index(row, TicketColumn::FlightDate));
    picker = qobject_cast<QDateEdit *>(openEditor(area.grid()));
    picker->setDate(QDate(2024, 7, 8));
    QTest::keyClick(picker, Qt::Key_Return);
    QCOMPARE(area.model()->cell(row, TicketColumn::FlightDate), QStringLiteral("2024-07-08"));
}

void ItineraryTest::emptiedCellIsSavedEmpty()
{
    ArchiveFixture f;
    Tickets t(f);
    MessageLog messages;
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.setEditMode();
    const int row = rowOf(area.model(), t.untouched);
    area.model()->setCell(row, TicketColumn::Departure, QString());
    area.model()->setCell(row, TicketColumn::Remark, QString());
    QVERIFY(area.runway_save(row));
    QVERIFY(f.scalar(QStringLiteral("select kaishi from hyxc where id=%1").arg(t.untouched)).isNull());
    // A required cell emptied still stops the save with its message.
    area.model()->setCell(rowOf(area.model(), t.untouched), TicketColumn::Destination, QString());
    QVERIFY(!area.runway_save(rowOf(area.model(), t.untouched)));
    QCOMPARE(messages.last(), QStringLiteral("到达不能为空，请重新输入！"));
    QCOMPARE(ticketColumn(f, QStringLiteral("daoda"), t.untouched), QStringLiteral("北京"));
}

void ItineraryTest::refundKeepsTypedTextAndRightClickOpensNoEditor()
{
    ArchiveFixture f;
    Tickets t(f);
    MessageLog messages;
    ItineraryArea area(f.state);
    area.load();
    area.setCustomer(QStringLiteral("C001"));
    area.setEditMode();
    area.show();
    const int row = rowOf(area.model(), t.untouched);
    area.grid()->setCurrentIndex(area.model()->index(row, TicketColumn::Remark));
    auto *editor = qobject_cast<QLineEdit *>(openEditor(area.grid()));
    QVERIFY(editor);
    editor->setText(QStringLiteral("客人改期"));
    area.menu_tp_Click();
    QCOMPARE(ticketColumn(f, QStringLiteral("bz"), t.untouched), QStringLiteral("客人改期"));
    QCOMPARE(ticketColumn(f, QStringLiteral("zt"), t.untouched), QStringLiteral("退票"));
    // A right click makes its row current without opening an editor over it.
    const int other = rowOf(area.model(), t.used);
    const QRect cell = area.grid()->visualRect(area.model()->index(other, TicketColumn::Destination));
    QTest::mousePress(area.grid()->viewport(), Qt::RightButton, {}, cell.center());
    QCOMPARE(area.currentRow(), other);
    QVERIFY(!openEditor(area.grid()));
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *menu = qobject_cast<QMenu *>(w))
            menu->close();
}

QTEST_MAIN(ItineraryTest)
#include "tst_itinerary.moc"
