// Taking points away and moving them: the clearing walk, clearing through the
// customer window with its messages and log, the transfers it refuses, and
// the one-row transfer window.

#include "archive/frmhyda.h"
#include "archive/frmjfzr.h"
#include "domain/archive/pointscommands.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/windowload.h"

#include <QTest>

namespace {

// C001 holds 30 + 50 + 40 points left (and a spent ticket), C002 nothing,
// C003 only spent tickets, C004 one ticket with points.
struct Points : AppFixture
{
    Points() : w(state)
    {
        for (const QString kh : {"C001", "C002", "C003", "C004"})
            addCustomer(kh, "客户" + kh);
        for (const auto &[jifen, left] : QList<QPair<int, int>>{{30, 30}, {60, 50}, {40, 40}, {20, 0}})
            ids << addTicket("C001", {{"jifen", jifen}, {"jifenyue", left}});
        addTicket("C003", {{"jifen", 50}, {"jifenyue", 0}});
        addTicket("C003", {{"jifen", 20}, {"jifenyue", 0}});
        addTicket("C004", {{"jifen", 70}, {"jifenyue", 70}});
        loaded(w);
    }
    // Every ticket as id:kh:earned:left.
    QString tickets() { return rows("select id, kh, jifen, jifenyue from hyxc order by id"); }
    QString left() { return column("select jifenyue from hyxc where kh='C001' order by id").join(' '); }
    QList<qint64> ids; // C001's tickets in stored order
    FRMHYDA w;
};

} // namespace

class PointsTest : public QObject
{
    Q_OBJECT

private slots:
    void clearPoints_data()
    {
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("left"); // C001's rows afterwards

        const QString untouched = QStringLiteral("30 50 40 0");
        QTest::newRow("all of it") << "120" << "C001会员 120分已清除!" << "0 0 0 0";
        QTest::newRow("oldest rows first") << "70.5" << "C001会员 70.5分已清除!" << "0 9.5 40 0";
        QTest::newRow("a row that is just what is left") << "80" << "C001会员 80分已清除!" << "0 0 40 0";
        QTest::newRow("one more than the total") << "120.01" << "C001客户总积分120, 小于当前要清除积分:120.01" << untouched;
        QTest::newRow("zero") << "0" << "请输入数字" << untouched;
    }

    void clearPoints()
    {
        QFETCH(QString, points);
        QFETCH(QString, message);
        QFETCH(QString, left);
        Points f;
        FRMHYDA &w = f.w;
        const QString rest = QStringLiteral("select kh, jifen, case when kh='C001' then 0 else jifenyue end from hyxc order by id");
        const QString before = f.rows(rest);
        box(&w, "Text3")->setText("C001");
        box(&w, "Text4")->setText(points);
        click(&w, "Command2");
        QCOMPARE(f.messages.texts().join('\n'), message);
        QCOMPARE(f.left(), left);
        // Clearing takes remaining points only: what was earned stays, and nobody else's moves.
        QCOMPARE(f.rows(rest), before);
        const bool cleared = message.endsWith(QStringLiteral("分已清除!"));
        QCOMPARE(f.count("jifenallow"), cleared ? 1 : 0);
        if (!cleared)
            return;
        QCOMPARE(f.rows("select kh, czy, jifen, case when qcsj is null then 0 else 1 end from jifenallow"),
                 QStringList({"C001", kOperator, QString::number(points.toDouble()), "1"}).join('|'));
    }

