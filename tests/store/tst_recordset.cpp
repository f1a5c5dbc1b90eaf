// Recordset navigation, searching and writing back, each test on a fresh database.
#include "store/recordset.h"
#include "support/testdatabase.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

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

// Customers A01 (id 1), A02 (id 2), a03 (id 3), with one ticket each for A01 and A02.
void addCustomers(Connection &c)
{
    c.execute(QStringLiteral("insert into hyda (kh, xm) values ('A01', '王芳'), ('A02', 'O''Brien'), ('a03', 'Li Lei')"));
    c.execute(QStringLiteral("insert into hyxc (kh, daoda, amount1) values ('A01', '上海', 1000), ('A02', '上海', 800)"));
}

QString contentOf(TestDatabase &db)
{
    return db.scalar(QStringLiteral("select group_concat(kh || xm, ',') from hyda")).toString()
           + db.scalar(QStringLiteral("select group_concat(kh || daoda || amount1, ',') from hyxc")).toString();
}

} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void emptySet();
    void oneRow();
    void positions();
    void find_data();
    void find();
    void addNewFillsCounterAndDefaults_data();
    void addNewFillsCounterAndDefaults();
    void cancelAddNew();
    void editAndMoveSaves();
    void writeThroughColumnList_data();
    void writeThroughColumnList();
    void deleteThenMoveNext();
    void requery();
    void fieldNamesIgnoreCase();
    void notUpdatable_data();
    void notUpdatable();
    void typedValues_data();
    void typedValues();
    void duplicateKeyKeepsEdit_data();
    void duplicateKeyKeepsEdit();

private:
    Connection &connection() { return m_db->connection(); }
    void open(Recordset &rs, const QString &sql, LockType lock = LockType::Optimistic)
    {
        rs.open(sql, &connection(), lock);
    }
    std::unique_ptr<TestDatabase> m_db;
};

void TestRecordset::init()
{
    m_db = std::make_unique<TestDatabase>();
    addCustomers(connection());
}

void TestRecordset::cleanup()
{
    m_db.reset();
}

void TestRecordset::emptySet()
{
    Recordset rs;
    open(rs, QStringLiteral("select * from hyda where kh='none'"));
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.bof() && rs.eof());
    rs.moveFirst();
    rs.moveLast();
    QVERIFY(rs.bof() && rs.eof());
    QCOMPARE(errorOf([&] { rs.moveNext(); }), DbErrorCode::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.movePrevious(); }), DbErrorCode::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.value(QStringLiteral("kh")); }), DbErrorCode::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.setValue(QStringLiteral("kh"), QStringLiteral("x")); }), DbErrorCode::NoCurrentRecord);
    QVERIFY(!rs.find(QStringLiteral("kh='A01'")));
    QVERIFY(rs.eof());
}

void TestRecordset::oneRow()
{
    Recordset rs;
    open(rs, QStringLiteral("select * from czyzd where czy_name='admin'"), LockType::ReadOnly);
    QCOMPARE(rs.recordCount(), 1);
    QVERIFY(!rs.bof() && !rs.eof());
    QCOMPARE(rs.currentIndex() + 1, 1);

    rs.moveNext();
    QVERIFY(rs.eof() && !rs.bof());
    QCOMPARE(rs.currentIndex(), rs.recordCount());
    QCOMPARE(errorOf([&] { rs.moveNext(); }), DbErrorCode::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.value(0); }), DbErrorCode::NoCurrentRecord);

    rs.movePrevious();
    QCOMPARE(rs.text(QStringLiteral("czy_name")), QStringLiteral("admin"));
    rs.movePrevious();
    QVERIFY(rs.bof() && !rs.eof());
    QCOMPARE(rs.currentIndex(), -1);
    QCOMPARE(errorOf([&] { rs.movePrevious(); }), DbErrorCode::NoCurrentRecord);

    rs.moveNext();
    QCOMPARE(rs.currentIndex() + 1, 1);
    rs.moveLast();
    QCOMPARE(rs.currentIndex() + 1, 1);
}

