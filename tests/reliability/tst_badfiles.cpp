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
// system that turns read-only or keeps an immutable file.
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
    void cannotWrite_data();
    void cannotWrite();
    void deletedWhileOpen_data();
    void deletedWhileOpen();

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
    QTest::newRow("random after a SQLite header") << QByteArray("SQLite format 3\0", 16) + noise << false;
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

void BadFilesTest::cannotWrite_data()
{
    QTest::addColumn<QString>("how");
    // (A file of mode 0444 is no case here: root, who runs these tests, writes it anyway.)
    for (const char *how : {"immutable", "read-only mount"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

// A file the program may read but not write opens for reading; every write
// fails with a message, leaving data and connection as they were; a backup still reads it.
void BadFilesTest::cannotWrite()
{
    QFETCH(QString, how);
    SmallDisk disk(m_dir.filePath(how.left(2) + QStringLiteral("-mount")), "size=8m");
    if (!disk.mounted)
        QSKIP(qPrintable(QStringLiteral("needs root to mount a tmpfs (%1)").arg(disk.why)));
    const QString path = freshCopy(QStringLiteral("kvora.db"), disk.dir);
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
        QVERIFY(disk.readOnly());

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
    QCOMPARE(after.scalar(QStringLiteral("select count(*) from hyda, czyzd where kh=? and czy_name=?"), {customer, account}).toInt(), 1);
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
