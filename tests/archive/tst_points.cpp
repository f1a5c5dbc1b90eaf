// Taking points away and moving them: the clearing walk, clearing through the
// customer window with its messages and log, the clearing log tab, moving all
// of a customer's tickets, and the one-row transfer window.

#include "archive/frmhyda.h"
#include "archive/frmjfzr.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "archive/pointscommands.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/windowload.h"

#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

namespace {

// C001 holds 30 + 50 + 40 points left (and a spent ticket), C002 nothing,
// C003 only spent tickets, C004 one ticket with points.
struct Points : AppFixture
{
    Points()
    {
        for (const QString kh : {"C001", "C002", "C003", "C004"})
            addCustomer(kh, "客户" + kh);
        for (const auto &[jifen, left] : QList<QPair<int, int>>{{30, 30}, {60, 50}, {40, 40}, {20, 0}})
            ids << addTicket("C001", {{"jifen", jifen}, {"jifenyue", left}});
        addTicket("C003", {{"jifen", 50}, {"jifenyue", 0}});
        addTicket("C003", {{"jifen", 20}, {"jifenyue", 0}});
        addTicket("C004", {{"jifen", 70}, {"jifenyue", 70}});
    }
    // Every ticket as id:kh:earned:left.
    QString tickets() { return rows("select id, kh, jifen, jifenyue from hyxc order by id"); }
    QString left() { return column("select jifenyue from hyxc where kh='C001' order by id").join(' '); }
    QList<qint64> ids; // C001's tickets in stored order
};

} // namespace

class PointsTest : public QObject
{
    Q_OBJECT

private slots:
    void clearingWalk_data();
    void clearingWalk();
    void clearPoints_data();
    void clearPoints();
    void clearingLogTab_data();
    void clearingLogTab();
    void transferAll_data();
    void transferAll();
    void transferOneRow_data();
    void transferOneRow();
};

void PointsTest::clearingWalk_data()
{
    QTest::addColumn<QList<double>>("remaining");
    QTest::addColumn<double>("points");
    QTest::addColumn<QList<double>>("after");
    const QList<double> rows = {30, 50, 40};
    QTest::newRow("part of the second row") << rows << 60.0 << QList<double>{0, 20, 40};
    QTest::newRow("exactly the total") << rows << 120.0 << QList<double>{0, 0, 0};
    QTest::newRow("first row exactly") << rows << 30.0 << QList<double>{0, 50, 40};
    QTest::newRow("second row equals what is left") << rows << 80.0 << QList<double>{0, 0, 40};
    QTest::newRow("inside the first row") << rows << 10.0 << QList<double>{20, 50, 40};
    QTest::newRow("a row already empty is passed") << QList<double>{0, 5} << 5.0 << QList<double>{0, 0};
    QTest::newRow("fractions") << QList<double>{2.5, 7.5} << 3.0 << QList<double>{0, 7};
    QTest::newRow("tenths that sum to no double") << QList<double>{0.7, 0.1} << 0.8 << QList<double>{0, 0};
    QTest::newRow("no rows") << QList<double>{} << 10.0 << QList<double>{};
}

void PointsTest::clearingWalk()
{
    QFETCH(QList<double>, remaining);
    QFETCH(double, points);
    QFETCH(QList<double>, after);
    QVector<qint64> rows, expected;
    for (double r : remaining)
        rows << PointsCommands::toHundredths(r);
    for (double a : after)
        expected << PointsCommands::toHundredths(a);
    QCOMPARE(PointsCommands::clearingWalk(rows, PointsCommands::toHundredths(points)), expected);
}

void PointsTest::clearPoints_data()
{
    QTest::addColumn<QString>("kh");
    QTest::addColumn<QString>("points");
    QTest::addColumn<QString>("remark");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("left"); // C001's rows afterwards

    const QString untouched = QStringLiteral("30 50 40 0");
    const QString number = QStringLiteral("请输入数字");
    QTest::newRow("sixty") << "C001" << "60" << "" << "C001会员 60分已清除!" << "0 20 40 0";
    QTest::newRow("all of it") << "C001" << "120" << "" << "C001会员 120分已清除!" << "0 0 0 0";
    QTest::newRow("with remark") << "C001" << "30" << "年终清零" << "C001会员 30分已清除!" << "0 50 40 0";
    QTest::newRow("remark with apostrophes") << "C001" << "80" << "O'Neil's 'gift'" << "C001会员 80分已清除!"
                                             << "0 0 40 0";
    QTest::newRow("one more than the total") << "C001" << "120.01" << ""
                                             << "C001客户总积分120, 小于当前要清除积分:120.01" << untouched;
    QTest::newRow("customer without tickets") << "C002" << "10" << "" << "C002客户总积分0, 小于当前要清除积分:10"
                                              << untouched;
    QTest::newRow("no customer: nothing to do") << "" << "10" << "" << "" << untouched;
    QTest::newRow("empty") << "C001" << "" << "" << number << untouched;
    QTest::newRow("not a number") << "C001" << "abc" << "" << number << untouched;
    QTest::newRow("number and text") << "C001" << "60abc" << "" << number << untouched;
    QTest::newRow("zero") << "C001" << "0" << "" << number << untouched;
    QTest::newRow("negative") << "C001" << "-5" << "" << number << untouched;
}

