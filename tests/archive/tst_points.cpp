// Taking points away and moving them: the clearing walk, clearing through the
// customer window with its messages and log, the clearing log tab, moving all
// of a customer's tickets, and the one-row transfer window.

#include "support/windowload.h"
#include "archive/frmhyda.h"
#include "archive/frmjfzr.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "archive/pointscommands.h"
#include "archivesupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

namespace {

// C001 holds 30 + 50 + 40 points left (and a spent ticket), C002 nothing,
// C003 only spent tickets, C004 one ticket with points.
struct Points
{
    explicit Points(ArchiveFixture &f)
    {
        for (const QString &kh : {QStringLiteral("C001"), QStringLiteral("C002"), QStringLiteral("C003"),
                                  QStringLiteral("C004")})
            f.addCustomer(kh, QStringLiteral("客户") + kh);
        const QList<QPair<double, double>> c001 = {{30, 30}, {60, 50}, {40, 40}, {20, 0}};
        for (const auto &[jifen, left] : c001)
            ids << f.addTicket(QStringLiteral("C001"), {{QStringLiteral("jifen"), jifen}, {QStringLiteral("jifenyue"), left}});
        f.addTicket(QStringLiteral("C003"), {{QStringLiteral("jifen"), 50}, {QStringLiteral("jifenyue"), 0}});
        f.addTicket(QStringLiteral("C003"), {{QStringLiteral("jifen"), 20}, {QStringLiteral("jifenyue"), 0}});
        f.addTicket(QStringLiteral("C004"), {{QStringLiteral("jifen"), 70}, {QStringLiteral("jifenyue"), 70}});
    }
    QList<qint64> ids; // C001's tickets in stored order
};

QList<double> remainingOf(ArchiveFixture &f, const QList<qint64> &ids)
{
    QList<double> left;
    for (qint64 id : ids)
        left << f.scalar(QStringLiteral("select jifenyue from hyxc where id=") + sqlNumber(id)).toDouble();
    return left;
}

QList<double> earnedOf(ArchiveFixture &f, const QList<qint64> &ids)
{
    QList<double> earned;
    for (qint64 id : ids)
        earned << f.scalar(QStringLiteral("select jifen from hyxc where id=") + sqlNumber(id)).toDouble();
    return earned;
}

// Every ticket as "id:kh", to see that nothing moved.
QStringList owners(ArchiveFixture &f)
{
    return f.column(QStringLiteral("select id || ':' || kh from hyxc order by id"));
}

QLineEdit *edit(const QWidget &w, const QString &name)
{
    return w.findChild<QLineEdit *>(name);
}

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
    void clearsExactHundredths();
    void transferAll_data();
    void transferAll();
    void transferWindowListsRowsWithPoints();
    void transferWindowMovesOneRow();
    void transferWindowRefuses_data();
    void transferWindowRefuses();
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
    QTest::addColumn<QList<double>>("left"); // C001's rows afterwards

    const QList<double> untouched = {30, 50, 40, 0};
    const QString number = QStringLiteral("请输入数字");
    QTest::newRow("sixty") << "C001" << "60" << "" << "C001会员 60分已清除!" << QList<double>{0, 20, 40, 0};
    QTest::newRow("all of it") << "C001" << "120" << "" << "C001会员 120分已清除!" << QList<double>{0, 0, 0, 0};
    QTest::newRow("with remark") << "C001" << "30" << "年终清零" << "C001会员 30分已清除!" << QList<double>{0, 50, 40, 0};
    QTest::newRow("remark with apostrophe") << "C001" << "80" << "O'Neil's 'gift'" << "C001会员 80分已清除!"
                                            << QList<double>{0, 0, 40, 0};
    QTest::newRow("more than the total") << "C001" << "500" << "" << "C001客户总积分120, 小于当前要清除积分:500"
                                         << untouched;
    QTest::newRow("customer without tickets") << "C002" << "10" << "" << "C002客户总积分0, 小于当前要清除积分:10"
                                              << untouched;
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
    QFETCH(QList<double>, left);
    ArchiveFixture f;
    Points p(f);
    FRMHYDA w(f.state);
    loaded(w);
    const QList<double> earned = earnedOf(f, p.ids);
    const double c004 = f.scalar(QStringLiteral("select jifenyue from hyxc where kh='C004'")).toDouble();

