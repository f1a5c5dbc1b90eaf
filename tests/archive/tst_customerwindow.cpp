// The customer window on a real database: its dictionary-driven slots and
// the Enter walk through them, moving, adding, editing (the field checks and
// the questions before a save), deleting and finding customers, the help of
// the fields, and what closing in the middle of an edit does.

#include "archive/frmhyda.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/windowload.h"

#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

const QString kWrongData = QStringLiteral("数据有误，请重新输入!-2147467259");

QLineEdit *slot(const FRMHYDA &w, int i) { return box(&w, QStringLiteral("txtspzd_%1").arg(i)); }
QPushButton *mover(const FRMHYDA &w, int i) { return child<QPushButton>(&w, QStringLiteral("Cmdmove_%1").arg(i)); }

QString today() { return QDate::currentDate().toString(Qt::ISODate); }

// The ids the itinerary grid shows, joined.
QString shownTickets(const FRMHYDA &w)
{
    QStringList ids;
    for (int r = 0; r < w.itinerary()->model()->rowCount(); ++r)
        ids << w.itinerary()->model()->cell(r, 0);
    return ids.join(QLatin1Char(','));
}

// C001 and C002 share an identity number (written differently) and have
// tickets; C003 has none.
struct Customers : AppFixture
{
    Customers()
    {
        exec("insert into hyda(kh, xm, xb, sfzh, sj) values('C001', '张三', '男', '11010519491231002X', '13900000001'),"
             "('C002', '李四', '女', ' 11010519491231002x', '13900000002'), ('C003', '王五', '男', null, null)");
        addTicket("C001");
        addTicket("C001", {{"daoda", "广州"}});
        addTicket("C002");
    }
    QString ticketsOf(const QString &kh) { return column("select id from hyxc where kh=? order by id", {kh}).join(','); }
};

} // namespace

class CustomerWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void slotsFollowTheDictionary_data();
    void slotsFollowTheDictionary();
    void navigationStopsAtTheEnds();
    void save_data();
    void save();
    void refusedSaveKeepsWhatWasTyped();
    void deleteCustomer_data();
    void deleteCustomer();
    void find_data();
    void find();
    void findByPinyinGoesRoundAndFollowsWrites();
    void pickLists_data();
    void pickLists();
    void ticketsLockedWhileAdding();
    void closingMidEditAsks_data();
    void closingMidEditAsks();
};

void CustomerWindowTest::slotsFollowTheDictionary_data()
{
    QTest::addColumn<int>("rows"); // dictionary rows of hyda
    QTest::newRow("three") << 3;
    QTest::newRow("twenty, as delivered") << 20;
    QTest::newRow("twenty-one: the slots end at twenty") << 21;
}

void CustomerWindowTest::slotsFollowTheDictionary()
{
    QFETCH(int, rows);
    Customers f;
    f.exec("delete from dh_codedict where table_code='hyda' and xh>=?", {rows});
    if (rows > 20)
        f.exec("insert into dh_codedict(table_code, xh, colm_code, colm_name, colm_type, colm_cd, nullbj, can_show) "
               "values('hyda', 20, 'hyzt', '多余', 'CHAR', 4, '0', '1')");
    const QStringList captions = f.column("select colm_name from dh_codedict where table_code='hyda' order by xh");
    const int shown = std::min(rows, 20);
    FRMHYDA w(f.state);
    loaded(w);
    QCOMPARE(w.slotCount(), shown);
    auto *grid = child<QTableView>(&w, "Gridhyda");
    QVERIFY(grid->isColumnHidden(0));
    QCOMPARE(grid->model()->rowCount(), 3);
    for (int i = 0; i < FRMHYDA::kSlots; ++i) {
        auto *label = child<QLabel>(&w, QStringLiteral("Labspzd_%1").arg(i));
        QCOMPARE(slot(w, i)->isHidden(), i >= shown);
        QCOMPARE(label->isHidden(), i >= shown);
        if (i < shown) {
            QCOMPARE(label->text(), captions.at(i));
            QCOMPARE(grid->model()->headerData(i + 1, Qt::Horizontal).toString(), captions.at(i));
        }
    }
    QCOMPARE(slot(w, 1)->text(), QStringLiteral("张三"));

    // Enter goes on to the next shown box, from the last back to the first.
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    for (int i = 0; i < shown; ++i) {
        slot(w, i)->setFocus();
        QTest::keyClick(slot(w, i), Qt::Key_Return);
        QVERIFY2(slot(w, (i + 1) % shown)->hasFocus(), qPrintable(QString::number(i)));
    }
}

