// A member's points statement after tickets, a refund, a clearing and
// transfers both ways: it closes on the points the member's tickets hold.
#include "domain/archive/pointscommands.h"
#include "reports/frmjfdzd.h"
#include "reports/memberstatement.h"
#include "domain/reports/reportdocument.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/shownreport.h"

#include <QDateEdit>
#include <QTest>

namespace {
const QString A = QStringLiteral("8800000101"), B = QStringLiteral("8800000102"), C = QStringLiteral("8800000103");
}

class TestMemberStatement : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Connection &c = m_f.db.connection();
        for (const QString &kh : {A, B, C})
            m_f.addCustomer(kh);
        add(A, "2025-03-01", 100);
        add(A, "2025-08-10", 50.5);
        const qint64 refunded = add(A, "2025-09-01", 40);
        const qint64 passedOn = add(A, "2025-10-01", 30);
        QCOMPARE(PointsCommands::transferRow(c, C, A, add(C, "2025-05-05", 70)), PointsCommands::TransferOutcome::Moved);
        // A refund of untouched points leaves the row as the points rule does: state set, rate and points 0.
        c.execute("update hyxc set zt='退票', jfbl=0, amount2=0, jifen=0, jifenyue=0 where id=?", {refunded});
        QCOMPARE(PointsCommands::clearPoints(c, A, "60", "兑换", "admin").outcome, PointsCommands::ClearOutcome::Cleared);
        QCOMPARE(PointsCommands::transferRow(c, A, B, passedOn), PointsCommands::TransferOutcome::Moved);
    }

    void statement_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<double>("opening");
        QTest::addColumn<double>("closing");
        QTest::addColumn<QString>("kinds");
        const QDate all(2000, 1, 1), future(2099, 12, 31);
        QTest::newRow("all time") << all << future << 0.0 << 160.5 << "购票 购票 退票 购票 转入 积分清除 转出";
        QTest::newRow("from June") << QDate(2025, 6, 1) << future << 100.0 << 160.5 << "购票 退票 购票 转入 积分清除 转出";
        // Before today's transfers and clearing the member held 180.5.
        QTest::newRow("2025") << all << QDate(2025, 12, 31) << 0.0 << 180.5 << "购票 购票 退票 购票";
    }

    void statement()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(double, opening);
        QFETCH(double, closing);
        QFETCH(QString, kinds);
        const MemberStatement st = MemberStatements::build(m_f.db.connection(), A, from, to);
        QCOMPARE(st.opening, opening);
        QStringList seen;
        double balance = st.opening, in = 0, out = 0;
        for (const StatementLine &line : st.lines) {
            seen << line.kind;
            in += line.in;
            out += line.out;
            balance += line.in - line.out;
            QCOMPARE(line.balance, balance);
        }
        QCOMPARE(seen.join(' '), kinds);
        QCOMPARE(st.closing, closing);
        QCOMPARE(balance, closing);
        if (to > QDate::currentDate())
            QCOMPARE(closing, m_f.scalar("select total(jifenyue) from hyxc where kh=?", {A}).toDouble());
        // As a report: the opening row, the movements, the closing row, and the totals in and out.
        const Report doc = MemberStatements::report(m_f.db.connection(), st);
        QCOMPARE(doc->rowCount(), st.lines.size() + 2);
        QCOMPARE(doc->cell(doc->rowCount() - 1, 7), QString::number(closing, 'f', 2));
        QCOMPARE(doc->sumText("function6"), QString::number(in, 'f', 2));
        QCOMPARE(doc->sumText("function7"), QString::number(out, 'f', 2));
    }

    void reversedPeriodRefused()
    {
        FrmJfdzd w(m_f.state, A);
        child<QDateEdit>(&w, "dtpFrom")->setDate(QDate(2024, 6, 30));
        child<QDateEdit>(&w, "dtpTo")->setDate(QDate(2024, 1, 1));
        w.cmdyes_Click();
        QCOMPARE(m_f.messages.texts(), QStringList{"结束日期 2024-01-01 早于开始日期 2024-06-30，请重新选择。"});
        QVERIFY(openPreviews().isEmpty());
    }

private:
    qint64 add(const QString &kh, const char *day, double points)
    {
        return m_f.addTicket(kh, {{"cprq", day}, {"jifen", points}, {"jifenyue", points}});
    }
    AppFixture m_f;
};

QTEST_MAIN(TestMemberStatement)
#include "tst_memberstatement.moc"