    edit(w, QStringLiteral("Text3"))->setText(kh);
    edit(w, QStringLiteral("Text4"))->setText(points);
    edit(w, QStringLiteral("Txtbz"))->setText(remark);
    w.findChild<QPushButton *>(QStringLiteral("Command2"))->click();

    QCOMPARE(f.messages.texts(), QStringList{message});
    QCOMPARE(remainingOf(f, p.ids), left);
    // Clearing takes remaining points only; what was earned stays, and nobody else's.
    QCOMPARE(earnedOf(f, p.ids), earned);
    QCOMPARE(f.scalar(QStringLiteral("select jifenyue from hyxc where kh='C004'")).toDouble(), c004);

    const bool cleared = message.endsWith(QStringLiteral("分已清除!"));
    QCOMPARE(f.count(QStringLiteral("jifenallow")), cleared ? 1 : 0);
    if (!cleared)
        return;
    QCOMPARE(f.messages.icon(), Msg::Icon::Information);
    QCOMPARE(f.scalar(QStringLiteral("select kh from jifenallow")).toString(), kh);
    QCOMPARE(f.scalar(QStringLiteral("select czy from jifenallow")).toString(), kOperator);
    QCOMPARE(f.scalar(QStringLiteral("select jifen from jifenallow")).toDouble(), points.toDouble());
    const QVariant bz = f.scalar(QStringLiteral("select bz from jifenallow"));
    if (remark.isEmpty())
        QVERIFY(bz.isNull());
    else
        QCOMPARE(bz.toString(), remark);
    QVERIFY(f.scalar(QStringLiteral("select qcsj from jifenallow")).isValid());
}

void PointsTest::clearingLogTab_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("called") << "call";
    QTest::newRow("right button on the tabs") << "tab bar";
}

void PointsTest::clearingLogTab()
{
    QFETCH(QString, how);
    ArchiveFixture f;
    Points p(f);
    f.exec(QStringLiteral("insert into jifenallow(kh,czy,jifen,bz) values('C004','admin',20,'旧记录')"));
    f.exec(QStringLiteral("insert into jifenallow(kh,czy,jifen) values('C001','admin',10)"));
    FRMHYDA w(f.state);
    loaded(w);
    auto *log = w.findChild<QTableView *>(QStringLiteral("DataGrid1"));
    QVERIFY(log);
    QCOMPARE(log->model()->rowCount(), 0);

    auto *tabs = w.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    QTabBar *bar = tabs->tabBar();
    const auto show = [&] {
        if (how == QLatin1String("call"))
            w.showClearingLog();
        else
            QTest::mouseRelease(bar, Qt::RightButton, {}, bar->tabRect(2).center());
    };
    if (how != QLatin1String("call")) {
        // Only the right button asks for the log.
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        QCOMPARE(log->model()->rowCount(), 0);
    }
    show();
    QCOMPARE(log->model()->rowCount(), 2);
    QCOMPARE(log->model()->index(0, 0).data().toString(), QStringLiteral("C004"));
    QCOMPARE(log->model()->index(1, 0).data().toString(), QStringLiteral("C001"));

    // A clearing made since is listed the next time.
    edit(w, QStringLiteral("Text3"))->setText(QStringLiteral("C001"));
    edit(w, QStringLiteral("Text4"))->setText(QStringLiteral("25"));
    w.Command2_Click();
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("C001会员 25分已清除!")});
    show();
    QCOMPARE(log->model()->rowCount(), 3);
    QCOMPARE(log->model()->rowCount(), f.count(QStringLiteral("jifenallow")));
    QCOMPARE(log->model()->index(2, 2).data().toString(), QStringLiteral("25"));
}

void PointsTest::clearsExactHundredths()
{
    // 0.7 + 0.1 is no exact double: counted in hundredths, 0.8 clears it all, leaving nothing behind.
    ArchiveFixture f;
    f.addCustomer(QStringLiteral("T1"), QStringLiteral("甲"));
    for (double points : {0.7, 0.1})
        f.addTicket(QStringLiteral("T1"), {{QStringLiteral("jifen"), points}, {QStringLiteral("jifenyue"), points}});
    const auto result = PointsCommands::clearPoints(f.state.connection(), QStringLiteral("T1"), QStringLiteral("0.8"),
                                                    QString(), kOperator);
    QCOMPARE(result.outcome, PointsCommands::ClearOutcome::Cleared);
    QCOMPARE(f.count(QStringLiteral("hyxc where kh='T1' and jifenyue<>0")), 0);
    QCOMPARE(f.scalar(QStringLiteral("select jifen from jifenallow")).toDouble(), 0.8);
}