void CustomerWindowTest::navigationStopsAtTheEnds()
{
    Customers f;
    FRMHYDA w(f.state);
    loaded(w);
    // Each step: the button, the customer then shown, which of first/previous/next/last are usable.
    const QList<std::tuple<int, QString, QString>> steps = {{1, "C001", "0011"}, {2, "C002", "1111"},
                                                            {3, "C003", "1100"}, {2, "C003", "1100"},
                                                            {1, "C002", "1111"}, {0, "C001", "0011"}};
    for (const auto &[button, card, usable] : steps) {
        // A button at its end is disabled; the command behind it must hold there too.
        if (mover(w, button)->isEnabled())
            mover(w, button)->click();
        else
            w.Cmdmove_Click(button);
        QString states;
        for (int i = 0; i < 4; ++i)
            states += mover(w, i)->isEnabled() ? '1' : '0';
        QCOMPARE(w.customerNumber(), card);
        QCOMPARE(states, usable);
        QCOMPARE(slot(w, 1)->text(), f.scalar("select xm from hyda where kh=?", {card}).toString());
        // The tickets follow the customer; none is one blank row.
        QCOMPARE(shownTickets(w), f.ticketsOf(card));
    }
    QCOMPARE(f.messages.count(), 0);
}

void CustomerWindowTest::save_data()
{
    QTest::addColumn<QString>("card"); // empty: edit C001 instead of adding
    QTest::addColumn<QStringList>("typed"); // slots 1 (name), 2 (identity number), 3 (sex), 5 (mobile); null: untouched
    QTest::addColumn<bool>("goOn");         // the answer to a question
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("stored"); // birth date, sex, name and mobile of the card; empty: not saved

    const QString again = QStringLiteral("\n仍要保存吗？");
    const QString wrongCheck = "证件号码“440305199001011257”的校验位不对（按前17位应为 6），请核对。" + again;
    const QString sameNumber = QStringLiteral("证件号码相同的客户已有档案，卡号：C001、C002");
    const QString sameName = QStringLiteral("姓名和手机都相同的客户已有档案，卡号：C001");
    const QString name20 = QString(20, QChar(0x540D));
    QTest::newRow("plain") << "N1" << QStringList{"赵六", "", "", "13800000000"} << true << QStringList()
                           << "||赵六|13800000000";
    QTest::newRow("no name") << "N1" << QStringList{"", "", "", ""} << true << QStringList{"姓名 数据不能为空!"} << "";
    QTest::newRow("name at its 20 characters") << "N1" << QStringList{name20, "", "", ""} << true << QStringList()
                                               << "||" + name20 + "|";
    QTest::newRow("name one over") << "N1" << QStringList{name20 + "名", "", "", ""} << true
                                   << QStringList{"姓名 输入数据超长!"} << "";
    QTest::newRow("sex over its 2 characters, after a good name") << "N1" << QStringList{"赵六", "", "男性别", ""}
                                                                  << true << QStringList{"性别 输入数据超长!"} << "";
    QTest::newRow("valid number fills birth and sex") << "N1" << QStringList{"孙丽", "440305199001011256", "", ""}
                                                      << true << QStringList() << "1990-01-01|男|孙丽|";
    QTest::newRow("sex typed is kept") << "N1" << QStringList{"孙丽", "440305199001011256", "女", ""} << true
                                       << QStringList() << "1990-01-01|女|孙丽|";
    QTest::newRow("15 digits fill too") << "N1" << QStringList{"孙丽", "110105491231002", "", ""} << true
                                        << QStringList() << "1949-12-31|女|孙丽|";
    QTest::newRow("passport") << "N1" << QStringList{"孙丽", "E12345678", "", ""} << true << QStringList()
                              << "||孙丽|";
    QTest::newRow("wrong check, go back") << "N1" << QStringList{"孙丽", "440305199001011257", "", ""} << false
                                          << QStringList{wrongCheck} << "";
    QTest::newRow("wrong check, save, fills nothing") << "N1" << QStringList{"孙丽", "440305199001011257", "", ""}
                                                      << true << QStringList{wrongCheck} << "||孙丽|";
    QTest::newRow("impossible date, save") << "N1" << QStringList{"孙丽", "320102199902300015", "", ""} << true
                                           << QStringList{"证件号码“320102199902300015”中的出生日期不存在，请核对。" + again}
                                           << "||孙丽|";
    QTest::newRow("same number, go back") << "N1" << QStringList{"孙丽", "11010519491231002x", "", ""} << false
                                          << QStringList{sameNumber + again} << "";
    QTest::newRow("same name and mobile, save") << "N1" << QStringList{"张三", "", "", " 13900000001"} << true
                                                << QStringList{sameName + again} << "||张三| 13900000001";
    QTest::newRow("both, save") << "N1" << QStringList{"张三", "11010519491231002X", "", "13900000001"} << true
                                << QStringList{sameNumber + "\n" + sameName + again} << "1949-12-31|女|张三|13900000001";
    QTest::newRow("same name, other mobile") << "N1" << QStringList{"张三", "", "", "13900000009"} << true
                                             << QStringList() << "||张三|13900000009";
    QTest::newRow("edit: an own duplicate is not asked about") << "" << QStringList{"张三三", {}, {}, {}} << false
                                                                << QStringList() << "1949-12-31|男|张三三|13900000001";
    QTest::newRow("edit: refused") << "" << QStringList{"", {}, {}, {}} << false
                                   << QStringList{"姓名 数据不能为空!"} << "|男|张三|13900000001";
}

