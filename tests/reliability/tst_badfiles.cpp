// Database files the program may be handed or left with: not a database,
// another program's, cut short, one it may not write, one deleted while open,
// a full disk. Each ends in a DbException whose description the operator can
// act on, never in a crash, and never damages what was committed.
#include "archive/frmhyda.h"
#include "archive/pointscommands.h"
#include "operators/frm_czyset.h"
#include "shell/appstate.h"
#include "store/backup.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"
#include "support/windowload.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <optional>
#include <sched.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// The failure a call ends in, printed as the operator would read it. Anything
// thrown but a DbException escapes to the test and fails it.
template <class F> std::optional<DbError> failureOf(F &&call)
{
    try {
        call();
    } catch (const DbException &e) {
        qInfo("%d %s", int(e.number()), qPrintable(e.description()));
        return e.error();
    }
    return std::nullopt;
}

// A message the operator can act on: the engine's failure number and a description naming what is wrong.
bool clear(const std::optional<DbError> &error, const QStringList &anyOf = {})
{
    if (!error || error->number != DbErrorCode::GeneralFailure || error->description.trimmed().isEmpty())
        return false;
    for (const QString &word : anyOf)
        if (error->description.contains(word, Qt::CaseInsensitive))
            return true;
    return anyOf.isEmpty();
}
const QStringList kReadOnly = {QStringLiteral("readonly"), QStringLiteral("read-only")};
const QString kGone = QStringLiteral("删除或移走");

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int count(Connection &c, const QString &tableAndCondition)
{
    return c.scalar(QStringLiteral("select count(*) from ") + tableAndCondition).toInt();
}

QString integrity(Connection &c) { return c.scalar(QStringLiteral("PRAGMA integrity_check")).toString(); }

void insertTicket(Connection &c, const QString &kh, const QString &ticket, const QString &remark = QString())
{
    c.execute(QStringLiteral("insert into hyxc(kh,piaohao,amount1,jifen,jifenyue,bz) values(?,?,100,5,5,?)"), {kh, ticket, remark});
}

// A tmpfs of its own (in the test's own mount namespace, see main) for a file
// system that fills up, turns read-only or keeps an immutable file.
struct SmallDisk
{
    SmallDisk(const QString &dir, const char *size) : dir(dir)
    {
        QDir().mkpath(dir);
        mounted = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, size) == 0;
        why = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
    }
    bool readOnly() { return ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
    QString dir, why;
    bool mounted;
};

// The immutable flag: even root may not open the file for writing while it is set.
bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    int flags = 0;
    const bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
                    && (flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0)
        ::close(fd);
    return ok;
}

} // namespace

class BadFilesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void refusedAtOpen_data();
    void refusedAtOpen();
    void truncatedFile_data();
    void truncatedFile();
    void cannotWrite_data();
    void cannotWrite();
    void deletedWhileOpen_data();
    void deletedWhileOpen();
    void fullDisk();

private:
    QString freshCopy(const QString &name, const QString &dir = QString());
    QTemporaryDir m_dir;
    QString m_demo;
};

void BadFilesTest::initTestCase()
{
    m_demo = m_dir.filePath(QStringLiteral("demo.db"));
    DatabaseCreator::createDemo(m_demo, DemoSize{40, 400});
}