void PointsTest::transferAll_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<QString>("message");
    QTest::newRow("moves") << "C001" << "C002" << true << "客户C001已全部转让到C002";
    QTest::newRow("to a customer with tickets") << "C001" << "C004" << true << "客户C001已全部转让到C004";
    QTest::newRow("same number") << "C001" << "C001" << false << "转出和转入的客户编号相同，积分未转让";
    // Card numbers compare as the database compares them.
    QTest::newRow("same number, other case") << "C001" << "c001" << false << "转出和转入的客户编号相同，积分未转让";
    QTest::newRow("giver without tickets") << "C002" << "C001" << false << "客户C002没有可转让的行程，积分未转让";
    QTest::newRow("no giver") << "" << "C002" << false << "";
    QTest::newRow("no receiver") << "C001" << "" << false << "";
    QTest::newRow("unknown receiver") << "C001" << "X999" << false << "客户编号X999不存在，积分未转让";
}

void PointsTest::transferAll()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, moved);
    QFETCH(QString, message);
    ArchiveFixture f;
    Points p(f);
    FRMHYDA w(f.state);
    loaded(w);
    QCOMPARE(w.customerNumber(), QStringLiteral("C001"));
    const QStringList before = owners(f);
    const int receiverHad = f.count(QStringLiteral("hyxc where kh=") + sqlQuote(to));

    edit(w, QStringLiteral("Text1"))->setText(from);
    edit(w, QStringLiteral("Text2"))->setText(to);
    w.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();

    QCOMPARE(f.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!moved) {
        QCOMPARE(owners(f), before);
        QCOMPARE(f.count(QStringLiteral("hyxczhuanrang")), 0);
        QVERIFY(w.itinerary()->model()->hasStoredRows());
        return;
    }
    for (qint64 id : p.ids)
        QCOMPARE(f.scalar(QStringLiteral("select kh from hyxc where id=") + sqlNumber(id)).toString(), to);
    QCOMPARE(f.count(QStringLiteral("hyxc where kh=") + sqlQuote(from)), 0);
    QCOMPARE(f.count(QStringLiteral("hyxc where kh=") + sqlQuote(to)), receiverHad + p.ids.size());
    // One log row per moved ticket, with both numbers and the points it carried.
    QCOMPARE(f.count(QStringLiteral("hyxczhuanrang")), p.ids.size());
    QCOMPARE(f.count(QStringLiteral("hyxczhuanrang where kh=") + sqlQuote(from) + QStringLiteral(" and zhuanrangkh=")
                     + sqlQuote(to)),
             p.ids.size());
    QCOMPARE(f.scalar(QStringLiteral("select sum(jifenyue) from hyxczhuanrang")).toDouble(), 120.0);
    QCOMPARE(f.scalar(QStringLiteral("select sum(jifen) from hyxczhuanrang")).toDouble(), 150.0);
    QCOMPARE(f.count(QStringLiteral("hyxc where kh='C003'")), 2);
    // The shown customer has no tickets left.
    QVERIFY(!w.itinerary()->model()->hasStoredRows());
    QCOMPARE(w.itinerary()->model()->rowCount(), 1);
}

void PointsTest::transferWindowListsRowsWithPoints()
{
    ArchiveFixture f;
    Points p(f);
    FrmJfzr dialog(f.state);
    QLineEdit *from = edit(dialog, QStringLiteral("Text1"));
    from->setText(QStringLiteral("C001"));
    // Enter in the giver's box lists the rows.
    QTest::keyClick(from, Qt::Key_Return);
    Recordset *list = dialog.list();
    QVERIFY(list->isOpen());
    QCOMPARE(list->recordCount(), 3);
    QStringList listed;
    for (int i = 0; i < list->recordCount(); ++i) {
        QCOMPARE(list->valueAt(i, list->fieldIndex(QStringLiteral("kh"))).toString(), QStringLiteral("C001"));
        QVERIFY(list->valueAt(i, list->fieldIndex(QStringLiteral("jifenyue"))).toDouble() != 0);
        listed << list->valueAt(i, list->fieldIndex(QStringLiteral("id"))).toString();
    }
    QCOMPARE(listed, (QStringList{QString::number(p.ids.at(0)), QString::number(p.ids.at(1)),
                                  QString::number(p.ids.at(2))}));
    auto *grid = dialog.findChild<QTableView *>(QStringLiteral("DataGrid1"));
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->model()->headerData(9, Qt::Horizontal).toString(), QStringLiteral("剩余积分"));

    from->setText(QStringLiteral("C004"));
    dialog.listRows();
    QCOMPARE(list->recordCount(), 1);
    QCOMPARE(grid->model()->rowCount(), 1);
}

