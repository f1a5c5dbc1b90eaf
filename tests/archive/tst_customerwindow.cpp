// The customer window on a real database: its dictionary-driven slots and
// the Enter walk through them, adding, editing (the field checks and
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
#include <QTest>

namespace {

QLineEdit *slot(const FRMHYDA &w, int i) { return box(&w, QStringLiteral("txtspzd_%1").arg(i)); }

QString today() { return QDate::currentDate().toString(Qt::ISODate); }

// C001 and C002 share an identity number (written differently) and have
// tickets; C003 has none. The window shows C001.
struct Customers : AppFixture
{
    Customers() : w(state)
    {
        exec("insert into hyda(kh, xm, xb, sfzh, sj) values('C001', '张三', '男', '11010519491231002X', '13900000001'),"
             "('C002', '李四', '女', ' 11010519491231002x', '13900000002'), ('C003', '王五', '男', null, null)");
        addTicket("C001");
        addTicket("C001", {{"daoda", "广州"}});
        addTicket("C002");
    }
    // The customer shown, its name and the ids of the tickets the grid shows, checked against the archive.
    void shows(const QString &kh)
    {
        QCOMPARE(w.customerNumber(), kh);
        QCOMPARE(slot(w, 1)->text(), scalar("select xm from hyda where kh=?", {kh}).toString());
        QStringList ids;
        for (int r = 0; r < w.itinerary()->model()->rowCount(); ++r)
            ids << w.itinerary()->model()->cell(r, 0);
        QCOMPARE(ids.join(','), column("select id from hyxc where kh=? order by id", {kh}).join(','));
    }
    void activate()
    {
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    FRMHYDA w;
};

} // namespace

class CustomerWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void slotsFollowTheDictionary_data();
    void slotsFollowTheDictionary();
    void save_data();
    void save();
    void refusedSaveKeepsWhatWasTyped();
    void deleteCustomer_data();
    void deleteCustomer();
    void find();
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
    loaded(f.w);
    QCOMPARE(f.w.slotCount(), shown);
    for (int i = 0; i < FRMHYDA::kSlots; ++i) {
        auto *label = child<QLabel>(&f.w, QStringLiteral("Labspzd_%1").arg(i));
        QCOMPARE(slot(f.w, i)->isHidden() && label->isHidden(), i >= shown);
        if (i < shown)
            QCOMPARE(label->text(), captions.at(i));
    }
    QCOMPARE(slot(f.w, 1)->text(), QStringLiteral("张三"));
    // Enter goes on to the next shown box, from the last back to the first.
    f.activate();
    for (int i = 0; i < shown; ++i) {
        slot(f.w, i)->setFocus();
        QTest::keyClick(slot(f.w, i), Qt::Key_Return);
        QVERIFY2(slot(f.w, (i + 1) % shown)->hasFocus(), qPrintable(QString::number(i)));
    }
}