void TestRecordset::positions()
{
    Recordset rs;
    open(rs, QStringLiteral("select * from hyda order by id"), LockType::ReadOnly);
    QSignalSpy moved(&rs, &Recordset::currentRowChanged);

    rs.moveNext();
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.takeFirst().at(0).toInt(), 1);
    QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("A02"));

    rs.moveLast();
    QCOMPARE(rs.currentIndex() + 1, 3);
    QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("a03"));
    rs.moveFirst();
    QCOMPARE(rs.currentIndex() + 1, 1);
    rs.moveTo(1);
    QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("A02"));

    rs.moveTo(3 - 1);
    QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("a03"));
    rs.moveTo(9);
    QVERIFY(rs.eof());
    QCOMPARE(moved.count(), 5);
}

void TestRecordset::find_data()
{
    QTest::addColumn<int>("start"); // 1-based
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<int>("found"); // 1-based, 0 for no match

    QTest::newRow("text") << 1 << "kh='A02'" << 2;
    QTest::newRow("text, other case") << 1 << "kh='A03'" << 3;
    QTest::newRow("doubled apostrophe") << 1 << "xm='O''Brien'" << 2;
    QTest::newRow("number") << 1 << "id=3" << 3;
    QTest::newRow("number with blanks") << 1 << "id = 2" << 2;
    QTest::newRow("bracketed field, field in upper case") << 1 << "[KH]='A02'" << 2;
    QTest::newRow("current row included") << 2 << "kh='A02'" << 2;
    QTest::newRow("rows before the current one are skipped") << 3 << "kh='A01'" << 0;
    QTest::newRow("chinese text") << 1 << "xm='王芳'" << 1;
    QTest::newRow("like") << 1 << "xm like 'li%'" << 3;
    QTest::newRow("no match") << 1 << "kh='Z99'" << 0;
}

void TestRecordset::find()
{
    QFETCH(int, start);
    QFETCH(QString, criterion);
    QFETCH(int, found);
    Recordset rs;
    open(rs, QStringLiteral("select * from hyda order by id"), LockType::ReadOnly);
    rs.moveTo(start - 1);

    QCOMPARE(rs.find(criterion), found > 0);
    if (found == 0) {
        QVERIFY(rs.eof());
        return;
    }
    QCOMPARE(rs.currentIndex() + 1, found);
    // Searching again with the same criterion stays on the row just found.
    QVERIFY(rs.find(criterion));
    QCOMPARE(rs.currentIndex() + 1, found);
}

void TestRecordset::addNewFillsCounterAndDefaults_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("defaulted");
    QTest::addColumn<QString>("defaultValue"); // empty: any value but NULL

    QTest::newRow("log entry") << "czyrz" << "czyname" << "tag" << "init_time" << "";
    QTest::newRow("operator") << "czyzd" << "czy_name" << "czy_no" << "sys_tag" << "0";
    QTest::newRow("customer") << "hyda" << "kh" << "id" << "hyzt" << "有效";
    QTest::newRow("ticket") << "hyxc" << "kh" << "id" << "zt" << "正常";
}

void TestRecordset::addNewFillsCounterAndDefaults()
{
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QString, counter);
    QFETCH(QString, defaulted);
    QFETCH(QString, defaultValue);
    Recordset rs;
    open(rs, QStringLiteral("select * from ") + table);
    const int before = rs.recordCount();

    rs.addNew();
    rs.setValue(field, QStringLiteral("K1"));
    if (table == QLatin1String("hyda"))
        rs.setValue(QStringLiteral("xm"), QStringLiteral("新客户"));
    rs.update();

    QCOMPARE(rs.recordCount(), before + 1);
    QCOMPARE(m_db->count(table), before + 1);
    const QVariant id = rs.value(counter);
    QVERIFY(!id.isNull());
    QCOMPARE(id.toLongLong(), connection().scalar(QStringLiteral("select last_insert_rowid()")).toLongLong());
    const QString saved = QStringLiteral("select %1 from %2 where %3=%4").arg(field, table, counter, id.toString());
    QCOMPARE(m_db->scalar(saved).toString(), QStringLiteral("K1"));
    const QVariant filled = rs.value(defaulted);
    QVERIFY(!filled.isNull());
    if (!defaultValue.isEmpty())
        QCOMPARE(filled.toString(), defaultValue);
}