void CustomerWindowTest::save()
{
    QFETCH(QString, card);
    QFETCH(QStringList, typed);
    QFETCH(bool, goOn);
    QFETCH(QStringList, shown);
    QFETCH(QString, stored);
    Customers f;
    FRMHYDA w(f.state);
    loaded(w);
    const bool adding = !card.isEmpty();
    if (adding)
        w.Cmdmove_Click(2);
    const QString before = w.customerNumber();
    const QStringList others = f.column("select xm from hyda where kh<>? order by id", {adding ? card : before});
    const QString day = today();
    press(&w, adding ? "new" : "edit");
    QCOMPARE(w.mode(), adding ? FRMHYDA::Mode::Adding : FRMHYDA::Mode::Editing);
    // Who registered the customer is never typed, nor the card number of a stored one.
    for (int i = 0; i < FRMHYDA::kSlots; ++i)
        QCOMPARE(slot(w, i)->isReadOnly(), i == 19 || (!adding && i == 0));
    if (adding) {
        QCOMPARE(slot(w, 19)->text(), kOperator);
        paste(slot(w, 0), card);
    } else {
        card = before;
    }
    const QList<int> boxes = {1, 2, 3, 5};
    for (int i = 0; i < boxes.size(); ++i)
        if (!typed.at(i).isNull())
            paste(slot(w, boxes.at(i)), typed.at(i));
    f.messages.answer = goOn ? Msg::Answer::Yes : Msg::Answer::No;
    press(&w, "save");

    QCOMPARE(f.messages.texts().join("\n"), shown.join("\n"));
    const QString row = f.scalar("select ifnull(csrq,'')||'|'||ifnull(xb,'')||'|'||xm||'|'||ifnull(sj,'') from hyda "
                                 "where kh=?", {card}).toString();
    QCOMPARE(row, stored);
    const bool saved = adding ? !stored.isEmpty() : shown.isEmpty();
    QCOMPARE(w.mode() == FRMHYDA::Mode::Browsing, saved);
    if (saved) {
        QCOMPARE(w.customerNumber(), card);
        QVERIFY(slot(w, 1)->isReadOnly());
        if (adding) {
            // Who and when registered the customer, without being typed.
            const QString registered = f.scalar("select djr||' '||substr(djrc,1,10) from hyda where kh=?", {card}).toString();
            QVERIFY2(registered == kOperator + ' ' + day || registered == kOperator + ' ' + today(), qPrintable(registered));
        }
        QCOMPARE(f.column("select xm from hyda where kh<>? order by id", {card}), others);
        return;
    }
    // Refused: the window stays in the edit as typed; cancel goes back to the customer shown before.
    QCOMPARE(slot(w, 1)->text(), typed.first());
    press(&w, "cancel");
    QCOMPARE(w.mode(), FRMHYDA::Mode::Browsing);
    QCOMPARE(w.customerNumber(), before);
    QCOMPARE(slot(w, 1)->text(), f.scalar("select xm from hyda where kh=?", {before}).toString());
    QCOMPARE(shownTickets(w), f.ticketsOf(before));
    QCOMPARE(f.count("hyda"), 3);
}

