// The customer window on a real database: the operator log, the dictionary
// driven slots, moving, adding, editing, deleting and finding customers, and
// the help lists of the fields.

#include "support/windowload.h"
#include "archive/frmhyda.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "archivesupport.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

const QString kWrongData = QStringLiteral("数据有误，请重新输入!") + QString::number(DbErrorCode::GeneralFailure);

QLineEdit *box(const FRMHYDA &w, int slot)
{
    return w.findChild<QLineEdit *>(QStringLiteral("txtspzd_%1").arg(slot));
}

QLabel *label(const FRMHYDA &w, int slot)
{
    return w.findChild<QLabel *>(QStringLiteral("Labspzd_%1").arg(slot));
}

QPushButton *move(const FRMHYDA &w, int i)
{
    return w.findChild<QPushButton *>(QStringLiteral("Cmdmove_%1").arg(i));
}

// A tool bar button, pressed as the operator would.
void press(FRMHYDA &w, const QString &key)
{
    QAction *action = w.findChild<QAction *>(key);
    QVERIFY2(action, qPrintable(key));
    action->trigger();
}

// Replaces a box's text the way typing does, so it reaches the record.
// (keyClicks knows only ASCII; the names here are Chinese.)
void type(QLineEdit *b, const QString &text)
{
    b->selectAll();
    QTest::keyClick(b, Qt::Key_Delete);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, b, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QStringList shownTicketIds(const FRMHYDA &w)
{
    const ItineraryModel *model = w.itinerary()->model();
    QStringList ids;
    for (int r = 0; r < model->rowCount(); ++r)
        ids << model->cell(r, 0);
    return ids;
}

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

// Three customers: two with tickets, the last without.
void addCustomers(ArchiveFixture &f)
{
    f.addCustomer(QStringLiteral("C001"), QStringLiteral("张三"));
    f.addCustomer(QStringLiteral("C002"), QStringLiteral("李四"));
    f.addCustomer(QStringLiteral("C003"), QStringLiteral("王五"));
    f.addTicket(QStringLiteral("C001"));
    f.addTicket(QStringLiteral("C001"), {{QStringLiteral("daoda"), QStringLiteral("广州")}});
    f.addTicket(QStringLiteral("C002"));
}

} // namespace

class CustomerWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void operatorLogOpenAndClose();
    void reducedDictionaryShowsItsSlots();
    void navigationStopsAtTheEnds();
    void newRecordPresetsAndUnlocks();
    void saveRefusesEmptyName();
    void duplicateCardNumberKeepsWhatWasTyped();
    void editKeepsCardNumberReadOnly();
    void cancelNewReturnsToPrevious();
    void deleteCustomer_data();
    void deleteCustomer();
    void findCustomer_data();
    void findCustomer();
    void helpNotOfferedWhileBrowsing();
    void sexDropDown();
    void airlineCheckList_data();
    void airlineCheckList();
    void sexShorthandOnLeavingTheBox_data();
    void sexShorthandOnLeavingTheBox();
    void ticketsLockedWhileAdding();
    void closingMidEditAsks_data();
    void closingMidEditAsks();
};

void CustomerWindowTest::operatorLogOpenAndClose()
{
    ArchiveFixture f;
    const QString entry = QStringLiteral("czyrz where czyxm='客户档案' and czyname=") + sqlQuote(kOperator);
    {
        FRMHYDA w(f.state);
        loaded(w);
        QCOMPARE(f.count(entry + QStringLiteral(" and last_time is null")), 1);
        QCOMPARE(f.count(entry + QStringLiteral(" and last_time is not null")), 0);
        QVERIFY(w.close());
        QCOMPARE(f.count(entry + QStringLiteral(" and last_time is null")), 0);
        QCOMPARE(f.count(entry + QStringLiteral(" and last_time is not null")), 1);
    }
    QCOMPARE(f.count(QStringLiteral("czyrz where czyxm='客户档案'")), 1);
}

