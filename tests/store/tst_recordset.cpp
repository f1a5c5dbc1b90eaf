// Recordset navigation, searching and writing back, each test on a fresh archive.
#include "store/recordset.h"
#include "support/testdatabase.h"

#include <QTest>

namespace {

// The error number an action throws, 0 when it throws nothing.
template <typename Action> long errorOf(Action action)
{
    try {
        action();
    } catch (const DbException &e) {
        return e.number();
    }
    return 0;
}

} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT
    Recordset &open(const QString &sql, LockType lock = LockType::Optimistic)
    {
        m_rs = std::make_unique<Recordset>();
        m_rs->open(sql, &m_db->connection(), lock);
        return *m_rs;
    }
    QString column(const QString &name)
    {
        return m_db->scalar(QStringLiteral("select group_concat(%1, ',') from (select %1 from hyda order by id)").arg(name)).toString();
    }
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<Recordset> m_rs;

private slots:
    // Customers A01 (id 1), A02 (id 2), a03 (id 3), with one ticket each for A01 and A02.
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_db->connection().execute(QStringLiteral("insert into hyda (kh, xm) values ('A01', '王芳'), ('A02', 'O''Brien'), ('a03', 'Li Lei')"));
        m_db->connection().execute(QStringLiteral("insert into hyxc (kh, daoda, amount1) values ('A01', '上海', 1000), ('A02', '上海', 800)"));
    }
    void cleanup() { m_db.reset(); }

    // Before the first row and past the last there is no current row, and moving further is an error.
    void ends()
    {
        Recordset &rs = open(QStringLiteral("select * from hyda order by id"), LockType::ReadOnly);
        rs.moveTo(1);
        QCOMPARE(rs.text(QStringLiteral("Kh")), QStringLiteral("A02")); // field names ignore case
        rs.moveLast();
        rs.moveNext();
        QVERIFY(rs.eof() && !rs.bof());
        QCOMPARE(errorOf([&] { rs.moveNext(); }), DbErrorCode::NoCurrentRecord);
        QCOMPARE(errorOf([&] { rs.value(QStringLiteral("kh")); }), DbErrorCode::NoCurrentRecord);
        rs.moveFirst();
        rs.movePrevious();
        QVERIFY(rs.bof() && rs.currentIndex() == -1);
        QCOMPARE(errorOf([&] { rs.movePrevious(); }), DbErrorCode::NoCurrentRecord);
        // A snapshot: another write shows after a requery, which starts at the first row.
        m_db->connection().execute(QStringLiteral("insert into hyda (kh, xm) values ('A04', '赵强')"));
        QCOMPARE(rs.recordCount(), 3);
        rs.requery();
        QCOMPARE(rs.recordCount(), 4);
        QCOMPARE(rs.currentIndex(), 0);
    }

    void find_data()
    {
        QTest::addColumn<int>("start"); // 1-based
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<int>("found"); // 1-based, 0 for no match
        QTest::newRow("bracketed field, text in other case") << 1 << "[KH]='A03'" << 3;
        QTest::newRow("rows before the current one are skipped") << 3 << "kh='A01'" << 0;
        QTest::newRow("like") << 1 << "xm like 'li%'" << 3;
    }
    void find()
    {
        QFETCH(int, start);
        QFETCH(QString, criterion);
        QFETCH(int, found);
        Recordset &rs = open(QStringLiteral("select * from hyda order by id"), LockType::ReadOnly);
        rs.moveTo(start - 1);
        // Searching again with the same criterion stays on the row just found.
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(rs.find(criterion), found > 0);
            QCOMPARE(rs.currentIndex() + 1, found ? found : 4);
        }
    }

    // Pending edits and new rows are written when the recordset moves on; a cancelled new row never is.
    void editAddCancelDelete()
    {
        Recordset &rs = open(QStringLiteral("select * from hyda order by id"));
        rs.moveTo(1);
        rs.setValue(QStringLiteral("XM"), QStringLiteral("O'Neil"));
        rs.addNew();
        QCOMPARE(column(QStringLiteral("xm")), QStringLiteral("王芳,O'Neil,Li Lei"));
        rs.setValue(QStringLiteral("kh"), QStringLiteral("A04"));
        rs.setValue(QStringLiteral("xm"), QStringLiteral("赵强"));
        rs.moveFirst();
        // The new row got the next number and the column defaults, here and in the recordset.
        QCOMPARE(m_db->scalar(QStringLiteral("select hyzt from hyda where id=4 and kh='A04'")).toString(), QStringLiteral("有效"));
        QCOMPARE(rs.valueAt(3, rs.fieldIndex(QStringLiteral("id"))).toInt(), 4);
        QCOMPARE(rs.editMode(), Recordset::EditMode::None);
        rs.moveTo(1);
        rs.addNew();
        rs.setValue(QStringLiteral("kh"), QStringLiteral("N01"));
        rs.cancelUpdate();
        QCOMPARE(rs.recordCount(), 4);
        QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("A02"));
        // Deleting leaves no current row; the next one follows; the last deleted leaves the end.
        rs.deleteCurrent();
        QCOMPARE(errorOf([&] { rs.value(QStringLiteral("kh")); }), DbErrorCode::NoCurrentRecord);
        rs.moveNext();
        QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("a03"));
        rs.moveLast();
        rs.deleteCurrent();
        rs.moveNext();
        QVERIFY(rs.eof());
        QCOMPARE(column(QStringLiteral("kh")), QStringLiteral("A01,a03"));
    }

    void writeThroughColumnList_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("column"); // table.column written; empty: nothing may be
        QTest::newRow("itinerary columns") << "select [id],kh,daoda from hyxc where kh='A01'" << "daoda" << "hyxc.daoda";
        QTest::newRow("chinese alias") << "select amount1 as 公布价, id from hyxc order by id" << "公布价" << "hyxc.amount1";
        QTest::newRow("aggregate only in a subquery") << "select * from hyxc where id=(select min(id) from hyxc)" << "daoda" << "hyxc.daoda";
        QTest::newRow("aggregate words in a literal") << "select kh, xm from hyda where kh<>'sum(x) group by' order by id" << "xm" << "hyda.xm";
        QTest::newRow("view") << "select * from SUMJIFEN" << "kh" << "";
        QTest::newRow("join") << "select hyda.kh, hyxc.daoda from hyda join hyxc on hyxc.kh=hyda.kh" << "kh" << "";
        QTest::newRow("grouped") << "select kh, count(*) as n from hyxc group by kh" << "kh" << "";
    }
    void writeThroughColumnList()
    {
        QFETCH(QString, sql);
        QFETCH(QString, field);
        QFETCH(QString, column);
        const QString content = QStringLiteral("select (select group_concat(kh, ',') from hyda) || (select group_concat(kh, ',') from hyxc)");
        const QVariant before = m_db->scalar(content);
        Recordset &rs = open(sql);
        if (column.isEmpty()) {
            QCOMPARE(errorOf([&] { rs.setValue(field, QStringLiteral("Z9")); }), DbErrorCode::NotUpdatable);
            QCOMPARE(errorOf([&] { rs.addNew(); }), DbErrorCode::NotUpdatable);
            QCOMPARE(errorOf([&] { rs.deleteCurrent(); }), DbErrorCode::NotUpdatable);
            QCOMPARE(m_db->scalar(content), before);
            return;
        }
        rs.setValue(field, QStringLiteral("77"));
        rs.update();
        // Row 1 is the first of every one of these queries; no other row changes.
        const QString table = column.section(QLatin1Char('.'), 0, 0), name = column.section(QLatin1Char('.'), 1);
        QCOMPARE(m_db->scalar(QStringLiteral("select %1 from %2 where id=1").arg(name, table)).toString(), QStringLiteral("77"));
        QCOMPARE(m_db->count(QStringLiteral("%1 where %2='77'").arg(table, name)), 1);
    }

    void typedValues_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("typed");
        QTest::addColumn<QString>("storedType"); // empty: refused
        QTest::addColumn<QString>("stored");
        QTest::newRow("number with blanks") << "jifen" << QVariant(" 50 ") << "real" << "50";
        QTest::newRow("blank number") << "zk" << QVariant("  ") << "null" << "";
        QTest::newRow("month first date") << "qfrq" << QVariant("5/1/03") << "text" << "2003-05-01";
        QTest::newRow("text keeps its zeros") << "piaohao" << QVariant("007") << "text" << "007";
        QTest::newRow("misplaced separator") << "amount2" << QVariant("12,50") << "" << "";
        QTest::newRow("impossible date") << "cprq" << QVariant("2003-13-1") << "" << "";
    }
    void typedValues()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, typed);
        QFETCH(QString, storedType);
        QFETCH(QString, stored);
        const QString valueOf = QStringLiteral("select %1 from hyxc where id=1").arg(field);
        const QVariant before = m_db->scalar(valueOf);
        Recordset &rs = open(QStringLiteral("select * from hyxc order by id"));
        rs.setValue(field, typed);
        if (!storedType.isEmpty()) {
            rs.update();
            QCOMPARE(m_db->scalar(QStringLiteral("select typeof(%1) from hyxc where id=1").arg(field)).toString(), storedType);
            QCOMPARE(m_db->scalar(valueOf).toString(), stored);
            return;
        }
        QCOMPARE(errorOf([&] { rs.update(); }), DbErrorCode::GeneralFailure);
        QCOMPARE(m_db->scalar(valueOf), before);
    }

    // A name taken already (in another letter case) is refused, and the new row stays as typed to be mended.
    void duplicateKeyKeepsEdit()
    {
        Recordset &rs = open(QStringLiteral("select * from czyzd order by czy_no"));
        rs.addNew();
        rs.setValue(QStringLiteral("czy_name"), QStringLiteral("Admin"));
        QCOMPARE(errorOf([&] { rs.update(); }), DbErrorCode::GeneralFailure);
        QCOMPARE(rs.editMode(), Recordset::EditMode::Adding);
        QCOMPARE(rs.text(QStringLiteral("czy_name")), QStringLiteral("Admin"));
        rs.setValue(QStringLiteral("czy_name"), QStringLiteral("clerk2"));
        rs.update();
        QCOMPARE(m_db->count(QStringLiteral("czyzd")), 3);
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
