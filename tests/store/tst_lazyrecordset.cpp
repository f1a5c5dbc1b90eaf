// A recordset that reads its first rows at open and the rest later must
// behave exactly as one that reads every row at once.
#include "store/recordset.h"
#include "store/rowstore.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"

#include <QtTest>
#include <cmath>
#include <limits>

namespace {

const QString kCustomers = QStringLiteral("select * from hyda");

// What an operation shows of a recordset: the place it is at, and the card number there.
QString where(const Recordset &rs)
{
    return QStringLiteral("%1:%2:%3").arg(rs.currentIndex()).arg(rs.eof()).arg(rs.eof() ? QString() : rs.text(QStringLiteral("kh")));
}

// Customers P1..Pn named N1..Nn, their identities in that order.
void addCustomers(TestDatabase &db, int count)
{
    db.connection().execute(QStringLiteral("with recursive n(i) as (select 1 union all select i+1 from n where i<%1) "
                                           "insert into hyda (kh,xm) select 'P'||i, 'N'||i from n")
                                .arg(count));
}

} // namespace

class TestLazyRecordset : public QObject
{
    Q_OBJECT
private slots:
    void sameAsEager_data()
    {
        QTest::addColumn<QString>("first"); // the first thing asked of the recordsets
        QTest::addColumn<int>("firstRows");
        QTest::addColumn<int>("pagedBeyond"); // -1: never paged
        QTest::newRow("count, one row first") << "count" << 1 << -1;
        QTest::newRow("to a row not read yet") << "to 25" << 7 << -1;
        QTest::newRow("last, all but the last first") << "last" << 29 << -1;
        QTest::newRow("find the last") << "find" << 7 << -1;
        QTest::newRow("paged: count") << "count" << 1 << 0;
        QTest::newRow("paged: last") << "last" << 3 << 0;
        QTest::newRow("paged: find the last") << "find" << 7 << 0;
        QTest::newRow("paged past ten rows: to a row not read yet") << "to 25" << 3 << 10;
        QTest::newRow("paged past ten rows: find the last") << "find" << 3 << 10;
        QTest::newRow("paged past ten rows: last") << "last" << 3 << 10;
    }
    void sameAsEager()
    {
        QFETCH(QString, first);
        QFETCH(int, firstRows);
        QFETCH(int, pagedBeyond);
        TestDatabase db(TestDatabase::Content::Demo, {30, 60});
        Recordset eager, lazy;
        eager.open(kCustomers, &db.connection(), LockType::Optimistic);
        lazy.setFirstRows(firstRows);
        lazy.setPagedCache(pagedBeyond >= 0 ? 1 : 0, std::max(pagedBeyond, 0));
        lazy.open(kCustomers, &db.connection(), LockType::Optimistic);
        QCOMPARE(lazy.loadedCount(), firstRows);
        // Every row read later is announced, once, in order (a grid shows what is announced).
        int announced = firstRows;
        const auto announcing = connect(&lazy, &Recordset::rowsFetched, this, [&](int from, int to) {
            QCOMPARE(from, announced);
            announced = to + 1;
        });
        const QString lastName = eager.valueAt(29, eager.fieldIndex(QStringLiteral("xm"))).toString();
        const auto ask = [&](Recordset &rs) {
            if (first == QLatin1String("count"))
                QCOMPARE(rs.recordCount(), 30);
            else if (first == QLatin1String("last"))
                rs.moveLast();
            else if (first == QLatin1String("find"))
                QVERIFY(rs.find(QStringLiteral("xm='%1'").arg(lastName)));
            else
                rs.moveTo(25);
        };
        ask(eager);
        ask(lazy);
        QCOMPARE(where(lazy), where(eager));
        eager.moveNext();
        lazy.moveNext();
        QCOMPARE(where(lazy), where(eager));
        QCOMPARE(lazy.isPaged(), pagedBeyond >= 0);
        QCOMPARE(lazy.recordCount(), 30);
        QCOMPARE(announced, 30);
        disconnect(announcing);
        for (int row = 0; row < 30; ++row)
            QCOMPARE(lazy.valueAt(row, 1), eager.valueAt(row, 1));
        // A read left half way, then another on the same connection.
        {
            Recordset left;
            left.setFirstRows(1);
            left.open(kCustomers, &db.connection());
        }
        lazy.requery();
        QCOMPARE(lazy.recordCount(), 30);
    }