void CustomerWindowTest::reducedDictionaryShowsItsSlots()
{
    ArchiveFixture f;
    addCustomers(f);
    f.exec(QStringLiteral("delete from dh_codedict where table_code='hyda' and xh>2"));
    FRMHYDA w(f.state);
    loaded(w);
    QCOMPARE(w.slotCount(), 3);
    const QStringList captions = {QStringLiteral("卡号"), QStringLiteral("姓名"), QStringLiteral("证件号码")};
    for (int i = 0; i < FRMHYDA::kSlots; ++i) {
        QVERIFY(box(w, i) && label(w, i));
        QCOMPARE(box(w, i)->isHidden(), i >= 3);
        QCOMPARE(label(w, i)->isHidden(), i >= 3);
    }
    for (int i = 0; i < 3; ++i)
        QCOMPARE(label(w, i)->text(), captions.at(i));
    QCOMPARE(box(w, 1)->text(), QStringLiteral("张三"));

    auto *grid = w.findChild<QTableView *>(QStringLiteral("Gridhyda"));
    QVERIFY(grid);
    QVERIFY(grid->isColumnHidden(0));
    for (int c = 1; c <= 3; ++c)
        QCOMPARE(grid->model()->headerData(c, Qt::Horizontal).toString(), captions.at(c - 1));
    QCOMPARE(grid->model()->rowCount(), 3);
}

void CustomerWindowTest::navigationStopsAtTheEnds()
{
    ArchiveFixture f;
    addCustomers(f);
    FRMHYDA w(f.state);
    loaded(w);
    const auto ticketsOf = [&f](const QString &kh) {
        return f.column(QStringLiteral("select id from hyxc where kh=") + sqlQuote(kh) + QStringLiteral(" order by id"));
    };
    QCOMPARE(box(w, 0)->text(), QStringLiteral("C001"));
    QCOMPARE(shownTicketIds(w), ticketsOf(QStringLiteral("C001")));

    w.Cmdmove_Click(1);
    QCOMPARE(box(w, 0)->text(), QStringLiteral("C001"));
    QVERIFY(!move(w, 0)->isEnabled());
    QVERIFY(!move(w, 1)->isEnabled());
    QVERIFY(move(w, 2)->isEnabled());
    QVERIFY(move(w, 3)->isEnabled());

    move(w, 2)->click();
    QCOMPARE(box(w, 0)->text(), QStringLiteral("C002"));
    QCOMPARE(box(w, 1)->text(), QStringLiteral("李四"));
    QCOMPARE(shownTicketIds(w), ticketsOf(QStringLiteral("C002")));
    QVERIFY(move(w, 0)->isEnabled() && move(w, 1)->isEnabled());

    move(w, 3)->click();
    QCOMPARE(box(w, 0)->text(), QStringLiteral("C003"));
    QVERIFY(!move(w, 2)->isEnabled());
    QVERIFY(!move(w, 3)->isEnabled());
    // No tickets: one blank row.
    QCOMPARE(shownTicketIds(w), QStringList{QString()});

    w.Cmdmove_Click(2);
    QCOMPARE(box(w, 0)->text(), QStringLiteral("C003"));
    QVERIFY(!move(w, 2)->isEnabled() && !move(w, 3)->isEnabled());
    QVERIFY(move(w, 0)->isEnabled());

    move(w, 0)->click();
    QCOMPARE(box(w, 0)->text(), QStringLiteral("C001"));
    QCOMPARE(shownTicketIds(w), ticketsOf(QStringLiteral("C001")));
    QCOMPARE(f.messages.count(), 0);
}

void CustomerWindowTest::newRecordPresetsAndUnlocks()
{
    ArchiveFixture f;
    addCustomers(f);
    FRMHYDA w(f.state);
    loaded(w);
    for (int i = 0; i < FRMHYDA::kSlots; ++i)
        QVERIFY(box(w, i)->isReadOnly());

    press(w, QStringLiteral("new"));
    QCOMPARE(w.mode(), FRMHYDA::Mode::Adding);
    for (int i = 0; i < FRMHYDA::kSlots; ++i)
        QCOMPARE(box(w, i)->isReadOnly(), i == 19);
    // Who and when are filled in without being typed.
    QCOMPARE(box(w, 19)->text(), kOperator);
    QCOMPARE(box(w, 17)->text(), today());
    QVERIFY(box(w, 0)->text().isEmpty());
    QVERIFY(box(w, 1)->text().isEmpty());

    type(box(w, 0), QStringLiteral("N100"));
    type(box(w, 1), QStringLiteral("赵六"));
    type(box(w, 5), QStringLiteral("13800000000"));
    press(w, QStringLiteral("save"));
    QCOMPARE(f.messages.texts(), QStringList());
    QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
    QCOMPARE(f.count(QStringLiteral("hyda")), 4);
    const QString row = QStringLiteral(" from hyda where kh='N100'");
    QCOMPARE(f.scalar(QStringLiteral("select xm") + row).toString(), QStringLiteral("赵六"));
    QCOMPARE(f.scalar(QStringLiteral("select sj") + row).toString(), QStringLiteral("13800000000"));
    QCOMPARE(f.scalar(QStringLiteral("select djr") + row).toString(), kOperator);
    QCOMPARE(f.scalar(QStringLiteral("select djrc") + row).toString().left(10), today());
    QCOMPARE(box(w, 0)->text(), QStringLiteral("N100"));
    QVERIFY(box(w, 1)->isReadOnly());
}

