// Figures kept by triggers: the customer points source (each card's ticket
// count and points) and the ticket statistics. After any write they must
// equal the same figures counted afresh over the tickets.
#include "store/recordset.h"
#include "support/testdatabase.h"

#include <QtTest>

namespace {

// Card number and its three figures, one text per card.
QStringList read(Connection &c, const QString &sql)
{
    Recordset rs;
    rs.open(sql, &c);
    QStringList cards;
    for (int i = 0; i < rs.recordCount(); ++i)
        cards << QStringLiteral("%1 %2 %3 %4").arg(rs.valueAt(i, 0).toString().toLower()).arg(rs.valueAt(i, 1).toDouble())
                     .arg(rs.valueAt(i, 2).toDouble(), 0, 'f', 4).arg(rs.valueAt(i, 3).toDouble(), 0, 'f', 4);
    cards.sort();
    return cards;
}

void compareWithFreshPoints(Connection &c)
{
    QCOMPARE(read(c, QStringLiteral("select kh, cs, jifen, jifenyue from SUMJIFEN")),
             read(c, QStringLiteral("select h.kh, count(x.kh), sum(x.jifen), sum(x.jifenyue) from hyda h left join hyxc x on x.kh = h.kh group by h.kh")));
}

// Rows of a statistics source missing from a fresh count over the valid tickets, and rows it has beyond it.
void compareWithFreshStatistics(TestDatabase &db, const QString &source, const QString &keys)
{
    const QString fresh = QStringLiteral(
        "select %1, total(ZS) as z, total(amount1*ZS) as a1, total(amount2*ZS) as a2, total(amount3*ZS) as a3 "
        "from (select coalesce(hangkong,'') as hangkong, coalesce(cprq,'') as cprq, coalesce(neivai,'') as neivai, "
        "coalesce(dpy,'') as dpy, coalesce(kaishi,'') as kaishi, coalesce(daoda,'') as daoda, ZS, amount1, amount2, "
        "amount3 from hyxc where zt is null or zt='正常') group by %1").arg(keys);
    const QString kept = QStringLiteral("select %1, ZSOFSUM as z, AMOUNT1OFSUM as a1, AMOUNT2OFSUM as a2, AMOUNT3OFSUM as a3 from %2").arg(keys, source);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from (%1 except %2)").arg(fresh, kept)).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from (%2 except %1)").arg(fresh, kept)).toInt(), 0);
}

} // namespace