void TestRecordset::cancelAddNew()
{
    Recordset rs;
    open(rs, QStringLiteral("select * from hyda order by id"));
    rs.moveTo(2 - 1);
    rs.addNew();
    rs.setValue(QStringLiteral("kh"), QStringLiteral("N01"));
    rs.setValue(QStringLiteral("xm"), QStringLiteral("never saved"));
    QCOMPARE(rs.recordCount(), 4);
    rs.cancelUpdate();

    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("A02"));
    rs.moveLast();
    QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("a03"));
    QCOMPARE(m_db->count(QStringLiteral("hyda")), 3);
}

void TestRecordset::editAndMoveSaves()
{
    Recordset rs;
    open(rs, QStringLiteral("select * from hyda order by id"));
    rs.moveTo(2 - 1);
    rs.setValue(QStringLiteral("XM"), QStringLiteral("O'Neil"));
    rs.update();
    QCOMPARE(m_db->scalar(QStringLiteral("select xm from hyda where id=2")).toString(), QStringLiteral("O'Neil"));
    QCOMPARE(m_db->scalar(QStringLiteral("select xm from hyda where id=1")).toString(), QStringLiteral("王芳"));

    // A pending edit or a pending new row is written when the recordset moves on.
    rs.setValue(QStringLiteral("dw"), QStringLiteral("长城建设"));
    rs.addNew();
    QCOMPARE(m_db->scalar(QStringLiteral("select dw from hyda where id=2")).toString(), QStringLiteral("长城建设"));
    rs.setValue(QStringLiteral("kh"), QStringLiteral("A04"));
    rs.setValue(QStringLiteral("xm"), QStringLiteral("赵强"));
    rs.moveFirst();
    QCOMPARE(m_db->count(QStringLiteral("hyda where kh='A04' and xm='赵强'")), 1);
    QCOMPARE(rs.editMode(), Recordset::EditMode::None);
}

void TestRecordset::writeThroughColumnList_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");

    QTest::newRow("itinerary columns") << "select [id],kh,daoda from hyxc where kh='A01'" << "daoda" << "hyxc"
                                       << "daoda";
    QTest::newRow("alias") << "select kh as card, xm from hyda" << "card" << "hyda" << "kh";
    QTest::newRow("reordered") << "select xm, dw, kh from hyda where kh='A01'" << "xm" << "hyda" << "xm";
    QTest::newRow("chinese alias") << "select amount1 as 公布价, id from hyxc order by id" << "公布价" << "hyxc"
                                   << "amount1";
    QTest::newRow("aggregate only in a subquery") << "select * from hyxc where id=(select min(id) from hyxc)" << "daoda"
                                                  << "hyxc" << "daoda";
    QTest::newRow("aggregate words in a literal") << "select kh, xm from hyda where kh<>'sum(x) group by' order by id"
                                                  << "xm" << "hyda" << "xm";
}

void TestRecordset::writeThroughColumnList()
{
    QFETCH(QString, sql);
    QFETCH(QString, field);
    QFETCH(QString, table);
    QFETCH(QString, column);
    const QString others = QStringLiteral("select group_concat(%1) from %2 where id<>1").arg(column, table);
    const QVariant untouched = m_db->scalar(others);

    Recordset rs;
    open(rs, sql);
    QVERIFY(rs.isUpdatable());
    rs.setValue(field, QStringLiteral("77"));
    rs.update();

    // Row 1 is the first of every one of these queries.
    const QString first = QStringLiteral("select %1 from %2 where id=1").arg(column, table);
    QCOMPARE(m_db->scalar(first).toString(), QStringLiteral("77"));
    QCOMPARE(m_db->scalar(others), untouched);
    QCOMPARE(rs.value(field).toString(), QStringLiteral("77"));
}

void TestRecordset::deleteThenMoveNext()
{
    Recordset rs;
    open(rs, QStringLiteral("select * from hyda order by id"));
    rs.moveTo(2 - 1);
    rs.deleteCurrent();
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(errorOf([&] { rs.value(QStringLiteral("kh")); }), DbErrorCode::NoCurrentRecord);
    rs.moveNext();
    QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("a03"));
    QCOMPARE(m_db->count(QStringLiteral("hyda where kh='A02'")), 0);
    QCOMPARE(m_db->count(QStringLiteral("hyda")), 2);

    // Deleting the last row leaves the recordset at its end.
    rs.deleteCurrent();
    rs.moveNext();
    QVERIFY(rs.eof());
    rs.movePrevious();
    QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("A01"));
}