void CustomerWindowTest::saveRefusesEmptyName()
{
    ArchiveFixture f;
    addCustomers(f);
    FRMHYDA w(f.state);
    loaded(w);
    press(w, QStringLiteral("new"));
    type(box(w, 0), QStringLiteral("N200"));
    press(w, QStringLiteral("save"));
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("姓名 数据不能为空!")});
    QCOMPARE(f.messages.icon(), Msg::Icon::Exclamation);
    QCOMPARE(w.mode(), FRMHYDA::Mode::Adding);
    QCOMPARE(f.count(QStringLiteral("hyda")), 3);
    QCOMPARE(box(w, 0)->text(), QStringLiteral("N200"));
}

void CustomerWindowTest::duplicateCardNumberKeepsWhatWasTyped()
{
    ArchiveFixture f;
    addCustomers(f);
    FRMHYDA w(f.state);
    loaded(w);
    press(w, QStringLiteral("new"));
    type(box(w, 0), QStringLiteral("C002"));
    type(box(w, 1), QStringLiteral("孙七"));
    press(w, QStringLiteral("save"));
    QCOMPARE(f.messages.count(), 1);
    QVERIFY2(f.messages.text().startsWith(kWrongData), qPrintable(f.messages.text()));
    QCOMPARE(w.mode(), FRMHYDA::Mode::Adding);
    QCOMPARE(box(w, 0)->text(), QStringLiteral("C002"));
    QCOMPARE(box(w, 1)->text(), QStringLiteral("孙七"));
    QVERIFY(!box(w, 1)->isReadOnly());
    QCOMPARE(f.count(QStringLiteral("hyda")), 3);
    QCOMPARE(f.scalar(QStringLiteral("select xm from hyda where kh='C002'")).toString(), QStringLiteral("李四"));

    // Corrected, the same record saves.
    type(box(w, 0), QStringLiteral("C009"));
    press(w, QStringLiteral("save"));
    QCOMPARE(f.messages.count(), 1);
    QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
    QCOMPARE(f.scalar(QStringLiteral("select xm from hyda where kh='C009'")).toString(), QStringLiteral("孙七"));
    QCOMPARE(f.scalar(QStringLiteral("select djr from hyda where kh='C009'")).toString(), kOperator);
    QCOMPARE(f.count(QStringLiteral("hyda")), 4);
}

void CustomerWindowTest::editKeepsCardNumberReadOnly()
{
    ArchiveFixture f;
    addCustomers(f);
    FRMHYDA w(f.state);
    loaded(w);
    w.Cmdmove_Click(2);
    press(w, QStringLiteral("edit"));
    QCOMPARE(w.mode(), FRMHYDA::Mode::Editing);
    for (int i = 0; i < FRMHYDA::kSlots; ++i)
        QCOMPARE(box(w, i)->isReadOnly(), i == 0 || i == 19);
    type(box(w, 1), QStringLiteral("李四四"));
    press(w, QStringLiteral("save"));
    QCOMPARE(f.messages.count(), 0);
    QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
    QCOMPARE(f.scalar(QStringLiteral("select xm from hyda where kh='C002'")).toString(), QStringLiteral("李四四"));
    QCOMPARE(f.scalar(QStringLiteral("select xm from hyda where kh='C001'")).toString(), QStringLiteral("张三"));
}