void CustomerWindowTest::refusedSaveKeepsWhatWasTyped()
{
    // A card number already taken: the database refuses, the record stays as typed, and once corrected it saves.
    Customers f;
    FRMHYDA w(f.state);
    loaded(w);
    press(&w, "new");
    paste(slot(w, 0), "C002");
    paste(slot(w, 1), "孙七");
    press(&w, "save");
    QCOMPARE(f.messages.count(), 1);
    QVERIFY2(f.messages.text().startsWith(kWrongData), qPrintable(f.messages.text()));
    QCOMPARE(w.mode(), FRMHYDA::Mode::Adding);
    QCOMPARE(slot(w, 1)->text(), QStringLiteral("孙七"));
    QCOMPARE(f.scalar("select xm from hyda where kh='C002'").toString(), QStringLiteral("李四"));
    paste(slot(w, 0), "C009");
    press(&w, "save");
    QCOMPARE(f.messages.count(), 1);
    QCOMPARE(f.scalar("select xm||djr from hyda where kh='C009'").toString(), "孙七" + kOperator);
}

void CustomerWindowTest::deleteCustomer_data()
{
    QTest::addColumn<int>("steps"); // moves to the next customer before deleting
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("shown"); // card number shown afterwards
    QTest::newRow("cancelled") << 0 << false << "C001";
    QTest::newRow("first") << 0 << true << "C002";
    QTest::newRow("middle") << 1 << true << "C003";
    QTest::newRow("last") << 2 << true << "C002";
}

void CustomerWindowTest::deleteCustomer()
{
    QFETCH(int, steps);
    QFETCH(bool, confirmed);
    QFETCH(QString, shown);
    Customers f;
    FRMHYDA w(f.state);
    loaded(w);
    for (int i = 0; i < steps; ++i)
        w.Cmdmove_Click(2);
    const QString kh = w.customerNumber();
    const QString others = f.column("select id from hyxc where kh<>? order by id", {kh}).join(',');
    f.messages.answer = confirmed ? Msg::Answer::Ok : Msg::Answer::Cancel;
    press(&w, "delete");
    QCOMPARE(f.messages.texts(), QStringList{"确认删除当前记录"});
    QCOMPARE(f.messages.icon(), Msg::Icon::Exclamation);
    QCOMPARE(w.customerNumber(), shown);
    QCOMPARE(f.count("hyda"), confirmed ? 2 : 3);
    // The customer and all its tickets go; nobody else's.
    QCOMPARE(f.count("hyxc where kh=?", {kh}), confirmed ? 0 : f.ticketsOf(kh).split(',', Qt::SkipEmptyParts).size());
    QCOMPARE(f.column("select id from hyxc where kh<>? order by id", {kh}).join(','), others);
    QCOMPARE(slot(w, 1)->text(), f.scalar("select xm from hyda where kh=?", {shown}).toString());
    QCOMPARE(shownTickets(w), f.ticketsOf(shown));
    const auto *grid = child<QTableView>(&w, "Gridhyda");
    QCOMPARE(grid->model()->index(grid->currentIndex().row(), 1).data().toString(), shown);
}