void CustomerWindowTest::save_data()
{
    QTest::addColumn<bool>("adding");       // a new customer N1, or an edit of C001
    QTest::addColumn<QStringList>("typed"); // slots 1 (name), 2 (identity number), 5 (mobile); null: untouched
    QTest::addColumn<bool>("goOn");         // the answer to a question
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("stored"); // birth date, sex, name and mobile of the card; empty: not saved
    const QString again = QStringLiteral("\n仍要保存吗？");
    const QString name20 = QString(20, QChar(0x540D));
    QTest::newRow("plain") << true << QStringList{"赵六", "", "13800000000"} << true << QStringList()
                           << "||赵六|13800000000";
    QTest::newRow("no name") << true << QStringList{"", "", ""} << true << QStringList{"姓名 数据不能为空!"} << "";
    QTest::newRow("name at its 20 characters") << true << QStringList{name20, "", ""} << true << QStringList()
                                               << "||" + name20 + "|";
    QTest::newRow("name one over") << true << QStringList{name20 + "名", "", ""} << true
                                   << QStringList{"姓名 输入数据超长!"} << "";
    QTest::newRow("valid number fills birth and sex") << true << QStringList{"孙丽", "440305199001011256", ""} << true
                                                      << QStringList() << "1990-01-01|男|孙丽|";
    QTest::newRow("wrong check, save, fills nothing")
        << true << QStringList{"孙丽", "440305199001011257", ""} << true
        << QStringList{"证件号码“440305199001011257”的校验位不对（按前17位应为 6），请核对。" + again} << "||孙丽|";
    QTest::newRow("same number, go back") << true << QStringList{"孙丽", "11010519491231002x", ""} << false
                                          << QStringList{"证件号码相同的客户已有档案，卡号：C001、C002" + again} << "";
    QTest::newRow("same name and mobile, save") << true << QStringList{"张三", "", " 13900000001"} << true
                                                << QStringList{"姓名和手机都相同的客户已有档案，卡号：C001" + again}
                                                << "||张三| 13900000001";
    QTest::newRow("edit: an own duplicate is not asked about") << false << QStringList{"张三三", {}, {}} << false
                                                                << QStringList() << "1949-12-31|男|张三三|13900000001";
    QTest::newRow("edit: refused") << false << QStringList{"", {}, {}} << false << QStringList{"姓名 数据不能为空!"}
                                   << "|男|张三|13900000001";
}

void CustomerWindowTest::save()
{
    QFETCH(bool, adding);
    QFETCH(QStringList, typed);
    QFETCH(bool, goOn);
    QFETCH(QStringList, shown);
    QFETCH(QString, stored);
    Customers f;
    loaded(f.w);
    if (adding)
        f.w.Cmdmove_Click(2);
    const QString before = f.w.customerNumber();
    const QString card = adding ? QStringLiteral("N1") : before;
    const QStringList others = f.column("select xm from hyda where kh<>? order by id", {card});
    const QString day = today();
    press(&f.w, adding ? "new" : "edit");
    // Who registered the customer is never typed, nor the card number of a stored one.
    for (int i = 0; i < FRMHYDA::kSlots; ++i)
        QCOMPARE(slot(f.w, i)->isReadOnly(), i == 19 || (!adding && i == 0));
    if (adding)
        paste(slot(f.w, 0), card);
    for (int i = 0; i < 3; ++i)
        if (!typed.at(i).isNull())
            paste(slot(f.w, QList<int>{1, 2, 5}.at(i)), typed.at(i));
    f.messages.answer = goOn ? Msg::Answer::Yes : Msg::Answer::No;
    press(&f.w, "save");

    QCOMPARE(f.messages.texts().join("\n"), shown.join("\n"));
    QCOMPARE(f.scalar("select ifnull(csrq,'')||'|'||ifnull(xb,'')||'|'||xm||'|'||ifnull(sj,'') from hyda where kh=?", {card})
                 .toString(),
             stored);
    const bool saved = adding ? !stored.isEmpty() : shown.isEmpty();
    QCOMPARE(f.w.mode() == FRMHYDA::Mode::Browsing, saved);
    QCOMPARE(f.column("select xm from hyda where kh<>? order by id", {card}), others);
    if (saved) {
        f.shows(card);
        // Who and when registered the customer, without being typed.
        const QString registered = f.scalar("select djr||' '||substr(djrc,1,10) from hyda where kh=?", {card}).toString();
        QVERIFY2(!adding || registered == kOperator + ' ' + day || registered == kOperator + ' ' + today(),
                 qPrintable(registered));
        return;
    }
    // Refused: the window stays in the edit as typed; cancel goes back to the customer shown before.
    QCOMPARE(slot(f.w, 1)->text(), typed.first());
    press(&f.w, "cancel");
    QCOMPARE(f.w.mode(), FRMHYDA::Mode::Browsing);
    f.shows(before);
}