void TestRecordset::requery()
{
    Recordset rs;
    open(rs, QStringLiteral("select * from hyda order by id"), LockType::ReadOnly);
    rs.moveLast();
    QSignalSpy reset(&rs, &Recordset::rowsReset);
    connection().execute(QStringLiteral("insert into hyda (kh, xm) values ('A04', '赵强')"));
    QCOMPARE(rs.recordCount(), 3);
    rs.requery();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(rs.recordCount(), 4);
    QCOMPARE(rs.currentIndex() + 1, 1);
    rs.moveLast();
    QCOMPARE(rs.text(QStringLiteral("kh")), QStringLiteral("A04"));
}

void TestRecordset::fieldNamesIgnoreCase()
{
    Recordset rs;
    open(rs, QStringLiteral("select * from dh_codedict where table_code='hyda' order by xh"), LockType::ReadOnly);
    QVERIFY(rs.recordCount() > 0);
    QCOMPARE(rs.fieldIndex(QStringLiteral("COLM_TYPE")), rs.fieldIndex(QStringLiteral("colm_type")));
    QVERIFY(rs.fieldIndex(QStringLiteral("Colm_Type")) >= 0);
    QCOMPARE(rs.value(QStringLiteral("COLM_TYPE")).toString(), QStringLiteral("CHAR"));
    QCOMPARE(rs.text(QStringLiteral("Colm_Code")), QStringLiteral("kh"));
    QCOMPARE(errorOf([&] { rs.value(QStringLiteral("no_such")); }), DbErrorCode::GeneralFailure);
}

void TestRecordset::notUpdatable_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<LockType>("lock");

    QTest::newRow("read-only lock") << "select * from hyda" << LockType::ReadOnly;
    QTest::newRow("view") << "select * from SUMJIFEN" << LockType::Optimistic;
    QTest::newRow("join") << "select hyda.kh, hyxc.daoda from hyda join hyxc on hyxc.kh=hyda.kh"
                          << LockType::Optimistic;
    QTest::newRow("grouped") << "select kh, count(*) as n from hyxc group by kh" << LockType::Optimistic;
    QTest::newRow("distinct") << "select distinct kh from hyxc" << LockType::Optimistic;
    QTest::newRow("subquery") << "select * from (select kh, xm from hyda)" << LockType::Optimistic;
}

void TestRecordset::notUpdatable()
{
    QFETCH(QString, sql);
    QFETCH(LockType, lock);
    const QString before = contentOf(*m_db);
    Recordset rs;
    rs.open(sql, &connection(), lock);
    QVERIFY(rs.recordCount() > 0);
    const QVariant shown = rs.value(0);

    QCOMPARE(errorOf([&] { rs.setValue(0, QStringLiteral("Z9")); }), DbErrorCode::NotUpdatable);
    QCOMPARE(rs.value(0), shown);
    QCOMPARE(errorOf([&] { rs.addNew(); }), DbErrorCode::NotUpdatable);
    QCOMPARE(errorOf([&] { rs.deleteCurrent(); }), DbErrorCode::NotUpdatable);
    QCOMPARE(rs.recordCount(), m_db->scalar(QStringLiteral("select count(*) from (%1)").arg(sql)).toInt());
    QCOMPARE(contentOf(*m_db), before);
}