QString BadFilesTest::freshCopy(const QString &name, const QString &dir)
{
    const QString path = (dir.isEmpty() ? m_dir.path() : dir) + QLatin1Char('/') + name;
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    if (!QFile::copy(m_demo, path))
        qFatal("cannot copy the demo archive to %s", qPrintable(path));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

void BadFilesTest::refusedAtOpen_data()
{
    QTest::addColumn<QByteArray>("bytes"); // "dir": a folder; "sql:...": another program's SQLite file so made
    QTest::addColumn<bool>("foreign");     // a database, but not ours
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    QRandomGenerator(4711).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("folder") << QByteArray("dir") << false;
    QTest::newRow("empty") << QByteArray("") << false;
    QTest::newRow("one byte") << QByteArray("S") << false;
    QTest::newRow("random bytes") << noise << false;
    QTest::newRow("random after a SQLite header") << QByteArray("SQLite format 3\0", 16) + noise << false;
    QTest::newRow("half a header of ours") << bytesOf(m_demo).left(50) << false;
    QTest::newRow("text") << QByteArray("data source=kvora.db\r\n").repeated(200) << false;
    QTest::newRow("other program, our table names") << QByteArray("sql:PRAGMA application_id=0") << true;
    QTest::newRow("other program, WAL") << QByteArray("sql:PRAGMA application_id=0; PRAGMA journal_mode=WAL") << true;
    QTest::newRow("other application id") << QByteArray("sql:PRAGMA application_id=1297109578") << true;
}

// Nothing is read or written in a file that is not our database, nothing is made beside it.
void BadFilesTest::refusedAtOpen()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, foreign);
    const QString path = m_dir.filePath(QStringLiteral("other.db"));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    QDir(path).removeRecursively();
    if (bytes == "dir") {
        QVERIFY(QDir().mkdir(path));
    } else if (bytes.startsWith("sql:")) {
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, (bytes.mid(4) + "; CREATE TABLE hyda(kh TEXT, xm TEXT); INSERT INTO hyda VALUES('A1','x');").constData(),
                              nullptr, nullptr, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_close(db), SQLITE_OK);
    } else if (!bytes.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    const QByteArray before = bytesOf(path);
    Connection c;
    const auto opened = failureOf([&] { c.openLocation(path); });
    QVERIFY(clear(opened, {path}));
    QVERIFY(!foreign || opened->description.contains(QStringLiteral("不是本系统的数据库")));
    QVERIFY(!c.isOpen());
    QCOMPARE(bytesOf(path), before);
    QCOMPARE(QFile::exists(path), !bytes.isNull());
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    const auto used = failureOf([&] { c.execute(QStringLiteral("delete from hyda")); });
    QVERIFY(used && used->number == DbErrorCode::ObjectClosed);
    // The same connection still opens the right file.
    c.openLocation(freshCopy(QStringLiteral("right.db")));
    QVERIFY(count(c, QStringLiteral("hyda")) > 0);
}

void BadFilesTest::truncatedFile_data()
{
    QTest::addColumn<qint64>("keep"); // bytes kept; negative: that many fewer than the whole; -2: half
    QTest::newRow("header only") << qint64(100);
    QTest::newRow("first page") << qint64(8192);
    QTest::newRow("half") << qint64(-2);
    QTest::newRow("last page missing") << qint64(-8192);
}

// A file of ours cut short (a copy that stopped) is refused at open without
// calling it foreign, or reports the damage when read: never quietly short.
void BadFilesTest::truncatedFile()
{
    QFETCH(qint64, keep);
    const QString path = freshCopy(QStringLiteral("truncated.db"));
    const qint64 size = QFileInfo(path).size();
    QVERIFY(QFile::resize(path, keep == -2 ? size / 2 : keep < 0 ? size + keep : keep));
    Connection c;
    if (const auto opened = failureOf([&] { c.openLocation(path); })) {
        QVERIFY(clear(opened, {path}) && !opened->description.contains(QStringLiteral("不是")) && !c.isOpen());
        return;
    }
    QString check;
    const auto read = failureOf([&] {
        check = integrity(c);
        for (const char *table : {"hyda", "hyxc", "czyzd", "dh_codedict", "SUMhangkong"})
            count(c, QString::fromLatin1(table));
    });
    QVERIFY2(read ? clear(read, {"malformed", "corrupt", "not a database"}) : check != QLatin1String("ok"), "reads as whole");
    // A command on it fails cleanly and leaves no transaction open behind it.
    const auto write = failureOf([&] { PointsCommands::transferAll(c, QStringLiteral("X1"), QStringLiteral("X2")); });
    QVERIFY(!write || clear(write));
    QVERIFY(!c.inTransaction());
}