class TestKeptPoints : public QObject
{
    Q_OBJECT
private slots:
    void equalFreshSums_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("new ticket") << QStringLiteral(
            "insert into hyxc (kh,cprq,hangkong,neivai,dpy,kaishi,daoda,ZS,amount1,amount2,amount3,jifen,jifenyue) values "
            "('8800000001','2026-01-02','国航','国内','王芳','北京','上海',2,1000,800,760,40.5,40.5)");
        QTest::newRow("ticket without airline, amounts or points")
            << QStringLiteral("insert into hyxc (kh,cprq,ZS,jifen,jifenyue) values ('8800000002','2026-01-03',1,null,null)");
        QTest::newRow("refund undone") << QStringLiteral("update hyxc set zt='退票' where id=5;update hyxc set zt='正常' where id=5");
        // Two tickets of one group; the one voided is changed again and must stay out.
        QTest::newRow("voided ticket changed again") << QStringLiteral(
            "insert into hyxc (kh,cprq,hangkong,neivai,dpy,kaishi,daoda,ZS,amount2) values ('8800000001','2026-01-02','国航','国内',"
            "'王芳','北京','上海',1,800),('8800000002','2026-01-02','国航','国内','王芳','北京','上海',2,700);"
            "update hyxc set zt='作废' where id=(select max(id) from hyxc);update hyxc set amount2=1 where id=(select max(id) from hyxc)");
        QTest::newRow("moved to another day and airline, new price and points") << QStringLiteral(
            "update hyxc set cprq='2026-02-01', hangkong='东航', amount2=amount2+10, jifen=jifen+0.1, jifenyue=jifenyue+0.1 where id<9");
        QTest::newRow("transfer one row") << QStringLiteral("update hyxc set kh='8800000003' where id=12");
        QTest::newRow("transfer to a new card") << QStringLiteral(
            "insert into hyda (kh,xm) values ('8899999999','新客');update hyxc set kh='8899999999' where kh='8800000004'");
        QTest::newRow("deleted tickets") << QStringLiteral("delete from hyxc where id % 7 = 0");
        QTest::newRow("every ticket deleted") << QStringLiteral("delete from hyxc");
        QTest::newRow("customer deleted") << QStringLiteral("delete from hyda where kh='8800000005'");
        QTest::newRow("customer renamed") << QStringLiteral("update hyda set kh='8899999998' where kh='8800000006'");
    }
    void equalFreshSums()
    {
        QFETCH(QString, change);
        TestDatabase db(TestDatabase::Content::Demo, {20, 400});
        for (const QString &statement : change.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            QVERIFY(db.connection().execute(statement) > 0);
        compareWithFreshPoints(db.connection());
        compareWithFreshStatistics(db, QStringLiteral("SUMhangkong"), QStringLiteral("hangkong,cprq,neivai"));
        compareWithFreshStatistics(db, QStringLiteral("SUMgeren"), QStringLiteral("dpy,cprq,hangkong"));
        compareWithFreshStatistics(db, QStringLiteral("SUMdaoda"), QStringLiteral("kaishi,daoda,cprq"));
    }

    // An archive of the version before the kept points, the day index, the Jet
    // functions and the server's name index gets them, filled, when opened.
    void addedToAnOlderArchive()
    {
        TestDatabase db(TestDatabase::Content::Demo, {20, 400});
        const bool server = TestDatabase::onServer();
        db.connection().executeScript(
            server ? QStringLiteral("DROP VIEW sumjifen; DROP TABLE sumkh; DROP FUNCTION hyxc_points_rows CASCADE;"
                                    "DROP FUNCTION hyxc_points_change CASCADE; DROP INDEX sumhangkong_day;"
                                    "DROP FUNCTION jet_named_format; DROP FUNCTION jet_require; DROP FUNCTION jet_cat(text, text) CASCADE;"
                                    "DROP INDEX hyda_xm_id; CREATE INDEX hyda_xm ON hyda(xm);")
                   : QStringLiteral("DROP VIEW SUMJIFEN; DROP TRIGGER hyxc_points_add; DROP TRIGGER hyxc_points_remove;"
                                    "DROP TRIGGER hyxc_points_change; DROP TABLE SUMkh; DROP INDEX SUMhangkong_day;"));
        db.connection().execute(QStringLiteral("update hyxc set jifen=jifen+1 where id<50"));
        db.connection().openLocation(db.path());
        compareWithFreshPoints(db.connection());
        const QString dayIndex = server ? QStringLiteral("select count(*) from pg_indexes where indexname='sumhangkong_day'")
                                        : QStringLiteral("select count(*) from sqlite_master where name='SUMhangkong_day'");
        QCOMPARE(db.scalar(dayIndex).toInt(), 1);
        if (server) {
            QCOMPARE(db.scalar(QStringLiteral("select string_agg(indexname, ',') from pg_indexes where indexname like 'hyda_xm%'"))
                         .toString(),
                     QStringLiteral("hyda_xm_id"));
            // The points view's rows are known by their id, as a table's by its key (so an order by it needs no sort).
            QCOMPARE(db.scalar(QStringLiteral("select rowid from sumjifen where kh='8800000003'")).toInt(), 3);
        }
        QCOMPARE(db.scalar(QStringLiteral("select 'a' & 1 & format(1234.5, 'Standard')")).toString(), QStringLiteral("a11,234.50"));
        db.connection().execute(QStringLiteral("delete from hyxc where id<30"));
        compareWithFreshPoints(db.connection());
    }
};

QTEST_GUILESS_MAIN(TestKeptPoints)
#include "tst_keptpoints.moc"