void TestRecordset::typedValues_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("typed");
    QTest::addColumn<QString>("storedType"); // empty: refused
    QTest::addColumn<QString>("stored");

    QTest::newRow("number") << "amount1" << QVariant("1250.5") << "real" << "1250.5";
    QTest::newRow("number with blanks") << "jifen" << QVariant(" 50 ") << "real" << "50";
    QTest::newRow("empty number") << "amount1" << QVariant("") << "null" << "";
    QTest::newRow("blank number") << "zk" << QVariant("  ") << "null" << "";
    QTest::newRow("empty date") << "cprq" << QVariant("") << "null" << "";
    QTest::newRow("short date") << "cprq" << QVariant("2003-5-1") << "text" << "2003-05-01";
    QTest::newRow("month first date") << "qfrq" << QVariant("5/1/03") << "text" << "2003-05-01";
    QTest::newRow("QDate") << "lrrq" << QVariant(QDate(2003, 5, 1)) << "text" << "2003-05-01";
    QTest::newRow("text keeps its zeros") << "piaohao" << QVariant("007") << "text" << "007";
    QTest::newRow("word in a number") << "amount1" << QVariant("abc") << "" << "";
    QTest::newRow("thousands separator") << "amount2" << QVariant("1,250") << "real" << "1250";
    QTest::newRow("exponent") << "amount2" << QVariant("1.5e3") << "real" << "1500";
    QTest::newRow("misplaced separator") << "amount2" << QVariant("12,50") << "" << "";
    QTest::newRow("impossible date") << "cprq" << QVariant("2003-13-1") << "" << "";
    QTest::newRow("word in a date") << "qfrq" << QVariant("tomorrow") << "" << "";
}

void TestRecordset::typedValues()
{
    QFETCH(QString, field);
    QFETCH(QVariant, typed);
    QFETCH(QString, storedType);
    QFETCH(QString, stored);
    const QString typeOf = QStringLiteral("select typeof(%1) from hyxc where id=1").arg(field);
    const QString valueOf = QStringLiteral("select %1 from hyxc where id=1").arg(field);
    const QVariant before = m_db->scalar(valueOf);
    Recordset rs;
    open(rs, QStringLiteral("select * from hyxc order by id"));
    const QVariant shown = rs.value(field);
    rs.setValue(field, typed);
    if (!storedType.isEmpty()) {
        rs.update();
        QCOMPARE(m_db->scalar(typeOf).toString(), storedType);
        QCOMPARE(m_db->scalar(valueOf).toString(), stored);
        QCOMPARE(rs.value(field).isNull(), storedType == QLatin1String("null"));
        return;
    }
    try {
        rs.update();
        QFAIL("the value was accepted");
    } catch (const DbException &e) {
        QCOMPARE(e.number(), DbErrorCode::GeneralFailure);
        QVERIFY2(e.description().contains(field), qPrintable(e.description()));
    }
    QCOMPARE(m_db->scalar(valueOf), before);
    QCOMPARE(rs.editMode(), Recordset::EditMode::Editing);
    rs.cancelUpdate();
    QCOMPARE(rs.value(field), shown);
}

void TestRecordset::duplicateKeyKeepsEdit_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("duplicate");

    QTest::newRow("edited name") << false << "admin";
    QTest::newRow("edited name, other case") << false << "ADMIN";
    QTest::newRow("new account") << true << "Admin";
}

void TestRecordset::duplicateKeyKeepsEdit()
{
    QFETCH(bool, adding);
    QFETCH(QString, duplicate);
    Recordset rs;
    open(rs, QStringLiteral("select * from czyzd order by czy_no"));
    rs.moveLast();
    if (adding)
        rs.addNew();
    rs.setValue(QStringLiteral("czy_name"), duplicate);
    try {
        rs.update();
        QFAIL("a duplicate name was saved");
    } catch (const DbException &e) {
        QCOMPARE(e.number(), DbErrorCode::GeneralFailure);
    }
    QCOMPARE(rs.editMode(), adding ? Recordset::EditMode::Adding : Recordset::EditMode::Editing);
    QCOMPARE(rs.text(QStringLiteral("czy_name")), duplicate);
    QCOMPARE(m_db->count(QStringLiteral("czyzd")), 2);
    QCOMPARE(m_db->count(QStringLiteral("czyzd where czy_name='王芳'")), 1);

    rs.setValue(QStringLiteral("czy_name"), QStringLiteral("clerk2"));
    rs.update();
    QCOMPARE(rs.editMode(), Recordset::EditMode::None);
    QCOMPARE(m_db->count(QStringLiteral("czyzd")), adding ? 3 : 2);
    QCOMPARE(m_db->count(QStringLiteral("czyzd where czy_name='clerk2'")), 1);
    QCOMPARE(m_db->count(QStringLiteral("czyzd where czy_name='王芳'")), adding ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