    // Reads longer than the server's first page: every row once, in order, whether
    // the last page is short, full or empty.
    void manyPages_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("one page exactly") << 200;
        QTest::newRow("the second page short") << 333;
        QTest::newRow("two pages exactly") << 600;
        QTest::newRow("a third page") << 601;
    }
    void manyPages()
    {
        QFETCH(int, rows);
        const QString sql = QStringLiteral("select id, kh from hyxc where id<=%1 order by id").arg(rows);
        Recordset lazy;
        lazy.setFirstRows(1);
        lazy.open(sql, &tickets().connection(), LockType::ReadOnly);
        QCOMPARE(lazy.recordCount(), rows);
        for (int row = 0; row < rows; ++row)
            QCOMPARE(lazy.valueAt(row, 0).toInt(), row + 1);
    }

    // A row further on fails while the rest is read in idle time: the rows before it stay, the
    // reading stops, and whoever shows the rows is told.
    void laterRowFails()
    {
        Recordset lazy;
        QSignalSpy failed(&lazy, &Recordset::readFailed);
        lazy.setFirstRows(5);
        // Past ticket 600 the condition overflows (on the server, in a later page than the first);
        // every column, so that the rows come in the order they were written.
        lazy.open(QStringLiteral("select * from hyxc where abs(-9223372036854775807 - (case when id > 600 then 1 else 0 end)) > 0"),
                  &tickets().connection(), LockType::ReadOnly);
        QTRY_COMPARE(failed.count(), 1);
        const int read = lazy.recordCount();
        QVERIFY2(read >= 5 && read <= 600, qPrintable(QString::number(read)));
        QVERIFY(!lazy.readError().isEmpty());
        QCOMPARE(failed.first().first().value<DbError>().description, lazy.readError());
        lazy.moveLast();
        QCOMPARE(lazy.currentIndex(), read - 1);
    }

    // A row read later is written back only while it holds what this recordset read.
    void optimisticWriteOfALaterRow()
    {
        TestDatabase db(TestDatabase::Content::Demo, {30, 60});
        Recordset lazy;
        lazy.setFirstRows(2);
        Connection seat; // an operator's, reading the rest on a session of its own
        seat.openLocation(db.seatPath(QStringLiteral("王芳")));
        lazy.open(kCustomers, &seat, LockType::Optimistic);
        const QVariant kh = lazy.valueAt(20, lazy.fieldIndex(QStringLiteral("kh")));
        db.connection().execute(QStringLiteral("update hyda set xm='别人改的' where kh=?"), {kh});
        // This seat writes too: the rows still to be read are those of the moment of opening.
        seat.execute(QStringLiteral("insert into hyda (kh,xm) values ('8877000002','本座')"));
        QCOMPARE(lazy.recordCount(), 30);
        lazy.moveTo(20);
        lazy.setValue(QStringLiteral("xm"), QStringLiteral("我改的"));
        try {
            lazy.update();
            QFAIL("a row changed by another seat was written over");
        } catch (const DbException &e) {
            QCOMPARE(e.kind(), DbErrorKind::Conflict);
        }
        QCOMPARE(lazy.text(QStringLiteral("xm")), QStringLiteral("别人改的"));
    }

    // Inside a command, a read in parts sees what the command wrote so far.
    void readInPartsInsideACommand()
    {
        TestDatabase db;
        TransactionGuard command(db.connection());
        db.connection().execute(QStringLiteral("insert into hyda (kh,xm) values ('8877000003','本座')"));
        Recordset lazy;
        lazy.setFirstRows(2);
        lazy.open(QStringLiteral("select * from hyda where kh='8877000003'"), &db.connection(), LockType::ReadOnly);
        QCOMPARE(lazy.recordCount(), 1);
    }

    // A paged recordset walked end to end over a million rows (fewer on the
    // server, which takes long to fill) holds no more
    // than its bound, shows every row's own values, and writes, deletes and
    // adds by identity wherever its pages are.
    void pagedWalkStaysInBound()
    {
        TestDatabase db;
        const int rows = TestDatabase::onServer() ? 60000 : 1000000;
        addCustomers(db, rows);
        Recordset rs;
        rs.setFirstRows(100);
        rs.setPagedCache(1); // the least: four pages
        rs.open(kCustomers, &db.connection(), LockType::Optimistic);
        QVERIFY(rs.isPaged());
        const int kh = rs.fieldIndex(QStringLiteral("kh")), bound = 4 * 128;
        rs.moveLast();
        QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("P%1").arg(rows));
        for (int row = 0; row < rows; row += rows / 200 - 1) {
            QCOMPARE(rs.valueAt(row, kh).toString(), QStringLiteral("P%1").arg(row + 1));
            QVERIFY2(rs.rowsHeld() <= bound, qPrintable(QString::number(rs.rowsHeld())));
        }
        const int later = rows * 7 / 10;
        rs.moveTo(later);
        rs.setValue(QStringLiteral("xm"), QStringLiteral("改过"));
        rs.update();
        rs.moveTo(3);
        rs.deleteCurrent();
        QCOMPARE(rs.valueAt(3, kh).toString(), QStringLiteral("P5"));
        QCOMPARE(rs.valueAt(later - 1, rs.fieldIndex(QStringLiteral("xm"))).toString(), QStringLiteral("改过"));
        rs.addNew();
        rs.setValue(QStringLiteral("kh"), QStringLiteral("Q1"));
        rs.setValue(QStringLiteral("xm"), QStringLiteral("新"));
        rs.update();
        QCOMPARE(rs.recordCount(), rows);
        rs.moveFirst();
        QVERIFY(rs.find(QStringLiteral("kh='P%1'").arg(later + 1)));
        QCOMPARE(rs.currentIndex(), later - 1);
        // The column alone, row by row, as a name index reads it: a row deleted by others reads empty.
        db.connection().execute(QStringLiteral("delete from hyda where kh='P10'"));
        int visited = 0;
        QVariant ninth, last;
        rs.scanStored(rs.fieldIndex(QStringLiteral("xm")), [&](int row, const QVariant &value) {
            QCOMPARE(row, visited++);
            if (row == 8)
                ninth = value;
            last = value;
        });
        QCOMPARE(visited, rows);
        QVERIFY(ninth.isNull());
        QCOMPARE(last.toString(), QStringLiteral("新"));
        QVERIFY(rs.rowsHeld() <= bound);
    }

    // Moving to the last row of a paged recordset counts the rows and reads the
    // last ones, not those between: a row others delete in between afterwards
    // leaves the rows closed up around an empty one (read at the move, the
    // empty row would stand in its own place), and nothing is lost or repeated.
    void lastRowsReadFromTheEnd()
    {
        TestDatabase db;
        const int rows = 5000;
        addCustomers(db, rows);
        Recordset rs;
        rs.setFirstRows(100);
        rs.setPagedCache(1);
        rs.open(kCustomers, &db.connection(), LockType::Optimistic);
        rs.moveLast();
        QCOMPARE(where(rs), QStringLiteral("4999:0:P5000"));
        rs.movePrevious();
        QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("P4999"));
        db.connection().execute(QStringLiteral("delete from hyda where kh in ('P2500','P4990')"));
        const int kh = rs.fieldIndex(QStringLiteral("kh"));
        QCOMPARE(rs.valueAt(4989, kh), QVariant()); // read before: empty in its place
        QVERIFY(!rs.valueAt(2499, kh).isNull());
        QStringList shown;
        int empty = 0;
        for (int row = 0; row < rows; ++row) {
            const QVariant value = rs.valueAt(row, kh);
            value.isNull() ? void(++empty) : shown.append(value.toString());
        }
        QCOMPARE(empty, 2);
        QCOMPARE(shown.size(), rows - 2);
        for (int i = 1, at = 0; i <= rows; ++i)
            if (i != 2500 && i != 4990)
                QCOMPARE(shown.at(at++), QStringLiteral("P%1").arg(i));
        QCOMPARE(rs.recordCount(), rows);
        for (const int card : {4000, 3000, 120}) {
            rs.moveFirst();
            QVERIFY(rs.find(QStringLiteral("kh='P%1'").arg(card)));
            QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("P%1").arg(card));
        }
        rs.addNew();
        rs.setValue(QStringLiteral("kh"), QStringLiteral("Q1"));
        rs.setValue(QStringLiteral("xm"), QStringLiteral("新"));
        rs.update();
        rs.moveLast();
        QCOMPARE(where(rs), QStringLiteral("5000:0:Q1"));
    }

    // Counted while it is still being read, a read that pages past a number of
    // rows turns to pages only when the table holds more; either way it shows
    // every row in its place.
    void countedWhileReading_data()
    {
        QTest::addColumn<int>("pagedBeyond");
        QTest::newRow("more than that: pages") << 9000;
        QTest::newRow("fewer: every row") << 20000;
    }
    void countedWhileReading()
    {
        QFETCH(int, pagedBeyond);
        TestDatabase db;
        const int rows = 10000;
        addCustomers(db, rows);
        Recordset rs;
        rs.setFirstRows(100);
        rs.setPagedCache(1024, pagedBeyond);
        rs.open(kCustomers, &db.connection(), LockType::Optimistic);
        QCOMPARE(rs.recordCount(), rows);
        QCOMPARE(rs.isPaged(), pagedBeyond < rows);
        const int kh = rs.fieldIndex(QStringLiteral("kh"));
        for (const int row : {rows - 1, 8500, 99, 100, 5000})
            QCOMPARE(rs.valueAt(row, kh).toString(), QStringLiteral("P%1").arg(row + 1));
    }

    // A value keeps only the bytes it needs; whatever its size, it reads back as
    // stored (type, value, sign), and so do the cells on either side of it.
    void valuesReadBackAsStored_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("zero") << QVariant(qint64(0));
        QTest::newRow("one byte") << QVariant(qint64(127));
        QTest::newRow("two bytes") << QVariant(qint64(128));
        QTest::newRow("negative one byte") << QVariant(qint64(-128));
        QTest::newRow("negative two bytes") << QVariant(qint64(-129));
        QTest::newRow("largest") << QVariant(std::numeric_limits<qint64>::max());
        QTest::newRow("smallest") << QVariant(std::numeric_limits<qint64>::min());
        QTest::newRow("whole float") << QVariant(1240.0);
        QTest::newRow("negative whole float") << QVariant(-35.0);
        QTest::newRow("minus zero") << QVariant(-0.0);
        QTest::newRow("fraction") << QVariant(0.5);
        QTest::newRow("whole float at 2^53") << QVariant(9007199254740992.0);
        QTest::newRow("whole float below -2^53") << QVariant(-9007199254740991.0);
        QTest::newRow("empty text") << QVariant(QString(""));
        QTest::newRow("text of 30 bytes") << QVariant(QString(30, QLatin1Char('x')));
        QTest::newRow("text of 31 bytes") << QVariant(QString(31, QLatin1Char('y')));
        QTest::newRow("Chinese text of 31 bytes") << QVariant(QStringLiteral("北京上海广州深圳成都Z"));
        QTest::newRow("bytes") << QVariant(QByteArray("\0\1\2", 3));
    }
    void valuesReadBackAsStored()
    {
        QFETCH(QVariant, value);
        RowStore rows;
        rows.reset(3);
        rows.appendEmpty();
        rows.appendEmpty();
        rows.setValue(0, 0, QStringLiteral("左"));
        rows.setValue(0, 2, qint64(-7));
        rows.setValue(0, 1, value);
        const QVariant read = rows.value(0, 1);
        const int type = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::QString
                                 || value.typeId() == QMetaType::QByteArray
                             ? value.typeId()
                             : int(QMetaType::LongLong);
        QCOMPARE(read.typeId(), type);
        QCOMPARE(read, value);
        QCOMPARE(std::signbit(read.toDouble()), std::signbit(value.toDouble()));
        QCOMPARE(rows.row(0), (QVector<QVariant>{QStringLiteral("左"), value, qint64(-7)}));
        QVERIFY(rows.value(1, 1).isNull());
        if (value.typeId() == QMetaType::QString)
            QCOMPARE(rows.textEquals(0, 1, RowStore::foldAscii(value.toString().toUpper().toUtf8())), true);
    }

    // The snapshot keeps its values in blocks; one larger than a block, and the values after it, read back whole.
    void valuesLargerThanABlock()
    {
        TestDatabase db;
        const QString big(3 * 1024 * 1024 + 7, QLatin1Char('x'));
        db.connection().execute(QStringLiteral("insert into dict (class,lx,sm) values ('a',1,?),('a',2,'after')"), {big});
        Recordset rs;
        rs.open(QStringLiteral("select sm from dict where class='a' order by lx"), &db.connection());
        QCOMPARE(rs.valueAt(0, 0).toString(), big);
        QCOMPARE(rs.valueAt(1, 0).toString(), QStringLiteral("after"));
    }

    void cleanupTestCase() { m_tickets.reset(); }

private:
    // 650 tickets, made once for the tests that read them in parts.
    TestDatabase &tickets()
    {
        if (!m_tickets)
            m_tickets = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{20, 650});
        return *m_tickets;
    }
    std::unique_ptr<TestDatabase> m_tickets;
};

QTEST_GUILESS_MAIN(TestLazyRecordset)
#include "tst_lazyrecordset.moc"