void CustomerWindowTest::refusedSaveKeepsWhatWasTyped()
{
    // A card number already taken: the database refuses, the record stays as typed, and once corrected it saves.
    Customers f;
    loaded(f.w);
    press(&f.w, "new");
    paste(slot(f.w, 0), "C002");
    paste(slot(f.w, 1), "孙七");
    press(&f.w, "save");
    QCOMPARE(f.messages.count(), 1);
    QVERIFY2(f.messages.text().startsWith("数据有误，请重新输入!-2147467259"), qPrintable(f.messages.text()));
    QCOMPARE(f.w.mode(), FRMHYDA::Mode::Adding);
    QCOMPARE(slot(f.w, 1)->text(), QStringLiteral("孙七"));
    QCOMPARE(f.scalar("select xm from hyda where kh='C002'").toString(), QStringLiteral("李四"));
    paste(slot(f.w, 0), "C009");
    press(&f.w, "save");
    QCOMPARE(f.messages.count(), 1);
    QCOMPARE(f.scalar("select xm||djr from hyda where kh='C009'").toString(), "孙七" + kOperator);
}

void CustomerWindowTest::deleteCustomer_data()
{
    QTest::addColumn<int>("steps"); // moves to the next customer before deleting
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("shown"); // card number shown afterwards
    QTest::newRow("cancelled") << 0 << false << "C001";
    QTest::newRow("middle") << 1 << true << "C003";
    QTest::newRow("last, after a move past the end") << 3 << true << "C002";
}

void CustomerWindowTest::deleteCustomer()
{
    QFETCH(int, steps);
    QFETCH(bool, confirmed);
    QFETCH(QString, shown);
    Customers f;
    loaded(f.w);
    for (int i = 0; i < steps; ++i)
        f.w.Cmdmove_Click(2);
    const QString kh = f.w.customerNumber();
    const QString others = f.column("select id from hyxc where kh<>? order by id", {kh}).join(',');
    const int own = f.count("hyxc where kh=?", {kh});
    f.messages.answer = confirmed ? Msg::Answer::Ok : Msg::Answer::Cancel;
    press(&f.w, "delete");
    QCOMPARE(f.messages.texts(), QStringList{"确认删除当前记录"});
    QCOMPARE(f.count("hyda"), confirmed ? 2 : 3);
    // The customer and all its tickets go; nobody else's.
    QCOMPARE(f.count("hyxc where kh=?", {kh}), confirmed ? 0 : own);
    QCOMPARE(f.column("select id from hyxc where kh<>? order by id", {kh}).join(','), others);
    f.shows(shown);
}

void CustomerWindowTest::find()
{
    Customers f;
    for (const auto &[kh, xm] : QList<QPair<QString, QString>>{{"C004", "C003"}, {"C005", "O'Neil"}, {"C6", "张伟"}, {"C7", "赵薇"}, {"zhw", "王芳"}})
        f.addCustomer(kh, xm);
    loaded(f.w);
    const auto find = [&f](const QString &text) {
        paste(box(&f.w, "Txtfind"), text);
        press(&f.w, "find");
        return f.w.customerNumber();
    };
    // Names come before card numbers; a card number typed as letters before pinyin; then names by pinyin, on
    // from the one found and round again; nothing found leaves the customer shown.
    const QList<QPair<QString, QString>> searches = {{"王五", "C003"}, {"C003", "C004"}, {"O'Neil", "C005"},
                                                     {"zhw", "zhw"},   {"wf", "zhw"},    {"zw", "C6"},
                                                     {"zw", "C7"},     {"zw", "C6"},     {"无此人", "C6"}};
    for (const auto &[typed, card] : searches)
        QCOMPARE(find(typed), card);
    QCOMPARE(f.messages.texts(), QStringList{"未查到数据!"});
    f.shows("C6");
    // Names written through the window are found as they now are.
    f.w.Cmdmove_Click(0);
    press(&f.w, "edit");
    paste(slot(f.w, 1), "郑伟");
    press(&f.w, "save");
    QCOMPARE(find("zhengwei"), QStringLiteral("C001"));
    press(&f.w, "delete");
    QCOMPARE(find("zhengwei"), QStringLiteral("C002"));
    QCOMPARE(f.messages.last(), QStringLiteral("未查到数据!"));
}

