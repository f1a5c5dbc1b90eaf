// The ticket statistics are kept by triggers; whatever is done to the
// tickets, they must equal a fresh count over the tickets themselves.
#include "support/testdatabase.h"

#include <QtTest>

namespace {

// Rows of a statistics source, against the same figures counted afresh.
QString difference(TestDatabase &db, const QString &source, const QString &keys)
{
    const QString fresh = QStringLiteral(
        "select %1, total(ZS) as z, total(amount1*ZS) as a1, total(amount2*ZS) as a2, total(amount3*ZS) as a3 "
        "from (select coalesce(hangkong,'') as hangkong, coalesce(cprq,'') as cprq, coalesce(neivai,'') as neivai, "
        "coalesce(dpy,'') as dpy, coalesce(kaishi,'') as kaishi, coalesce(daoda,'') as daoda, ZS, amount1, amount2, "
        "amount3 from hyxc where zt is null or zt='正常') group by %1").arg(keys);
    const QString kept = QStringLiteral("select %1, ZSOFSUM as z, AMOUNT1OFSUM as a1, AMOUNT2OFSUM as a2, "
                                        "AMOUNT3OFSUM as a3 from %2").arg(keys, source);
    const int a = db.scalar(QStringLiteral("select count(*) from (%1 except %2)").arg(fresh, kept)).toInt();
    const int b = db.scalar(QStringLiteral("select count(*) from (%2 except %1)").arg(fresh, kept)).toInt();
    return a == 0 && b == 0 ? QString() : QStringLiteral("%1: %2 missing, %3 extra").arg(source).arg(a).arg(b);
}

void checkAll(TestDatabase &db)
{
    QCOMPARE(difference(db, QStringLiteral("SUMhangkong"), QStringLiteral("hangkong,cprq,neivai")), QString());
    QCOMPARE(difference(db, QStringLiteral("SUMgeren"), QStringLiteral("dpy,cprq,hangkong")), QString());
    QCOMPARE(difference(db, QStringLiteral("SUMdaoda"), QStringLiteral("kaishi,daoda,cprq")), QString());
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT
private slots:
    void keptThroughEveryChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("as generated") << QString();
        QTest::newRow("new ticket") << QStringLiteral(
            "insert into hyxc (kh,cprq,hangkong,neivai,dpy,kaishi,daoda,ZS,amount1,amount2,amount3) values "
            "('8800000001','2026-01-02','国航','国内','王芳','北京','上海',2,1000,800,760)");
        QTest::newRow("ticket without airline or amounts")
            << QStringLiteral("insert into hyxc (kh,cprq,ZS) values ('8800000002','2026-01-03',1)");
        QTest::newRow("refund undone") << QStringLiteral("update hyxc set zt='退票' where id=5;update hyxc set zt='正常' where id=5");
        // Two tickets of one group; the one voided is changed again and must stay out.
        QTest::newRow("voided ticket changed again") << QStringLiteral(
            "insert into hyxc (kh,cprq,hangkong,neivai,dpy,kaishi,daoda,ZS,amount2) values ('8800000001','2026-01-02','国航','国内',"
            "'王芳','北京','上海',1,800),('8800000002','2026-01-02','国航','国内','王芳','北京','上海',2,700);"
            "update hyxc set zt='作废' where id=(select max(id) from hyxc);update hyxc set amount2=1 where id=(select max(id) from hyxc)");
        QTest::newRow("moved to another day and airline, new price")
            << QStringLiteral("update hyxc set cprq='2026-02-01', hangkong='东航', amount2=amount2+10 where id=10");
        QTest::newRow("deleted tickets") << QStringLiteral("delete from hyxc where id % 7 = 0");
        QTest::newRow("every ticket deleted") << QStringLiteral("delete from hyxc");
    }
    void keptThroughEveryChange()
    {
        QFETCH(QString, change);
        TestDatabase db(TestDatabase::Content::Demo, {20, 400});
        for (const QString &statement : change.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            db.connection().execute(statement);
        checkAll(db);
        if (change.startsWith(QLatin1String("delete from hyxc")) && !change.contains(QLatin1Char('%')))
            QCOMPARE(db.count(QStringLiteral("SUMhangkong")), 0);
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
