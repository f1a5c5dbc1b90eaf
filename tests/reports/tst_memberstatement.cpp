// A member's points statement after tickets, a refund, a clearing and
// transfers both ways: it closes on the points the member's tickets hold.
#include "archive/frmhyda.h"
#include "archive/pointscommands.h"
#include "reports/memberstatement.h"
#include "reports/reportdocument.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/shownreport.h"
#include "support/windowload.h"

#include <QDateEdit>
#include <QTest>

namespace {
const QString A = QStringLiteral("8800000101"), B = QStringLiteral("8800000102"), C = QStringLiteral("8800000103");
}

class TestMemberStatement : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void statement_data();
    void statement();
    void report();
    void fromTheCustomerWindow();

private:
    TestDatabase m_db;
};

void TestMemberStatement::initTestCase()
{
    Connection &c = m_db.connection();
    for (const QString &kh : {A, B, C})
        c.execute(QStringLiteral("insert into hyda(kh, xm) values(?, ?)"), {kh, QStringLiteral("会员") + kh.right(1)});
    const QString ticket = QStringLiteral("insert into hyxc(kh, cprq, kaishi, daoda, hangkong, piaohao, amount2, jfbl, "
                                          "jifen, jifenyue) values(?, ?, ?, ?, ?, ?, ?, 10, ?, ?)");
    auto add = [&](const QString &kh, const char *day, const char *from, const char *to, const char *airline,
                   double points) {
        c.execute(ticket, {kh, day, QString::fromUtf8(from), QString::fromUtf8(to), QString::fromUtf8(airline),
                           QStringLiteral("T") + day, points * 10, points, points});
        return c.scalar(QStringLiteral("select max(id) from hyxc")).toLongLong();
    };
    add(A, "2025-03-01", "北京", "上海", "国航", 100);
    add(A, "2025-08-10", "上海", "广州", "东航", 50.5);
    const qint64 refunded = add(A, "2025-09-01", "广州", "北京", "南航", 40);
    const qint64 passedOn = add(A, "2025-10-01", "北京", "成都", "川航", 30);
    const qint64 received = add(C, "2025-05-05", "成都", "北京", "川航", 70);

    QCOMPARE(PointsCommands::transferRow(c, C, A, received), PointsCommands::TransferOutcome::Moved);
    // A refund of untouched points leaves the row as the points rule does: state set, rate and points 0.
    c.execute(QStringLiteral("update hyxc set zt='退票', jfbl=0, amount2=0, jifen=0, jifenyue=0 where id=?"), {refunded});
    QCOMPARE(PointsCommands::clearPoints(c, A, QStringLiteral("60"), QStringLiteral("兑换"), QStringLiteral("admin")).outcome,
             PointsCommands::ClearOutcome::Cleared);
    QCOMPARE(PointsCommands::transferRow(c, A, B, passedOn), PointsCommands::TransferOutcome::Moved);
}

void TestMemberStatement::statement_data()
{
    QTest::addColumn<QString>("kh");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<double>("opening");
    QTest::addColumn<double>("closing");
    QTest::addColumn<QString>("kinds");
    const QDate all(2000, 1, 1), future(2099, 12, 31);
    QTest::newRow("A, all time") << A << all << future << 0.0 << 160.5
                                 << "购票 购票 退票 购票 转入 积分清除 转出";
    QTest::newRow("A, from June") << A << QDate(2025, 6, 1) << future << 100.0 << 160.5
                                  << "购票 退票 购票 转入 积分清除 转出";
    // Before today's transfers and clearing the member held 180.5.
    QTest::newRow("A, 2025") << A << all << QDate(2025, 12, 31) << 0.0 << 180.5 << "购票 购票 退票 购票";
}

void TestMemberStatement::statement()
{
    QFETCH(QString, kh);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(double, opening);
    QFETCH(double, closing);
    QFETCH(QString, kinds);
    const MemberStatement st = MemberStatements::build(m_db.connection(), kh, from, to);
    QCOMPARE(st.opening, opening);
    QCOMPARE(st.closing, closing);
    QStringList seen;
    double balance = st.opening;
    for (const StatementLine &line : st.lines) {
        seen << line.kind;
        balance += line.in - line.out;
        QCOMPARE(line.balance, balance);
    }
    QCOMPARE(seen.join(' '), kinds);
    QCOMPARE(balance, st.closing);
    if (to > QDate::currentDate())
        QCOMPARE(st.closing,
                 m_db.scalar(QStringLiteral("select total(jifenyue) from hyxc where kh='%1'").arg(kh)).toDouble());
}

void TestMemberStatement::report()
{
    const MemberStatement st = MemberStatements::build(m_db.connection(), A, QDate(2000, 1, 1), QDate(2099, 12, 31));
    const Report doc = MemberStatements::report(m_db.connection(), st);
    QVERIFY(doc);
    QCOMPARE(doc->title(), QStringLiteral("会员积分对账单"));
    QCOMPARE(doc->rowCount(), st.lines.size() + 2);
    QCOMPARE(doc->cell(doc->rowCount() - 1, 7), QStringLiteral("160.50"));
    QCOMPARE(doc->sumText("function6"), QStringLiteral("250.50"));
    QCOMPARE(doc->sumText("function7"), QStringLiteral("90.00"));
}

// The customer window's button opens the statement of the customer shown, for this year.
void TestMemberStatement::fromTheCustomerWindow()
{
    AppFixture f;
    f.addCustomer(QStringLiteral("8800000201"), QStringLiteral("赵六"));
    const QDate newYear(QDate::currentDate().year(), 1, 1);
    f.addTicket(QStringLiteral("8800000201"), {{QStringLiteral("cprq"), newYear.toString(Qt::ISODate)}});
    FRMHYDA w(f.state);
    click(&loaded(w), QStringLiteral("cmdStatement"));
    auto *statement = child(&w, QStringLiteral("FrmJfdzd"));
    QCOMPARE(box(statement, QStringLiteral("Txtkh"))->text(), QStringLiteral("8800000201"));
    // From the first of this year, read before and after: a year may turn meanwhile.
    auto *from = child<QDateEdit>(statement, QStringLiteral("dtpFrom"));
    QVERIFY2(from->date() == newYear || from->date() == QDate(QDate::currentDate().year(), 1, 1), qPrintable(from->date().toString()));
    from->setDate(newYear);
    click(statement, QStringLiteral("cmdyes"));
    const auto shown = shownReport();
    QVERIFY(shown);
    QCOMPARE(shown->cell(1, 1), QStringLiteral("购票"));
    QCOMPARE(shown->cell(shown->rowCount() - 1, 7), QStringLiteral("50.00"));
    closeShownReports();
}

QTEST_MAIN(TestMemberStatement)
#include "tst_memberstatement.moc"