void CustomerWindowTest::cancelNewReturnsToPrevious()
{
    ArchiveFixture f;
    addCustomers(f);
    FRMHYDA w(f.state);
    loaded(w);
    w.Cmdmove_Click(2);
    press(w, QStringLiteral("new"));
    type(box(w, 0), QStringLiteral("N300"));
    type(box(w, 1), QStringLiteral("周八"));
    press(w, QStringLiteral("cancel"));
    QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
    QCOMPARE(box(w, 0)->text(), QStringLiteral("C002"));
    QCOMPARE(box(w, 1)->text(), QStringLiteral("李四"));
    QVERIFY(box(w, 1)->isReadOnly());
    QCOMPARE(f.count(QStringLiteral("hyda")), 3);
    QCOMPARE(f.count(QStringLiteral("hyda where kh='N300'")), 0);
    QCOMPARE(shownTicketIds(w), f.column(QStringLiteral("select id from hyxc where kh='C002'")));
}

void CustomerWindowTest::deleteCustomer_data()
{
    QTest::addColumn<int>("steps"); // moves to the next customer before deleting
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("shown"); // card number shown afterwards
    QTest::newRow("cancelled") << 0 << false << QStringLiteral("C001");
    QTest::newRow("first") << 0 << true << QStringLiteral("C002");
    QTest::newRow("middle") << 1 << true << QStringLiteral("C003");
    QTest::newRow("last") << 2 << true << QStringLiteral("C002");
}

void CustomerWindowTest::deleteCustomer()
{
    QFETCH(int, steps);
    QFETCH(bool, confirmed);
    QFETCH(QString, shown);
    ArchiveFixture f;
    addCustomers(f);
    FRMHYDA w(f.state);
    loaded(w);
    for (int i = 0; i < steps; ++i)
        w.Cmdmove_Click(2);
    const QString kh = box(w, 0)->text();
    const int tickets = f.count(QStringLiteral("hyxc where kh=") + sqlQuote(kh));
    f.messages.answer = confirmed ? Msg::Answer::Ok : Msg::Answer::Cancel;
    press(w, QStringLiteral("delete"));
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("确认删除当前记录")});
    QCOMPARE(f.messages.icon(), Msg::Icon::Exclamation);
    QCOMPARE(box(w, 0)->text(), shown);
    if (!confirmed) {
        QCOMPARE(f.count(QStringLiteral("hyda")), 3);
        QCOMPARE(f.count(QStringLiteral("hyxc")), 3);
        return;
    }
    // The customer and all its tickets go; nobody else's.
    QCOMPARE(f.count(QStringLiteral("hyda where kh=") + sqlQuote(kh)), 0);
    QCOMPARE(f.count(QStringLiteral("hyxc where kh=") + sqlQuote(kh)), 0);
    QCOMPARE(f.count(QStringLiteral("hyda")), 2);
    QCOMPARE(f.count(QStringLiteral("hyxc")), 3 - tickets);
    QCOMPARE(box(w, 1)->text(), f.scalar(QStringLiteral("select xm from hyda where kh=") + sqlQuote(shown)).toString());
    QCOMPARE(shownTicketIds(w).join(QLatin1Char(',')),
             f.column(QStringLiteral("select id from hyxc where kh=") + sqlQuote(shown)).join(QLatin1Char(',')));
    const auto *grid = w.findChild<QTableView *>(QStringLiteral("Gridhyda"));
    QCOMPARE(grid->model()->rowCount(), 2);
    QCOMPARE(grid->model()->index(grid->currentIndex().row(), 1).data().toString(), shown);
}

void CustomerWindowTest::findCustomer_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown"); // card number shown after the search
    QTest::addColumn<bool>("found");
    QTest::newRow("name") << QStringLiteral("王五") << QStringLiteral("C003") << true;
    QTest::newRow("name before the current") << QStringLiteral("张三") << QStringLiteral("C001") << true;
    QTest::newRow("card number") << QStringLiteral("C001") << QStringLiteral("C001") << true;
    QTest::newRow("apostrophe") << QStringLiteral("O'Neil") << QStringLiteral("C004") << true;
    QTest::newRow("no match") << QStringLiteral("无此人") << QStringLiteral("C002") << false;
    QTest::newRow("quote alone") << QStringLiteral("'") << QStringLiteral("C002") << false;
}