void CustomerWindowTest::find_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown"); // card number shown after the search, from C002
    QTest::newRow("name") << "王五" << "C003";
    QTest::newRow("name before the current") << "张三" << "C001";
    QTest::newRow("card number") << "C001" << "C001";
    QTest::newRow("a name is tried before a card number") << "C003" << "C004";
    QTest::newRow("apostrophe") << "O'Neil" << "C005";
    QTest::newRow("no match") << "无此人" << "";
    QTest::newRow("quote alone") << "'" << "";
}

void CustomerWindowTest::find()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Customers f;
    f.addCustomer("C004", "C003");
    f.addCustomer("C005", "O'Neil");
    FRMHYDA w(f.state);
    loaded(w);
    w.Cmdmove_Click(2);
    paste(box(&w, "Txtfind"), typed);
    press(&w, "find");
    QCOMPARE(f.messages.texts(), shown.isEmpty() ? QStringList{"未查到数据!"} : QStringList());
    if (shown.isEmpty())
        shown = QStringLiteral("C002");
    QCOMPARE(w.customerNumber(), shown);
    QCOMPARE(shownTickets(w), f.ticketsOf(shown));
}

void CustomerWindowTest::findByPinyinGoesRoundAndFollowsWrites()
{
    AppFixture f;
    for (const auto &[kh, xm] : QList<QPair<QString, QString>>{{"C1", "张伟"}, {"C2", "李娜"}, {"C3", "赵薇"}, {"zhw", "王芳"}})
        f.addCustomer(kh, xm);
    FRMHYDA w(f.state);
    loaded(w);
    const auto find = [&w](const QString &text) {
        paste(box(&w, "Txtfind"), text);
        press(&w, "find");
        return w.customerNumber();
    };
    // A card number typed as letters comes first; then names by pinyin, on from the one found.
    for (const auto &[typed, card] : QList<QPair<QString, QString>>{
             {"zhw", "zhw"}, {"wf", "zhw"}, {"zw", "C1"}, {"zw", "C3"}, {"zw", "C1"}, {"李娜", "C2"}})
        QCOMPARE(find(typed), card);
    // Names written, added and deleted through the window are found as they now are.
    press(&w, "edit");
    paste(slot(w, 1), "周文");
    press(&w, "save");
    press(&w, "new");
    paste(slot(w, 0), "C5");
    paste(slot(w, 1), "郑文");
    press(&w, "save");
    for (const QString card : {"C1", "C2", "C3", "C5"})
        QCOMPARE(find("zw"), card);
    QCOMPARE(f.messages.count(), 0);
    press(&w, "delete");
    QCOMPARE(find("zhengwen"), QStringLiteral("zhw"));
    QCOMPARE(f.messages.last(), QStringLiteral("未查到数据!"));
}

void CustomerWindowTest::pickLists_data()
{
    QTest::addColumn<int>("slotNo");
    QTest::addColumn<QString>("how"); // pick N from the drop-down, tick items of the check list, or type and leave
    QTest::addColumn<QString>("stored");
    QTest::newRow("sex: the first") << 3 << "pick 0" << "男";
    QTest::newRow("sex: the second") << 3 << "pick 1" << "女";
    QTest::newRow("sex: 2 stands for 女") << 3 << "type 2" << "女";
    QTest::newRow("sex: 1 stands for 男") << 3 << "type 1" << "男";
    QTest::newRow("sex: anything else stays") << 3 << "type 3" << "3";
    QTest::newRow("airlines: three") << 13 << "tick 0 2 4" << "国航 南航 厦航 ";
    QTest::newRow("airlines: the last") << 13 << "tick 9" << "国泰 ";
    QTest::newRow("airlines: none keeps the field") << 13 << "tick" << "东航 ";
}

