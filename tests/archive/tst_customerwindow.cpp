// The customer window on a real database: its dictionary-driven slots and
// the Enter walk through them, adding (the field checks and the questions
// before a save), deleting and finding customers, the help of the fields,
// and what closing in the middle of an edit does.

#include "archive/frmhyda.h"
#include "domain/archive/customercommands.h"
#include "domain/archive/pinyinmatcher.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "support/appfixture.h"
#include "ui/boundgrid.h"
#include "ui/gridexport.h"
#include "ui/recordsetmodel.h"
#include "support/controls.h"
#include "support/windowload.h"

#include <QAbstractItemModelTester>
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
    // `setup` runs before the window loads.
    explicit Customers(const QStringList &setup = {}) : w(state)
    {
        exec("insert into hyda(kh, xm, xb, sfzh, sj) values('C001', '张三', '女', '11010519491231002X', '13900000001'),"
             "('C002', '李四', '女', ' 11010519491231002x', '13900000002'), ('C003', '王五', '男', null, null)");
        addTicket("C001");
        addTicket("C001", {{"daoda", "广州"}});
        addTicket("C002");
        for (const QString &sql : setup)
            exec(sql);
        loaded(w);
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
        // The totals line is the same customer's (empty for one without tickets).
        auto *totals = child<BoundGrid>(&w, "Flhj")->recordset();
        const QVariant left = scalar("select sum(jifenyue) from hyxc where kh=?", {kh});
        QCOMPARE(totals && totals->isOpen() ? totals->valueAt(0, 5).toDouble() : -1.0, left.isNull() ? -1.0 : left.toDouble());
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
    void slotsFollowTheDictionary_data()
    {
        QTest::addColumn<int>("rows"); // dictionary rows of hyda
        QTest::newRow("three") << 3;
        QTest::newRow("twenty-one: the slots end at twenty") << 21;
    }

    void slotsFollowTheDictionary()
    {
        QFETCH(int, rows);
        Customers f({"insert into dh_codedict(table_code, xh, colm_code, colm_name, colm_type, colm_cd, nullbj, can_show) "
                     "values('hyda', 20, 'hyzt', '多余', 'CHAR', 4, '0', '1')",
                     QStringLiteral("delete from dh_codedict where table_code='hyda' and xh>=%1").arg(rows)});
        const QStringList captions = f.column("select colm_name from dh_codedict where table_code='hyda' order by xh");
        const int shown = std::min(rows, 20);
        QCOMPARE(f.w.slotCount(), shown);
        for (int i = 0; i < FRMHYDA::kSlots; ++i) {
            auto *label = child<QLabel>(&f.w, QStringLiteral("Labspzd_%1").arg(i));
            QCOMPARE(slot(f.w, i)->isHidden() && label->isHidden(), i >= shown);
            if (i < shown)
                QCOMPARE(label->text(), captions.at(i));
        }
        // Enter goes on to the next shown box, from the last back to the first.
        f.activate();
        for (int i = 0; i < shown; ++i) {
            slot(f.w, i)->setFocus();
            QTest::keyClick(slot(f.w, i), Qt::Key_Return);
            QVERIFY2(slot(f.w, (i + 1) % shown)->hasFocus(), qPrintable(QString::number(i)));
        }
    }

    void save_data()
    {
        QTest::addColumn<QStringList>("typed"); // slots 1 (name), 2 (identity number), 3 (sex) and 4 (birth) of a new customer N1
        QTest::addColumn<bool>("goOn");         // the answer to a question
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored"); // birth date, sex and name of N1; empty: not saved
        const QString again = QStringLiteral("\n仍要保存吗？");
        const QString name20 = QString(20, QChar(0x540D));
        QTest::newRow("name at its 20 characters") << QStringList{name20, ""} << true << "" << "||" + name20;
        QTest::newRow("name one over") << QStringList{name20 + "名", ""} << true << "姓名 输入数据超长!" << "";
        QTest::newRow("valid number fills birth and sex") << QStringList{"孙丽", "440305199001011256"} << true << ""
                                                          << "1990-01-01|男|孙丽";
        QTest::newRow("wrong check, save, fills nothing")
            << QStringList{"孙丽", "440305199001011257"} << true
            << "证件号码“440305199001011257”的校验位不对（按前17位应为 6），请核对。" + again << "||孙丽";
        QTest::newRow("same number, go back") << QStringList{"孙丽", "11010519491231002x"} << false
                                              << "证件号码相同的客户已有档案，卡号：C001、C002" + again << "";
        const QString number = QStringLiteral("证件号码“440305199001011256”表示");
        QTest::newRow("number says another sex, go back")
            << QStringList{"孙丽", "440305199001011256", "女", ""} << false
            << number + "性别为男，与录入的性别“女”不符。请核对。" + again << "";
        QTest::newRow("number says another birth date and sex, save")
            << QStringList{"孙丽", "440305199001011256", "2", "1990-1-2"} << true
            << number + "性别为男，与录入的性别“女”不符。\n" + number + "出生日期为1990-01-01，与录入的出生日期“1990-01-02”不符。请核对。" + again
            << "1990-01-02|2|孙丽";
        QTest::newRow("agreeing sex and birth date typed") << QStringList{"孙丽", "440305199001011256", "1", "1990-01-01"}
                                                           << true << "" << "1990-01-01|1|孙丽";
    }

    void save()
    {
        QFETCH(QStringList, typed);
        QFETCH(bool, goOn);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        Customers f;
        f.w.Cmdmove_Click(2);
        const QString day = today();
        press(&f.w, "new");
        // Who registered the customer is never typed.
        for (int i = 0; i < FRMHYDA::kSlots; ++i)
            QCOMPARE(slot(f.w, i)->isReadOnly(), i == 19);
        paste(slot(f.w, 0), "N1");
        paste(slot(f.w, 1), typed.at(0));
        for (int i = 1; i < typed.size(); ++i)
            paste(slot(f.w, i + 1), typed.at(i));
        f.messages.answer = goOn ? Msg::Answer::Yes : Msg::Answer::No;
        press(&f.w, "save");
        QCOMPARE(f.messages.texts().join("\n"), shown);
        QCOMPARE(f.scalar("select ifnull(csrq,'')||'|'||ifnull(xb,'')||'|'||xm from hyda where kh='N1'")
                     .toString(),
                 stored);
        QCOMPARE(f.w.mode() == FRMHYDA::Mode::Browsing, !stored.isEmpty());
        if (!stored.isEmpty()) {
            f.shows("N1");
            // Who and when registered the customer, without being typed.
            const QString registered = f.scalar("select djr||' '||substr(djrc,1,10) from hyda where kh='N1'").toString();
            QVERIFY2(registered == kOperator + ' ' + day || registered == kOperator + ' ' + today(), qPrintable(registered));
            return;
        }
        // Refused: the window stays in the edit as typed; cancel goes back to the customer shown before.
        QCOMPARE(slot(f.w, 1)->text(), typed.first());
        press(&f.w, "cancel");
        QCOMPARE(f.w.mode(), FRMHYDA::Mode::Browsing);
        f.shows("C002");
    }

    void deleteCustomer()
    {
        Customers f;
        // The browse grid's model keeps its promises to the views through every removal.
        QAbstractItemModelTester tester(child<BoundGrid>(&f.w, "Gridhyda")->recordsetModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        f.messages.answer = Msg::Answer::Cancel;
        press(&f.w, "delete");
        f.shows("C001");
        f.messages.answer = Msg::Answer::Ok;
        f.w.Cmdmove_Click(2);
        press(&f.w, "delete");
        // The next one is shown.
        f.shows("C003");
        // The last one, after a move past the end: the one before it is shown.
        f.w.Cmdmove_Click(2);
        press(&f.w, "delete");
        f.shows("C001");
        QCOMPARE(f.messages.texts(), QStringList(3, "确认删除当前记录"));
        QCOMPARE(child<BoundGrid>(&f.w, "Gridhyda")->recordsetModel()->rowCount(), 1);
    }

    // The rest of the customers could not be read: the operator is told the list is short, and why.
    void restNotRead()
    {
        Customers f;
        emit f.w.customers()->readFailed(DbError{DbErrorCode::GeneralFailure, QStringLiteral("与数据库服务器的连接已中断")});
        QCOMPARE(f.messages.count(), 1);
        QCOMPARE(f.messages.last(), QStringLiteral("客户档案没有读完，列表中只有已读出的客户: 与数据库服务器的连接已中断"));
        f.shows("C001");
    }

    // The browse grid's export holds every customer, those not read yet too;
    // moved to the last while hidden, the grid shows it when it is shown.
    void browseGridOfMany()
    {
        Customers f({"with recursive n(i) as (select 1 union all select i+1 from n where i<300) "
                     "insert into hyda(kh, xm) select 'E'||i, '名' from n"});
        auto *grid = child<BoundGrid>(&f.w, "Gridhyda");
        QVERIFY(grid->recordsetModel()->rowCount() < 303);
        QCOMPARE(GridExport::table(grid).rowCount, 303);
        f.activate();
        f.w.Cmdmove_Click(3);
        child<QTabWidget>(&f.w, "SSTab1")->setCurrentIndex(1);
        QCOMPARE(grid->currentIndex().row(), 302);
        QVERIFY(grid->visualRect(grid->currentIndex()).intersects(grid->viewport()->rect()));
    }

    void find()
    {
        Customers f({"insert into hyda(kh, xm) values('C004', 'C003'), ('C6', '张伟'), ('C7', '赵薇'), "
                     "('zhw', '王芳')"});
        const auto find = [&f](const QString &text) {
            paste(box(&f.w, "Txtfind"), text);
            press(&f.w, "find");
            return f.w.customerNumber();
        };
        // Names come before card numbers; a card number typed as letters before pinyin; then names by pinyin, on
        // from the one found and round again; nothing found leaves the customer shown.
        const QList<QPair<QString, QString>> searches = {{"C003", "C004"}, {"zhw", "zhw"}, {"zw", "C6"},
                                                         {"zw", "C7"},     {"zw", "C6"},  {"无此人", "C6"}};
        for (const auto &[typed, card] : searches)
            QCOMPARE(find(typed), card);
        // The member search's names by pinyin, each once.
        QCOMPARE(CustomerCommands::namesMatching(f.state.connection(), PinyinMatcher("zw")), QStringList({"张伟", "赵薇"}));
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

    void pickLists()
    {
        Customers f({"update hyda set xb=null, sfzh=null, cyhk='东航 ' where kh='C001'"});
        f.activate();
        auto *combo = child<QComboBox>(&f.w, "combHelp_0");
        auto *list = child<QListWidget>(&f.w, "ListHELP_0");
        auto *listButton = child<QPushButton>(&f.w, "CmdHELP_0");
        press(&f.w, "edit");
        // A sex typed as 2 stands for 女; the drop-down then chooses another.
        slot(f.w, 3)->setFocus();
        paste(slot(f.w, 3), "2");
        slot(f.w, 4)->setFocus();
        QCOMPARE(slot(f.w, 3)->text(), QStringLiteral("女"));
        slot(f.w, 3)->setFocus();
        QVERIFY(!combo->isHidden() && listButton->isHidden());
        combo->setCurrentIndex(0);
        f.w.combHelpChosen();
        // The airlines are ticked in a list of the dictionary's.
        slot(f.w, 13)->setFocus();
        QVERIFY(combo->isHidden() && !listButton->isHidden());
        QCOMPARE(list->count(), f.count("dict where class='航空公司'"));
        f.w.CmdHELP_Click();
        for (const int item : {0, 2, 4})
            list->item(item)->setCheckState(Qt::Checked);
        f.w.CmdHELP_Click();
        QVERIFY(list->isHidden());
        press(&f.w, "save");
        QCOMPARE(f.messages.count(), 0);
        QCOMPARE(f.rows("select xb, cyhk from hyda where kh='C001'"), QStringLiteral("男|国航 南航 厦航 "));
    }

    // The tickets of the customer moved to cannot be read: the window stays on
    // the one it shows, whole; once they can, the move and a save work.
    void failedMoveStaysWhole_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("target");
        QTest::newRow("next") << "Cmdmove_2" << "C002";
        QTest::newRow("last") << "Cmdmove_3" << "C003";
        QTest::newRow("find") << "find" << "C002";
    }
    void failedMoveStaysWhole()
    {
        QFETCH(QString, how);
        QFETCH(QString, target);
        Customers f({"update hyda set sfzh=null"}); // the save below asks nothing
        const auto move = [&] {
            if (how == QLatin1String("find")) {
                box(&f.w, "Txtfind")->setText(QStringLiteral("李四"));
                press(&f.w, "find");
            } else {
                click(&f.w, how);
            }
        };
        Connection otherSeat;
        otherSeat.open(f.state.connectionText());
        otherSeat.execute(QStringLiteral("alter table hyxc rename to hyxc_away"));
        move();
        QCOMPARE(f.messages.count(), 1);
        otherSeat.execute(QStringLiteral("alter table hyxc_away rename to hyxc"));
        f.shows(QStringLiteral("C001"));
        move();
        QCOMPARE(f.messages.count(), 1);
        f.shows(target);
        press(&f.w, "edit");
        paste(slot(f.w, 1), QStringLiteral("新名字"));
        press(&f.w, "save");
        QCOMPARE(f.scalar("select xm from hyda where kh=?", {target}).toString(), QStringLiteral("新名字"));
    }

    void ticketsLockedWhileAdding()
    {
        // A customer being added owns no tickets yet, even when the number typed is an existing customer's.
        Customers f;
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

    void closingMidEditAsks()
    {
        Customers f;
        // Each answer to "save?" in turn: go back to the edit, discard it, save it.
        for (const Msg::Answer answer : {Msg::Answer::Cancel, Msg::Answer::No, Msg::Answer::Yes}) {
            f.messages.answer = answer;
            f.w.show();
            if (f.w.mode() != FRMHYDA::Mode::Editing)
                press(&f.w, "edit");
            paste(slot(f.w, 1), "改过");
            QCOMPARE(f.w.close(), answer != Msg::Answer::Cancel);
            QCOMPARE(f.messages.shown().last().buttons, Msg::Buttons::YesNoCancel);
            QCOMPARE(f.w.mode() == FRMHYDA::Mode::Editing, answer == Msg::Answer::Cancel);
            QCOMPARE(slot(f.w, 1)->text(), answer == Msg::Answer::No ? "张三" : "改过");
            QCOMPARE(f.scalar("select xm from hyda where kh='C001'").toString(), answer == Msg::Answer::Yes ? "改过" : "张三");
        }
        QCOMPARE(f.messages.count(), 3);
    }
};

QTEST_MAIN(CustomerWindowTest)
#include "tst_customerwindow.moc"