void CustomerWindowTest::findCustomer()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, found);
    ArchiveFixture f;
    addCustomers(f);
    f.addCustomer(QStringLiteral("C004"), QStringLiteral("O'Neil"));
    FRMHYDA w(f.state);
    loaded(w);
    w.Cmdmove_Click(2);
    QCOMPARE(box(w, 0)->text(), QStringLiteral("C002"));
    auto *find = w.findChild<QLineEdit *>(QStringLiteral("Txtfind"));
    QVERIFY(find);
    find->setText(typed);
    press(w, QStringLiteral("find"));
    QCOMPARE(f.messages.texts(), found ? QStringList() : QStringList{QStringLiteral("未查到数据!")});
    QCOMPARE(box(w, 0)->text(), shown);
    QCOMPARE(shownTicketIds(w).join(QLatin1Char(',')),
             f.column(QStringLiteral("select id from hyxc where kh=") + sqlQuote(shown)).join(QLatin1Char(',')));
}

void CustomerWindowTest::helpNotOfferedWhileBrowsing()
{
    ArchiveFixture f;
    addCustomers(f);
    FRMHYDA w(f.state);
    loaded(w);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto *combo = w.findChild<QComboBox *>(QStringLiteral("combHelp_0"));
    auto *list = w.findChild<QListWidget *>(QStringLiteral("ListHELP_0"));
    // Entering the fields as the operator does, then asking outright.
    box(w, 3)->setFocus();
    QVERIFY(box(w, 3)->hasFocus());
    box(w, 13)->setFocus();
    QVERIFY(box(w, 13)->hasFocus());
    w.placeHelp(3);
    w.placeHelp(13);
    QVERIFY(combo->isHidden());
    QCOMPARE(combo->count(), 0);
    QVERIFY(list->isHidden());
    QCOMPARE(list->count(), 0);
    QVERIFY(w.findChild<QPushButton *>(QStringLiteral("CmdHELP_0"))->isHidden());
    w.close();
}

void CustomerWindowTest::sexDropDown()
{
    ArchiveFixture f;
    addCustomers(f);
    FRMHYDA w(f.state);
    loaded(w);
    press(w, QStringLiteral("edit"));
    auto *combo = w.findChild<QComboBox *>(QStringLiteral("combHelp_0"));
    w.placeHelp(3);
    QVERIFY(!combo->isHidden());
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("男"));
    QCOMPARE(combo->itemText(1), QStringLiteral("女"));
    // Nothing is chosen until the operator picks.
    w.combHelpChosen();
    QCOMPARE(box(w, 3)->text(), QStringLiteral("男"));

    combo->setCurrentIndex(1);
    w.combHelpChosen();
    QCOMPARE(box(w, 3)->text(), QStringLiteral("女"));
    press(w, QStringLiteral("save"));
    QCOMPARE(f.messages.count(), 0);
    QCOMPARE(f.scalar(QStringLiteral("select xb from hyda where kh='C001'")).toString(), QStringLiteral("女"));
    QVERIFY(combo->isHidden());
}

void CustomerWindowTest::airlineCheckList_data()
{
    QTest::addColumn<QList<int>>("checked");
    QTest::addColumn<QString>("expected"); // empty: the field keeps its value
    QTest::newRow("three airlines") << QList<int>{0, 2, 4} << QStringLiteral("国航 南航 厦航 ");
    QTest::newRow("one airline") << QList<int>{9} << QStringLiteral("国泰 ");
    QTest::newRow("none checked") << QList<int>{} << QString();
}

void CustomerWindowTest::airlineCheckList()
{
    QFETCH(QList<int>, checked);
    QFETCH(QString, expected);
    ArchiveFixture f;
    addCustomers(f);
    f.exec(QStringLiteral("update hyda set cyhk='东航 ' where kh='C001'"));
    FRMHYDA w(f.state);
    loaded(w);
    QCOMPARE(box(w, 13)->text(), QStringLiteral("东航 "));
    press(w, QStringLiteral("edit"));
    w.placeHelp(13);
    auto *list = w.findChild<QListWidget *>(QStringLiteral("ListHELP_0"));
    auto *button = w.findChild<QPushButton *>(QStringLiteral("CmdHELP_0"));
    QVERIFY(!button->isHidden());
    QVERIFY(w.findChild<QComboBox *>(QStringLiteral("combHelp_0"))->isHidden());
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    QCOMPARE(items, f.column(QStringLiteral("select sm from dict where class='航空公司' order by lx")));

    w.CmdHELP_Click();
    QVERIFY(!list->isHidden());
    QCOMPARE(box(w, 13)->text(), QStringLiteral("东航 "));
    for (int i : checked)
        list->item(i)->setCheckState(Qt::Checked);
    w.CmdHELP_Click();
    QVERIFY(list->isHidden());
    const QString result = expected.isEmpty() ? QStringLiteral("东航 ") : expected;
    QCOMPARE(box(w, 13)->text(), result);
    press(w, QStringLiteral("save"));
    QCOMPARE(f.messages.count(), 0);
    QCOMPARE(f.scalar(QStringLiteral("select cyhk from hyda where kh='C001'")).toString(), result);
}