void CustomerWindowTest::pickLists()
{
    QFETCH(int, slotNo);
    QFETCH(QString, how);
    QFETCH(QString, stored);
    Customers f;
    f.exec("update hyda set xb=null, cyhk='东航 ' where kh='C001'");
    FRMHYDA w(f.state);
    loaded(w);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto *combo = child<QComboBox>(&w, "combHelp_0");
    auto *list = child<QListWidget>(&w, "ListHELP_0");
    auto *listButton = child<QPushButton>(&w, "CmdHELP_0");
    // Browsing offers no help: no field changes there.
    slot(w, slotNo)->setFocus();
    QVERIFY(combo->isHidden() && listButton->isHidden() && list->count() == 0);

    press(&w, "edit");
    slot(w, slotNo)->setFocus();
    QVERIFY(slot(w, slotNo)->hasFocus());
    const QStringList words = how.split(' ');
    if (slotNo == 3) {
        QVERIFY(!combo->isHidden() && listButton->isHidden());
        QCOMPARE(combo->count(), 2);
        if (words.first() == "type") {
            paste(slot(w, 3), words.at(1));
            slot(w, 4)->setFocus(); // leaving the box
        } else {
            combo->setCurrentIndex(words.at(1).toInt());
            w.combHelpChosen();
        }
    } else {
        QVERIFY(combo->isHidden() && !listButton->isHidden());
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        QCOMPARE(items, f.column("select sm from dict where class='航空公司' order by lx"));
        w.CmdHELP_Click();
        QVERIFY(!list->isHidden());
        for (const QString &item : words.mid(1))
            list->item(item.toInt())->setCheckState(Qt::Checked);
        w.CmdHELP_Click();
        QVERIFY(list->isHidden());
    }
    QCOMPARE(slot(w, slotNo)->text(), stored);
    press(&w, "save");
    QCOMPARE(f.messages.count(), 0);
    QCOMPARE(f.scalar(QStringLiteral("select %1 from hyda where kh='C001'").arg(slotNo == 3 ? "xb" : "cyhk")).toString(),
             stored);
    QVERIFY(combo->isHidden() && listButton->isHidden());
}

void CustomerWindowTest::ticketsLockedWhileAdding()
{
    // A customer being added owns no tickets yet, even when the number typed is an existing customer's.
    Customers f;
    FRMHYDA w(f.state);
    loaded(w);
    ItineraryArea *area = w.itinerary();
    press(&w, "new");
    paste(slot(w, 0), "C001");
    QVERIFY(!area->isEnabled());
    QVERIFY(!area->model()->hasStoredRows());
    area->setEditMode();
    area->add_Click();
    QVERIFY(!area->runway_save(0));
    press(&w, "cancel");
    QCOMPARE(f.count("hyxc"), 3);
    QVERIFY(area->isEnabled());
    QCOMPARE(shownTickets(w), f.ticketsOf("C001"));
}

void CustomerWindowTest::closingMidEditAsks_data()
{
    QTest::addColumn<int>("answer"); // Msg::Answer to "save?"
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
    Customers f;
    f.messages.answer = Msg::Answer(answer);
    {
        FRMHYDA w(f.state);
        loaded(w);
        w.show();
        press(&w, "edit");
        paste(slot(w, 1), "改过");
        QCOMPARE(w.close(), closed);
        QCOMPARE(f.messages.count(), 1);
        QCOMPARE(f.messages.shown().first().buttons, Msg::Buttons::YesNoCancel);
        QCOMPARE(w.mode() == FRMHYDA::Mode::Editing, !closed);
        if (!closed)
            QCOMPARE(slot(w, 1)->text(), QStringLiteral("改过"));
    }
    QCOMPARE(f.scalar("select xm from hyda where kh='C001'").toString(), stored);
}

QTEST_MAIN(CustomerWindowTest)
#include "tst_customerwindow.moc"