void PointsTest::clearPoints()
{
    QFETCH(QString, kh);
    QFETCH(QString, points);
    QFETCH(QString, remark);
    QFETCH(QString, message);
    QFETCH(QString, left);
    Points f;
    FRMHYDA w(f.state);
    loaded(w);
    const QString others = f.rows("select jifen, jifenyue from hyxc where kh<>'C001' order by id");
    const QString earned = f.column("select jifen from hyxc where kh='C001' order by id").join(' ');
    box(&w, "Text3")->setText(kh);
    box(&w, "Text4")->setText(points);
    box(&w, "Txtbz")->setText(remark);
    click(&w, "Command2");
    QCOMPARE(f.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(f.left(), left);
    // Clearing takes remaining points only: what was earned stays, and nobody else's moves.
    QCOMPARE(f.column("select jifen from hyxc where kh='C001' order by id").join(' '), earned);
    QCOMPARE(f.rows("select jifen, jifenyue from hyxc where kh<>'C001' order by id"), others);
    const bool cleared = message.endsWith(QStringLiteral("分已清除!"));
    QCOMPARE(f.count("jifenallow"), cleared ? 1 : 0);
    if (!cleared)
        return;
    QCOMPARE(f.messages.icon(), Msg::Icon::Information);
    QCOMPARE(f.rows("select kh, czy, jifen, coalesce(bz, '<null>'), case when qcsj is null then 0 else 1 end from jifenallow"),
             QStringList({kh, kOperator, QString::number(points.toDouble()), remark.isEmpty() ? "<null>" : remark, "1"})
                 .join('|'));
}

void PointsTest::clearingLogTab_data()
{
    QTest::addColumn<bool>("byMouse");
    QTest::newRow("called") << false;
    QTest::newRow("right button on the tabs") << true;
}

void PointsTest::clearingLogTab()
{
    QFETCH(bool, byMouse);
    Points f;
    f.exec("insert into jifenallow(kh,czy,jifen,bz) values('C004','admin',20,'旧记录'), ('C001','admin',10,null)");
    FRMHYDA w(f.state);
    loaded(w);
    const QAbstractItemModel *log = child<QTableView>(&w, "DataGrid1")->model();
    QTabBar *bar = child<QTabWidget>(&w, "SSTab1")->tabBar();
    const auto show = [&] {
        if (byMouse)
            QTest::mouseRelease(bar, Qt::RightButton, {}, bar->tabRect(2).center());
        else
            w.showClearingLog();
    };
    // Only the right button asks for the log.
    QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    QCOMPARE(log->rowCount(), 0);
    show();
    QCOMPARE(log->rowCount(), 2);
    QCOMPARE(log->index(0, 0).data().toString(), QStringLiteral("C004"));
    // A clearing made since is listed the next time.
    box(&w, "Text3")->setText("C001");
    box(&w, "Text4")->setText("25");
    w.Command2_Click();
    show();
    QCOMPARE(log->rowCount(), 3);
    QCOMPARE(log->index(2, 2).data().toString(), QStringLiteral("25"));
}

void PointsTest::transferAll_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message"); // empty: nothing to do; moved when it names both
    QTest::newRow("moves") << "C001" << "C002" << "客户C001已全部转让到C002";
    QTest::newRow("to a customer with tickets") << "C001" << "C004" << "客户C001已全部转让到C004";
    QTest::newRow("same number") << "C001" << "C001" << "转出和转入的客户编号相同，积分未转让";
    QTest::newRow("same number, other case") << "C001" << "c001" << "转出和转入的客户编号相同，积分未转让";
    QTest::newRow("giver without tickets") << "C002" << "C001" << "客户C002没有可转让的行程，积分未转让";
    QTest::newRow("no giver") << "" << "C002" << "";
    QTest::newRow("no receiver") << "C001" << "" << "";
    QTest::newRow("unknown receiver") << "C001" << "X999" << "客户编号X999不存在，积分未转让";
}