void CustomerWindowTest::sexShorthandOnLeavingTheBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("2") << QStringLiteral("2") << QStringLiteral("女");
    QTest::newRow("1") << QStringLiteral("1") << QStringLiteral("男");
    QTest::newRow("other") << QStringLiteral("3") << QStringLiteral("3");
}

void CustomerWindowTest::sexShorthandOnLeavingTheBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    ArchiveFixture f;
    addCustomers(f);
    f.exec(QStringLiteral("update hyda set xb=null"));
    FRMHYDA w(f.state);
    loaded(w);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    press(w, QStringLiteral("edit"));
    QLineEdit *sex = box(w, 3);
    sex->setFocus();
    QVERIFY(sex->hasFocus());
    // Entering the box offered its drop-down.
    QVERIFY(!w.findChild<QComboBox *>(QStringLiteral("combHelp_0"))->isHidden());
    type(sex, typed);
    QCOMPARE(sex->text(), typed);
    box(w, 4)->setFocus();
    QVERIFY(box(w, 4)->hasFocus());
    QCOMPARE(sex->text(), kept);
    press(w, QStringLiteral("save"));
    QCOMPARE(f.messages.count(), 0);
    QCOMPARE(f.scalar(QStringLiteral("select xb from hyda where kh='C001'")).toString(), kept);
    w.close();
}

void CustomerWindowTest::ticketsLockedWhileAdding()
{
    // A customer being added owns no tickets yet: the area takes none and
    // shows none, even when the number typed is an existing customer's.
    ArchiveFixture f;
    addCustomers(f);
    MessageLog messages;
    FRMHYDA w(f.state);
    loaded(w);
    ItineraryArea *area = w.itinerary();
    press(w, QStringLiteral("new"));
    type(box(w, 0), QStringLiteral("C001"));
    QVERIFY(!area->isEnabled());
    QVERIFY(!area->model()->hasStoredRows());
    area->setEditMode();
    area->add_Click();
    QVERIFY(!area->runway_save(0));
    press(w, QStringLiteral("cancel"));
    QCOMPARE(f.count(QStringLiteral("hyxc")), 3);
    // Browsing again, the area follows the customer shown.
    QVERIFY(area->isEnabled());
    QCOMPARE(shownTicketIds(w).size(), f.count(QStringLiteral("hyxc where kh=") + sqlQuote(w.customerNumber())));
    QVERIFY(area->model()->hasStoredRows());
}

void CustomerWindowTest::closingMidEditAsks_data()
{
    QTest::addColumn<int>("answer"); // Msg::Answer
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("save") << int(Msg::Answer::Yes) << true << "改过";
    QTest::newRow("discard") << int(Msg::Answer::No) << true << "张三";
    QTest::newRow("go back") << int(Msg::Answer::Cancel) << false << "张三";
}

void CustomerWindowTest::closingMidEditAsks()
{
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(QString, stored);
    ArchiveFixture f;
    addCustomers(f);
    QList<Msg::Shown> asked;
    Msg::setHandler([&](const Msg::Shown &shown) {
        asked << shown;
        return Msg::Answer(answer);
    });
    {
        FRMHYDA w(f.state);
        loaded(w);
        w.show();
        press(w, QStringLiteral("edit"));
        type(box(w, 1), QStringLiteral("改过"));
        QCOMPARE(w.close(), closed);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().buttons, Msg::Buttons::YesNoCancel);
        QCOMPARE(w.mode() == FRMHYDA::Mode::Editing, !closed);
        if (!closed)
            QCOMPARE(box(w, 1)->text(), QStringLiteral("改过"));
    }
    Msg::setHandler({});
    QCOMPARE(f.scalar(QStringLiteral("select xm from hyda where kh='C001'")).toString(), stored);
}

QTEST_MAIN(CustomerWindowTest)
#include "tst_customerwindow.moc"
