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
    void clearingLogTab();
    void transferAll_data();
    void transferAll();
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
    QTest::newRow("a row already empty is passed") << QList<double>{0, 5} << 5.0 << QList<double>{0, 0};
    QTest::newRow("tenths that sum to no double") << QList<double>{0.7, 0.1} << 0.8 << QList<double>{0, 0};
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
    QTest::newRow("remark with apostrophes") << "C001" << "80" << "O'Neil's 'gift'" << "C001会员 80分已清除!"
                                             << "0 0 40 0";
    QTest::newRow("one more than the total") << "C001" << "120.01" << ""
                                             << "C001客户总积分120, 小于当前要清除积分:120.01" << untouched;
    QTest::newRow("customer without tickets") << "C002" << "10" << "" << "C002客户总积分0, 小于当前要清除积分:10"
                                              << untouched;
    QTest::newRow("no customer: nothing to do") << "" << "10" << "" << "" << untouched;
    QTest::newRow("number and text") << "C001" << "60abc" << "" << number << untouched;
    QTest::newRow("zero") << "C001" << "0" << "" << number << untouched;
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

void PointsTest::clearingLogTab()
{
    Points f;
    f.exec("insert into jifenallow(kh,czy,jifen,bz) values('C004','admin',20,'旧记录'), ('C001','admin',10,null)");
    FRMHYDA w(f.state);
    loaded(w);
    const QAbstractItemModel *log = child<QTableView>(&w, "DataGrid1")->model();
    QTabBar *bar = child<QTabWidget>(&w, "SSTab1")->tabBar();
    const auto show = [bar] { QTest::mouseRelease(bar, Qt::RightButton, {}, bar->tabRect(2).center()); };
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
    QTest::newRow("to a customer with tickets") << "C001" << "C004" << "客户C001已全部转让到C004";
    QTest::newRow("same number, other case") << "C001" << "c001" << "转出和转入的客户编号相同，积分未转让";
    QTest::newRow("giver without tickets") << "C002" << "C001" << "客户C002没有可转让的行程，积分未转让";
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
    QCOMPARE(f.rows("select kh, count(*) from hyxc group by kh order by kh"), QStringLiteral("C003|2 C004|5"));
    // One log row per moved ticket, with both numbers and the points it carried.
    QCOMPARE(f.rows("select count(*), sum(jifen), sum(jifenyue) from hyxczhuanrang where kh=? and zhuanrangkh=?", {from, to}),
             QStringLiteral("4|150|120"));
}

void PointsTest::transferOneRow()
{
    // Enter in the giver's box lists the rows still carrying points; the chosen one moves, its copy in the log.
    Points f;
    FrmJfzr dialog(f.state);
    const auto list = [&dialog](const QString &giver) {
        box(&dialog, "Text1")->setText(giver);
        QTest::keyClick(box(&dialog, "Text1"), Qt::Key_Return);
        return dialog.list()->recordCount();
    };
    QCOMPARE(list("C003"), 0);
    QCOMPARE(list("C001"), 3);
    box(&dialog, "Text2")->setText("X999");
    click(&dialog, "cmdOK");
    QCOMPARE(f.messages.texts(), QStringList{"客户编号X999不存在，积分未转让"});
    QCOMPARE(f.count("hyxczhuanrang"), 0);
    box(&dialog, "Text2")->setText("C004");
    dialog.list()->moveTo(1);
    click(&dialog, "cmdOK");
    QCOMPARE(f.messages.last(), QStringLiteral("客户C001当前积分转让到C004"));
    QCOMPARE(f.scalar("select kh from hyxc where id=?", {f.ids.at(1)}).toString(), QStringLiteral("C004"));
    QCOMPARE(f.rows("select kh, zhuanrangkh, jifen, jifenyue from hyxczhuanrang"), QStringLiteral("C001|C004|60|50"));
    QCOMPARE(dialog.list()->recordCount(), 2);
    QCOMPARE(child<QTableView>(&dialog, "DataGrid1")->model()->rowCount(), 2);
}

QTEST_MAIN(PointsTest)
#include "tst_points.moc"
