// The customer points source keeps each card's ticket count and points by
// triggers; after any write it must equal a sum taken afresh over the tickets.
#include "store/recordset.h"
#include "support/testdatabase.h"

#include <QtTest>

namespace {

using Totals = QMap<QString, QList<double>>;

Totals read(Connection &c, const QString &sql)
{
    Recordset rs;
    rs.open(sql, &c);
    Totals totals;
    for (int i = 0; i < rs.recordCount(); ++i)
        totals[rs.valueAt(i, 0).toString().toLower()] = {rs.valueAt(i, 1).toDouble(), rs.valueAt(i, 2).toDouble(),
                                                         rs.valueAt(i, 3).toDouble()};
    return totals;
}

void compareWithFreshSums(Connection &c)
{
    const Totals kept = read(c, QStringLiteral("select kh, cs, jifen, jifenyue from SUMJIFEN"));
    const Totals fresh = read(c, QStringLiteral("select h.kh, count(x.kh), sum(x.jifen), sum(x.jifenyue) "
                                                "from hyda h left join hyxc x on x.kh = h.kh group by h.kh"));
    QCOMPARE(kept.keys(), fresh.keys());
    for (auto it = fresh.cbegin(); it != fresh.cend(); ++it)
        for (int k = 0; k < 3; ++k)
            if (std::abs(kept[it.key()][k] - it.value()[k]) > 1e-6)
                QFAIL(qPrintable(QStringLiteral("%1, column %2: kept %3, counted %4")
                                     .arg(it.key()).arg(k).arg(kept[it.key()][k]).arg(it.value()[k])));
}

} // namespace

class TestKeptPoints : public QObject
{
    Q_OBJECT
private slots:
    void equalFreshSums_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("as generated") << QString();
        QTest::newRow("new ticket") << QStringLiteral(
            "insert into hyxc (kh,cprq,ZS,amount2,jifen,jifenyue) values ('8800000001','2026-01-02',1,800,40.5,40.5)");
        QTest::newRow("ticket without points") << QStringLiteral("insert into hyxc (kh,jifen,jifenyue) "
                                                                 "values ('8800000002',null,null)");
        QTest::newRow("price and points change") << QStringLiteral("update hyxc set amount2=amount2+10, "
                                                                   "jifen=jifen+0.1, jifenyue=jifenyue+0.1 where id<9");
        QTest::newRow("refund") << QStringLiteral("update hyxc set zt='退票', jifen=0, jifenyue=0 where id=5");
        QTest::newRow("void") << QStringLiteral("delete from hyxc where id=6");
        QTest::newRow("clearing") << QStringLiteral("update hyxc set jifenyue=0 where kh='8800000003'");
        QTest::newRow("transfer one row") << QStringLiteral("update hyxc set kh='8800000003' where id=12");
        QTest::newRow("transfer to a card without tickets") << QStringLiteral(
            "insert into hyda (kh,xm) values ('8899999999','新客');update hyxc set kh='8899999999' where kh='8800000004'");
        QTest::newRow("deleted tickets") << QStringLiteral("delete from hyxc where id % 7 = 0");
        QTest::newRow("customer added") << QStringLiteral("insert into hyda (kh,xm) values ('8899999999','新客')");
        QTest::newRow("customer deleted") << QStringLiteral("delete from hyda where kh='8800000005'");
        QTest::newRow("customer renamed") << QStringLiteral("update hyda set kh='8899999998' where kh='8800000006'");
        QTest::newRow("every ticket deleted") << QStringLiteral("delete from hyxc");
    }
    void equalFreshSums()
    {
        QFETCH(QString, change);
        TestDatabase db(TestDatabase::Content::Demo, {20, 400});
        for (const QString &statement : change.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            QVERIFY(db.connection().execute(statement) > 0);
        compareWithFreshSums(db.connection());
    }

    // An archive of the version before the kept points gets them, filled, when opened.
    void addedToAnOlderArchive()
    {
        TestDatabase db(TestDatabase::Content::Demo, {20, 400});
        db.connection().executeScript(
            TestDatabase::onServer()
                ? QStringLiteral("DROP VIEW sumjifen; DROP TABLE sumkh; DROP FUNCTION hyxc_points_rows CASCADE;"
                                 "DROP FUNCTION hyxc_points_change CASCADE;")
                : QStringLiteral("DROP VIEW SUMJIFEN; DROP TRIGGER hyxc_points_add; DROP TRIGGER hyxc_points_remove;"
                                 "DROP TRIGGER hyxc_points_change; DROP TABLE SUMkh;"));
        db.connection().execute(QStringLiteral("update hyxc set jifen=jifen+1 where id<50"));
        db.connection().openLocation(db.path());
        compareWithFreshSums(db.connection());
        db.connection().execute(QStringLiteral("delete from hyxc where id<30"));
        compareWithFreshSums(db.connection());
    }
};

QTEST_GUILESS_MAIN(TestKeptPoints)
#include "tst_keptpoints.moc"