    void transferRefused_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("same number, other case") << "C001" << "c001" << "转出和转入的客户编号相同，积分未转让";
        QTest::newRow("giver without tickets") << "C002" << "C001" << "客户C002没有可转让的行程，积分未转让";
        QTest::newRow("unknown receiver") << "C001" << "X999" << "客户编号X999不存在，积分未转让";
    }

    void transferRefused()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        Points f;
        const QString before = f.tickets();
        box(&f.w, "Text1")->setText(from);
        box(&f.w, "Text2")->setText(to);
        click(&f.w, "cmdOK");
        QCOMPARE(f.messages.texts(), QStringList{message});
        QCOMPARE(f.tickets(), before);
        QCOMPARE(f.count("hyxczhuanrang"), 0);
    }

    void transferOneRow()
    {
        // Enter in the giver's box lists the rows still carrying points; the chosen one moves, its copy in the log.
        Points f;
        FrmJfzr dialog(f.state);
        const auto list = [&dialog](const QString &giver) {
            box(&dialog, "Text1")->setText(giver);
            QTest::keyClick(box(&dialog, "Text1"), Qt::Key_Return);
            return dialog.list()->recordCount();
        };
        QCOMPARE(list("C001"), 3);
        box(&dialog, "Text2")->setText("C004");
        dialog.list()->moveTo(1);
        click(&dialog, "cmdOK");
        QCOMPARE(f.messages.texts(), QStringList{"客户C001当前积分转让到C004"});
        QCOMPARE(f.scalar("select kh from hyxc where id=?", {f.ids.at(1)}).toString(), QStringLiteral("C004"));
        QCOMPARE(f.rows("select kh, zhuanrangkh, jifen, jifenyue from hyxczhuanrang"), QStringLiteral("C001|C004|60|50"));
        QCOMPARE(dialog.list()->recordCount(), 2);
    }

    // On a server a command travels whole with its commit: a transfer and a
    // clearing (its walk done on the server, its total read after) are one round trip each.
    void commandsInFewRoundTrips()
    {
        if (!TestDatabase::onServer())
            QSKIP("a file has no round trips");
        Points f;
        Connection &c = f.state.connection();
        const auto trips = [&c](const std::function<void()> &command) {
            const quint64 before = c.roundTrips();
            command();
            return c.roundTrips() - before;
        };
        // A statement's text is prepared on its first use, in a round trip of its own: the second pass counts.
        for (int pass = 0; pass < 2; ++pass) {
            const quint64 moved = trips([&] {
                QCOMPARE(PointsCommands::transferRow(c, "C001", "C004", f.ids.at(pass)), PointsCommands::TransferOutcome::Moved);
            });
            const quint64 cleared = trips([&] { PointsCommands::clearPoints(c, "C004", "1", {}, kOperator); });
            if (pass == 1) {
                QCOMPARE(moved, quint64(1));
                QCOMPARE(cleared, quint64(1));
            }
        }
        QCOMPARE(f.left(), QStringLiteral("40 0"));
        QCOMPARE(f.scalar("select sum(jifenyue) from hyxc where kh='C004'").toInt(), 70 + 30 + 50 - 2);
    }

    // The server goes away and refuses to take the seat back: the clearing and
    // the window's refresh after it fail alike, and the operator is told once.
    void lostServerSaidOnce()
    {
        if (!TestDatabase::onServer())
            QSKIP("a file has no server to lose");
        Points f;
        Connection admin;
        admin.openLocation(f.db.path());
        const auto limit = [&admin](int n) {
            admin.execute(QStringLiteral("do $$ begin execute 'alter database ' || quote_ident(current_database()) "
                                         "|| ' connection limit %1'; end $$")
                              .arg(n));
        };
        limit(0);
        const QString others = QStringLiteral("select count(%1) from pg_stat_activity where datname=current_database() and pid<>pg_backend_pid()");
        admin.scalar(others.arg(QStringLiteral("pg_terminate_backend(pid)")));
        QTRY_COMPARE(admin.scalar(others.arg(QStringLiteral("*"))).toInt(), 0);
        box(&f.w, "Text3")->setText("C001");
        box(&f.w, "Text4")->setText("10");
        click(&f.w, "Command2");
        QCOMPARE(f.messages.texts(), QStringList{DbMessages::connectionLost()});
        QCOMPARE(admin.scalar("select count(*) from jifenallow").toInt(), 0);
        // Back again: the next command connects anew and is done.
        limit(-1);
        QTest::qWait(1);
        click(&f.w, "Command2");
        QCOMPARE(f.messages.last(), QStringLiteral("C001会员 10分已清除!"));
        QCOMPARE(admin.scalar("select sum(jifenyue) from hyxc where kh='C001'").toDouble(), 110.0);
    }

    // Another seat changes the shown row between showing and moving: nothing moves.
    void transferOneRowChangedMeanwhile_data()
    {
        QTest::addColumn<QString>("change"); // run by the other seat on the shown row
        QTest::addColumn<int>("listed");     // rows listed afterwards
        QTest::newRow("points cleared") << "update hyxc set jifenyue=jifenyue-10 where id=?" << 3;
        QTest::newRow("points earned") << "update hyxc set jifenyue=jifenyue+5 where id=?" << 3;
        QTest::newRow("moved to another customer") << "update hyxc set kh='C003' where id=?" << 2;
        QTest::newRow("deleted") << "delete from hyxc where id=?" << 2;
    }
    void transferOneRowChangedMeanwhile()
    {
        QFETCH(QString, change);
        QFETCH(int, listed);
        Points f;
        FrmJfzr dialog(f.state);
        box(&dialog, "Text1")->setText("C001");
        QTest::keyClick(box(&dialog, "Text1"), Qt::Key_Return);
        box(&dialog, "Text2")->setText("C004");
        dialog.list()->moveTo(1);
        Connection otherSeat;
        otherSeat.open(f.state.connectionText());
        otherSeat.execute(change, {f.ids.at(1)});
        const QString before = f.tickets();
        click(&dialog, "cmdOK");
        QCOMPARE(f.messages.texts(), QStringList{DbMessages::conflict()});
        QCOMPARE(f.tickets(), before);
        QCOMPARE(f.count("hyxczhuanrang"), 0);
        QCOMPARE(dialog.list()->recordCount(), listed);
    }
};

QTEST_MAIN(PointsTest)
#include "tst_points.moc"