void BadFilesTest::cannotWrite_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"mode 0444", "immutable", "read-only mount"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

// A file the program may read but not write opens for reading; every write
// fails with a message, leaving data and connection as they were; a backup still reads it.
void BadFilesTest::cannotWrite()
{
    QFETCH(QString, how);
    if (how == QLatin1String("mode 0444") && ::geteuid() == 0)
        QSKIP("root writes a file of mode 0444 anyway; the immutable row covers a file root cannot write");
    std::unique_ptr<SmallDisk> disk;
    if (how != QLatin1String("mode 0444")) {
        disk = std::make_unique<SmallDisk>(m_dir.filePath(how.left(2) + QStringLiteral("-mount")), "size=8m");
        if (!disk->mounted)
            QSKIP(qPrintable(QStringLiteral("needs root to mount a tmpfs (%1)").arg(disk->why)));
    }
    const QString path = freshCopy(QStringLiteral("kvora.db"), disk ? disk->dir : QString());
    Connection before;
    before.openLocation(path);
    const QString customer = before.scalar(QStringLiteral("select kh from hyxc group by kh having sum(jifenyue)>10 order by kh")).toString();
    const int tickets = count(before, QStringLiteral("hyxc")), clearings = count(before, QStringLiteral("jifenallow"));
    before.close();
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    if (how == QLatin1String("immutable") && !setImmutable(path, true))
        QSKIP(qPrintable(QStringLiteral("cannot set the immutable flag (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)))));
    const std::shared_ptr<void> unflag(nullptr, [&](void *) { setImmutable(path, false); });
    if (how == QLatin1String("read-only mount"))
        QVERIFY(disk->readOnly());

    Connection c;
    // A read-only file system may be refused at open, saying why, never that the file is foreign.
    if (const auto opened = failureOf([&] { c.openLocation(path); })) {
        QVERIFY(how == QLatin1String("read-only mount") && clear(opened, {path}) && !opened->description.contains(QStringLiteral("不是")));
        return;
    }
    QCOMPARE(count(c, QStringLiteral("hyxc")), tickets);
    QVERIFY(clear(failureOf([&] { PointsCommands::clearPoints(c, customer, QStringLiteral("10"), QString(), QStringLiteral("王芳")); }), kReadOnly));
    QVERIFY(clear(failureOf([&] {
        TransactionGuard transaction(c);
        insertTicket(c, QStringLiteral("RO1"), QStringLiteral("RO-1"));
        transaction.commit();
    }), kReadOnly));
    QVERIFY(!c.inTransaction());
    QCOMPARE(count(c, QStringLiteral("hyxc")), tickets);
    QCOMPARE(count(c, QStringLiteral("jifenallow")), clearings);
    QCOMPARE(integrity(c), QStringLiteral("ok"));
    const QString target = m_dir.filePath(QStringLiteral("from-readonly.bak"));
    backupDatabase(c, target);
    Connection copy;
    copy.openLocation(target);
    QCOMPARE(count(copy, QStringLiteral("hyxc")), tickets);
}

void BadFilesTest::deletedWhileOpen_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"deleted", "moved", "replaced"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

// The file is deleted, moved away or replaced under the program. What was
// read stays readable or fails with a message; every save, also a window's
// delete, fails saying so rather than go into a file nobody will open again,
// and the window still lists what the file still holds.
void BadFilesTest::deletedWhileOpen()
{
    QFETCH(QString, how);
    const QString path = freshCopy(QStringLiteral("deleted.db"));
    const QString movedTo = freshCopy(QStringLiteral("moved.db"));
    QFile::remove(movedTo);
    QStringList messages;
    Msg::setHandler([&](const Msg::Shown &s) {
        messages << s.text;
        return s.buttons == Msg::Buttons::YesNo ? Msg::Answer::Yes : Msg::Answer::Ok;
    });
    const std::shared_ptr<void> resetHandler(nullptr, [](void *) { Msg::setHandler({}); });
    AppState state;
    state.setLocation(m_dir.path() + QLatin1Char('/'), QStringLiteral("deleted.db"));
    state.setCurrentOperator(QStringLiteral("王芳"));
    state.connection().open(state.connectionText());
    Connection &c = state.connection();
    const int tickets = count(c, QStringLiteral("hyxc"));
    FRMHYDA customers(state);
    loaded(customers);
    Frm_czyset operators(state);
    loaded(operators);
    const QString customer = c.scalar(QStringLiteral("select kh from hyxc group by kh having sum(jifenyue)>10 order by kh")).toString();
    const QString account = operators.accounts()->text(QStringLiteral("czy_name"));
    customers.customers()->moveTo(customers.customers()->indexOf(QStringLiteral("kh=") + sqlQuote(customer)));
    QCOMPARE(customers.customerNumber(), customer);
    const int listed = customers.customers()->recordCount(), accounts = operators.accounts()->recordCount();
    if (how == QLatin1String("moved"))
        QVERIFY(QFile::rename(path, movedTo));
    else
        QVERIFY(QFile::remove(path) && (how == QLatin1String("deleted") || QFile::copy(m_demo, path)));

    int seen = -1;
    const auto read = failureOf([&] { seen = count(c, QStringLiteral("hyxc")); });
    QVERIFY(read ? clear(read) : seen == tickets);
    const auto wrote = failureOf([&] {
        TransactionGuard transaction(c);
        insertTicket(c, QStringLiteral("DEL1"), QStringLiteral("DEL-1"));
        transaction.commit();
    });
    QVERIFY(clear(wrote, {kGone}) && wrote->description.contains(QStringLiteral("deleted.db")));
    QVERIFY(clear(failureOf([&] { insertTicket(c, QStringLiteral("DEL1"), QStringLiteral("DEL-2")); }), {kGone}));
    QVERIFY(clear(failureOf([&] { PointsCommands::clearPoints(c, customer, QStringLiteral("1"), QString(), QStringLiteral("王芳")); }), {kGone}));
    Recordset row;
    row.open(QStringLiteral("select * from hyda where kh=") + sqlQuote(customer), &c, LockType::Optimistic);
    row.setValue(QStringLiteral("bz"), QStringLiteral("changed"));
    QVERIFY(clear(failureOf([&] { row.update(); }), {kGone}));
    messages.clear();
    customers.findChild<QAction *>(QStringLiteral("delete"))->trigger();
    operators.toolbarClicked(QStringLiteral("delete"));
    QVERIFY2(messages.size() == 3 && messages.at(1).contains(kGone) && messages.at(2).contains(kGone), qPrintable(messages.join('\n')));
    QCOMPARE(customers.customers()->recordCount(), listed);
    QCOMPARE(operators.accounts()->recordCount(), accounts);
    QVERIFY(!c.inTransaction());

    // A backup of a file that is gone says so instead of copying nothing; of a replaced one, it copies what is there now.
    const QString target = m_dir.filePath(QStringLiteral("deleted.bak"));
    QFile::remove(target);
    const auto backedUp = failureOf([&] { backupDatabase(c, target); });
    QVERIFY(how == QLatin1String("replaced") ? !backedUp : clear(backedUp) && !QFile::exists(target));
    QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
    c.close();
    if (how == QLatin1String("deleted")) {
        QVERIFY(!QFile::exists(path));
        return;
    }
    // Whatever now holds the data has none of the refused writes, and is sound.
    Connection after;
    after.openLocation(how == QLatin1String("moved") ? movedTo : path);
    QCOMPARE(integrity(after), QStringLiteral("ok"));
    QCOMPARE(count(after, QStringLiteral("hyxc")), tickets);
    QCOMPARE(count(after, QStringLiteral("hyda where bz='changed' or kh='DEL1'")), 0);
    QCOMPARE(after.scalar(QStringLiteral("select count(*) from hyda, czyzd where kh=? and czy_name=?"), {customer, account}).toInt(), 1);
}

// A full disk: the write that does not fit fails with a message and leaves
// nothing of its transaction; an earlier backup survives one that does not
// fit; once space is back the same connection carries on.
void BadFilesTest::fullDisk()
{
    SmallDisk disk(m_dir.filePath(QStringLiteral("full-mount")), "size=2m");
    if (!disk.mounted)
        QSKIP(qPrintable(QStringLiteral("needs root to mount a tmpfs (%1)").arg(disk.why)));
    const QString path = disk.dir + QStringLiteral("/kvora.db"), backup = disk.dir + QStringLiteral("/kvora.bak");
    DatabaseCreator::create(path);
    Connection c;
    c.openLocation(path);
    {
        TransactionGuard transaction(c);
        c.execute(QStringLiteral("insert into hyda(kh,xm) values('F1','甲'), ('F2','乙')"));
        for (int i = 0; i < 40; ++i)
            insertTicket(c, QStringLiteral("F1"), QStringLiteral("F-%1").arg(i));
        transaction.commit();
    }
    backupDatabase(c, backup);
    const QByteArray earlierBackup = bytesOf(backup);
    {
        QFile filler(disk.dir + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        for (const QByteArray &block : {QByteArray(64 * 1024, 'x'), QByteArray(512, 'x')})
            while (filler.write(block) > 0 && filler.flush()) {
            }
    }
    QVERIFY(clear(failureOf([&] {
        TransactionGuard transaction(c);
        for (int i = 0; i < 1500; ++i)
            insertTicket(c, QStringLiteral("F2"), QStringLiteral("BIG-%1").arg(i), QString(2000, QLatin1Char('x')));
        transaction.commit();
    }), {"full"}));
    // The multi-statement commands fail whole on a full disk.
    int transfers = 0;
    std::optional<DbError> moved;
    while (transfers < 4 && !(moved = failureOf([&] { PointsCommands::transferAll(c, transfers % 2 ? "F2" : "F1", transfers % 2 ? "F1" : "F2"); })))
        ++transfers;
    QVERIFY(!moved || clear(moved, {"full", "I/O"}));
    QVERIFY(!c.inTransaction());
    QVERIFY(clear(failureOf([&] { backupDatabase(c, backup); }), {"full", "备份"}));
    QCOMPARE(bytesOf(backup), earlierBackup);
    QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));
    QVERIFY(QFile::remove(disk.dir + QStringLiteral("/filler")));
    insertTicket(c, QStringLiteral("F1"), QStringLiteral("AFTER"));
    c.close();

    Connection reopened;
    reopened.openLocation(path);
    QCOMPARE(integrity(reopened), QStringLiteral("ok"));
    QCOMPARE(count(reopened, QStringLiteral("hyxc where piaohao like 'BIG-%'")), 0);
    QCOMPARE(count(reopened, QStringLiteral("hyxc where piaohao='AFTER'")), 1);
    // Every transfer that returned moved and logged all rows; the failed one neither.
    QCOMPARE(count(reopened, QStringLiteral("hyxc where piaohao like 'F-%' and kh=") + sqlQuote(transfers % 2 ? "F2" : "F1")), 40);
    QCOMPARE(count(reopened, QStringLiteral("hyxczhuanrang")), 40 * transfers);
    Connection old;
    old.openLocation(backup);
    QCOMPARE(count(old, QStringLiteral("hyxc where piaohao like 'F-%'")), 40);
}

// The small file systems are mounted in a mount namespace of the test's own,
// so none outlives the test process, however it ends.
int main(int argc, char **argv)
{
    if (::unshare(CLONE_NEWNS) == 0)
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    QApplication app(argc, argv);
    BadFilesTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_badfiles.moc"