void PointsTest::transferAll()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, message);
    Points f;
    FRMHYDA w(f.state);
    loaded(w);
    const QString before = f.tickets();
    const QString receiverHad = f.column("select id from hyxc where kh=? order by id", {to}).join(' ');
    box(&w, "Text1")->setText(from);
    box(&w, "Text2")->setText(to);
    click(&w, "cmdOK");
    QCOMPARE(f.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    const bool moved = message.startsWith("客户" + from + "已");
    QCOMPARE(f.count("hyxczhuanrang"), moved ? 4 : 0);
    // The customer shown (C001) keeps its tickets, or has none left.
    QCOMPARE(w.itinerary()->model()->hasStoredRows(), !moved);
    if (!moved) {
        QCOMPARE(f.tickets(), before);
        return;
    }
    QCOMPARE(f.count("hyxc where kh=?", {from}), 0);
    QStringList all = f.column("select id from hyxc where kh=? order by id", {to});
    for (qint64 id : f.ids)
        QVERIFY(all.removeOne(QString::number(id)));
    QCOMPARE(all.join(' '), receiverHad);
    QCOMPARE(f.count("hyxc where kh='C003'"), 2);
    // One log row per moved ticket, with both numbers and the points it carried.
    QCOMPARE(f.rows("select count(*), sum(jifen), sum(jifenyue) from hyxczhuanrang where kh=? and zhuanrangkh=?", {from, to}),
             QStringLiteral("4|150|120"));
}

void PointsTest::transferOneRow_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("listed"); // the giver's rows that still carry points
    QTest::addColumn<bool>("moved");
    QTest::newRow("moves the chosen row") << "C001" << "C002" << 3 << true;
    QTest::newRow("to a customer with tickets") << "C001" << "C004" << 3 << true;
    QTest::newRow("giver without points") << "C003" << "C002" << 0 << false;
    QTest::newRow("same number") << "C001" << "C001" << 3 << false;
    QTest::newRow("no receiver") << "C001" << "" << 3 << false;
    QTest::newRow("unknown receiver") << "C001" << "X999" << 3 << false;
}

void PointsTest::transferOneRow()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, listed);
    QFETCH(bool, moved);
    Points f;
    const QString before = f.tickets();
    FrmJfzr dialog(f.state);
    const QAbstractItemModel *grid = child<QTableView>(&dialog, "DataGrid1")->model();
    // Enter in the giver's box lists the rows.
    box(&dialog, "Text1")->setText(from);
    QTest::keyClick(box(&dialog, "Text1"), Qt::Key_Return);
    Recordset *list = dialog.list();
    QCOMPARE(list->recordCount(), listed);
    QCOMPARE(grid->rowCount(), listed);
    if (listed)
        QCOMPARE(grid->headerData(9, Qt::Horizontal).toString(), QStringLiteral("剩余积分"));
    QStringList ids;
    for (int i = 0; i < list->recordCount(); ++i)
        ids << list->valueAt(i, list->fieldIndex("id")).toString();
    QCOMPARE(ids.join(' '), from == "C001" ? QStringLiteral("%1 %2 %3").arg(f.ids[0]).arg(f.ids[1]).arg(f.ids[2]) : QString());
    box(&dialog, "Text2")->setText(to);
    for (int round = 1; round <= 2; ++round) {
        if (list->recordCount() > 1)
            list->moveTo(1);
        click(&dialog, "cmdOK");
        if (!moved)
            break;
        // The chosen row, the second listed, moves with its copy in the log (taken before the move).
        const qint64 id = f.ids.at(round);
        QCOMPARE(f.messages.texts().value(round - 1), "客户" + from + "当前积分转让到" + to);
        QCOMPARE(f.scalar("select kh from hyxc where id=?", {id}).toString(), to);
        QCOMPARE(f.rows("select kh, zhuanrangkh, jifen, jifenyue from hyxczhuanrang order by jifen desc"),
                 QStringList({from, to, "60|50"}).join('|') + (round == 1 ? "" : " " + from + '|' + to + "|40|40"));
        QCOMPARE(list->recordCount(), listed - round);
        QCOMPARE(grid->rowCount(), listed - round);
    }
    if (moved) {
        QCOMPARE(f.count("hyxc where kh='C001'"), 2);
        QCOMPARE(f.count("hyxczhuanrang"), 2);
        return;
    }
    QCOMPARE(f.tickets(), before);
    QCOMPARE(f.count("hyxczhuanrang"), 0);
    QCOMPARE(list->recordCount(), listed);
    if (to == "X999")
        QCOMPARE(f.messages.texts(), QStringList{"客户编号X999不存在，积分未转让"});
}

QTEST_MAIN(PointsTest)
#include "tst_points.moc"