void PointsTest::transferWindowMovesOneRow()
{
    ArchiveFixture f;
    Points p(f);
    FrmJfzr dialog(f.state);
    edit(dialog, QStringLiteral("Text1"))->setText(QStringLiteral("C001"));
    dialog.listRows();
    edit(dialog, QStringLiteral("Text2"))->setText(QStringLiteral("C002"));
    dialog.list()->moveTo(1);
    dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();

    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("客户C001当前积分转让到C002")});
    QCOMPARE(f.scalar(QStringLiteral("select kh from hyxc where id=") + sqlNumber(p.ids.at(1))).toString(),
             QStringLiteral("C002"));
    QCOMPARE(f.count(QStringLiteral("hyxc where kh='C001'")), 3);
    QCOMPARE(f.count(QStringLiteral("hyxc where kh='C002'")), 1);
    // The copy keeps the giver's number: it was taken before the move.
    QCOMPARE(f.count(QStringLiteral("hyxczhuanrang")), 1);
    QCOMPARE(f.scalar(QStringLiteral("select kh from hyxczhuanrang")).toString(), QStringLiteral("C001"));
    QCOMPARE(f.scalar(QStringLiteral("select zhuanrangkh from hyxczhuanrang")).toString(), QStringLiteral("C002"));
    QCOMPARE(f.scalar(QStringLiteral("select jifenyue from hyxczhuanrang")).toDouble(), 50.0);
    QCOMPARE(f.scalar(QStringLiteral("select jifen from hyxczhuanrang")).toDouble(), 60.0);
    QCOMPARE(dialog.list()->recordCount(), 2);
    QCOMPARE(dialog.findChild<QTableView *>(QStringLiteral("DataGrid1"))->model()->rowCount(), 2);

    // The next chosen row goes the same way.
    dialog.list()->moveTo(1);
    dialog.cmdOK_Click();
    QCOMPARE(f.scalar(QStringLiteral("select kh from hyxc where id=") + sqlNumber(p.ids.at(2))).toString(),
             QStringLiteral("C002"));
    QCOMPARE(f.count(QStringLiteral("hyxczhuanrang")), 2);
    QCOMPARE(dialog.list()->recordCount(), 1);
    QCOMPARE(f.scalar(QStringLiteral("select kh from hyxc where id=") + sqlNumber(p.ids.at(0))).toString(),
             QStringLiteral("C001"));
}

void PointsTest::transferWindowRefuses_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("listed");
    QTest::newRow("giver without points") << "C003" << "C002" << 0;
    QTest::newRow("same number") << "C001" << "C001" << 3;
    QTest::newRow("no receiver") << "C001" << "" << 3;
    QTest::newRow("unknown receiver") << "C001" << "X999" << 3;
}

void PointsTest::transferWindowRefuses()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, listed);
    ArchiveFixture f;
    Points p(f);
    const QStringList before = owners(f);
    FrmJfzr dialog(f.state);
    edit(dialog, QStringLiteral("Text1"))->setText(from);
    dialog.listRows();
    QCOMPARE(dialog.list()->recordCount(), listed);
    QCOMPARE(dialog.findChild<QTableView *>(QStringLiteral("DataGrid1"))->model()->rowCount(), listed);
    edit(dialog, QStringLiteral("Text2"))->setText(to);
    dialog.cmdOK_Click();
    QCOMPARE(owners(f), before);
    QCOMPARE(f.count(QStringLiteral("hyxczhuanrang")), 0);
    QCOMPARE(dialog.list()->recordCount(), listed);
    if (to == QLatin1String("X999")) {
        QCOMPARE(f.messages.count(), 1);
        QVERIFY2(f.messages.text().contains(QStringLiteral("X999")), qPrintable(f.messages.text()));
    }
}

QTEST_MAIN(PointsTest)
#include "tst_points.moc"