void CustomerWindowTest::pickLists_data()
{
    QTest::addColumn<int>("slotNo");
    QTest::addColumn<QString>("how"); // pick N from the drop-down, tick items of the check list, or type and leave
    QTest::addColumn<QString>("stored");
    QTest::newRow("sex: the second") << 3 << "pick 1" << "女";
    QTest::newRow("sex: 2 stands for 女") << 3 << "type 2" << "女";
    QTest::newRow("sex: anything else stays") << 3 << "type 3" << "3";
    QTest::newRow("airlines: three") << 13 << "tick 0 2 4" << "国航 南航 厦航 ";
    QTest::newRow("airlines: none keeps the field") << 13 << "tick" << "东航 ";
}

void CustomerWindowTest::pickLists()
{
    QFETCH(int, slotNo);
    QFETCH(QString, how);
    QFETCH(QString, stored);
    Customers f;
    f.exec("update hyda set xb=null, cyhk='东航 ' where kh='C001'");
    loaded(f.w);
    f.activate();
    auto *combo = child<QComboBox>(&f.w, "combHelp_0");
    auto *list = child<QListWidget>(&f.w, "ListHELP_0");
    auto *listButton = child<QPushButton>(&f.w, "CmdHELP_0");
    // Browsing offers no help: no field changes there.
    slot(f.w, slotNo)->setFocus();
    QVERIFY(combo->isHidden() && listButton->isHidden());
    press(&f.w, "edit");
    slot(f.w, slotNo)->setFocus();
    const QStringList words = how.split(' ');
    if (words.first() == "type") {
        paste(slot(f.w, 3), words.at(1));
        slot(f.w, 4)->setFocus(); // leaving the box
    } else if (words.first() == "pick") {
        QVERIFY(!combo->isHidden() && listButton->isHidden());
        combo->setCurrentIndex(words.at(1).toInt());
        f.w.combHelpChosen();
    } else {
        QVERIFY(combo->isHidden() && !listButton->isHidden());
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        QCOMPARE(items, f.column("select sm from dict where class='航空公司' order by lx"));
        f.w.CmdHELP_Click();
        for (const QString &item : words.mid(1))
            list->item(item.toInt())->setCheckState(Qt::Checked);
        f.w.CmdHELP_Click();
        QVERIFY(list->isHidden());
    }
    QCOMPARE(slot(f.w, slotNo)->text(), stored);
    press(&f.w, "save");
    QCOMPARE(f.messages.count(), 0);
    QCOMPARE(f.scalar(QStringLiteral("select %1 from hyda where kh='C001'").arg(slotNo == 3 ? "xb" : "cyhk")).toString(),
             stored);
}

void CustomerWindowTest::ticketsLockedWhileAdding()
{
    // A customer being added owns no tickets yet, even when the number typed is an existing customer's.
    Customers f;
    loaded(f.w);
    ItineraryArea *area = f.w.itinerary();
    press(&f.w, "new");
    paste(slot(f.w, 0), "C001");
    QVERIFY(!area->isEnabled());
    QVERIFY(!area->model()->hasStoredRows());
    area->setEditMode();
    area->add_Click();
    QVERIFY(!area->runway_save(0));
    press(&f.w, "cancel");
    QCOMPARE(f.count("hyxc"), 3);
    QVERIFY(area->isEnabled());
    f.shows("C001");
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
    loaded(f.w);
    f.w.show();
    press(&f.w, "edit");
    paste(slot(f.w, 1), "改过");
    QCOMPARE(f.w.close(), closed);
    QCOMPARE(f.messages.count(), 1);
    QCOMPARE(f.messages.shown().first().buttons, Msg::Buttons::YesNoCancel);
    QCOMPARE(f.w.mode() == FRMHYDA::Mode::Editing, !closed);
    if (!closed)
        QCOMPARE(slot(f.w, 1)->text(), QStringLiteral("改过"));
    QCOMPARE(f.scalar("select xm from hyda where kh='C001'").toString(), stored);
}

QTEST_MAIN(CustomerWindowTest)
#include "tst_customerwindow.moc"
