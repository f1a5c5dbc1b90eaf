// Database files the program may be handed or left with: cut short, random
// bytes, another program's SQLite file, a file it may not write, a file
// deleted while open, a full disk. Each must end in a DbException with a
// number and a description the operator can act on, never in a crash, and
// must not damage what was committed.

#include "support/windowload.h"
#include "archive/frmhyda.h"
#include "archive/pointscommands.h"
#include "operators/frm_czyset.h"
#include "shell/appstate.h"
#include "store/backup.h"
#include "store/connection.h"
#include "store/databasecreator.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "support/testdatabase.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <linux/fs.h>
#include <optional>
#include <sched.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// The failure a call ends in, if any. Anything thrown but a DbException
// escapes to the test and fails it.
template<class F>
std::optional<DbError> failureOf(F &&call)
{
    try {
        call();
    } catch (const DbException &e) {
        return e.error();
    }
    return std::nullopt;
}

QString shown(const std::optional<DbError> &error)
{
    return error ? QStringLiteral("%1 %2").arg(error->number).arg(error->description) : QStringLiteral("no error");
}

// What the operator would read, in the test log.
void report(const char *what, const std::optional<DbError> &error)
{
    qInfo("%s: %s", what, qPrintable(shown(error)));
}

// A message the operator can act on: the engine's failure number and a description saying what is wrong.
bool clear(const std::optional<DbError> &error, const QStringList &anyOf)
{
    if (!error || error->number != DbErrorCode::GeneralFailure || error->description.trimmed().isEmpty())
        return false;
    for (const QString &word : anyOf)
        if (error->description.contains(word, Qt::CaseInsensitive))
            return true;
    return anyOf.isEmpty();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

int count(Connection &c, const QString &tableAndCondition)
{
    Recordset rs;
    rs.open(QStringLiteral("select count(*) from ") + tableAndCondition, &c);
    return rs.value(0).toInt();
}

QString integrity(Connection &c)
{
    Recordset rs;
    rs.open(QStringLiteral("PRAGMA integrity_check"), &c);
    return rs.value(0).toString();
}

void insertTicket(Connection &c, const QString &kh, const QString &ticket, const QString &remark = QString())
{
    c.execute(QStringLiteral("insert into hyxc(kh,piaohao,amount1,jifen,jifenyue,bz) values(%1,%2,100,5,5,%3)")
                  .arg(sqlQuote(kh), sqlQuote(ticket), sqlQuote(remark)));
}

// A tmpfs of its own for the cases that need a file system that fills up or
// turns read-only; unmounted however the test ends.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &dir, const QByteArray &options) : m_dir(dir)
    {
        QDir().mkpath(dir);
        if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, options.constData()) == 0)
            m_mounted = true;
        else
            m_why = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    QString why() const { return m_why; }
    bool remountReadOnly()
    {
        return ::mount("tmpfs", QFile::encodeName(m_dir).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QString m_dir;
    bool m_mounted = false;
    QString m_why;
};

// Fills the file system holding dir to the last byte.
qint64 fill(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return 0;
    const QByteArray block(64 * 1024, 'x');
    qint64 total = 0;
    for (;;) {
        const qint64 n = f.write(block);
        if (n <= 0 || !f.flush())
            break;
        total += n;
    }
    // The last partial blocks, byte-sized, so nothing is left.
    const QByteArray one(512, 'x');
    while (f.write(one) > 0 && f.flush())
        total += one.size();
    return total;
}

// The immutable flag: even root may not open the file for writing while it is set.
bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

class BadFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void truncatedFile_data();
    void truncatedFile();
    void notADatabase_data();
    void notADatabase();
    void anotherProgramsDatabase_data();
    void anotherProgramsDatabase();
    void writeProtectedFile_data();
    void writeProtectedFile();
    void readOnlyFileSystem();
    void deletedWhileOpen_data();
    void deletedWhileOpen();
    void fullDisk();
    void windowDeleteOnAMovedFile();

private:
    QString freshCopy(const QString &name);
    QTemporaryDir m_dir;
    QString m_demo;
};

void BadFilesTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_demo = m_dir.filePath(QStringLiteral("demo.db"));
    DatabaseCreator::createDemo(m_demo, DemoSize{40, 400});
}

QString BadFilesTest::freshCopy(const QString &name)
{
    const QString path = m_dir.filePath(name);
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
    if (!QFile::copy(m_demo, path))
        return {};
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

void BadFilesTest::truncatedFile_data()
{
    QTest::addColumn<qint64>("keep"); // bytes kept; negative: that many fewer than the whole
    QTest::newRow("empty") << qint64(0);
    QTest::newRow("half a header") << qint64(50);
    QTest::newRow("header only") << qint64(100);
    QTest::newRow("first page") << qint64(8192);
    QTest::newRow("half") << qint64(-2);
    QTest::newRow("last page missing") << qint64(-8192);
}

// A file cut short (a copy that stopped, a full disk at the time) is either
// refused at open or fails with the engine's description when read; what
// is read is never quietly short.
void BadFilesTest::truncatedFile()
{
    QFETCH(qint64, keep);
    const QString path = freshCopy(QStringLiteral("truncated.db"));
    QVERIFY(!path.isEmpty());
    const qint64 size = QFileInfo(path).size();
    const qint64 length = keep == -2 ? size / 2 : keep < 0 ? size + keep : keep;
    QVERIFY(length < size);
    QVERIFY(QFile::resize(path, length));

    Connection c;
    const auto opened = failureOf([&] { c.openLocation(path); });
    report("opened", opened);
    if (opened) {
        QVERIFY2(clear(opened, {path}), qPrintable(shown(opened)));
        // With its header whole the file is ours, damaged: the message must not send the
        // operator looking for another file.
        if (length >= 100)
            QVERIFY2(!opened->description.contains(QStringLiteral("不是")), qPrintable(shown(opened)));
        QVERIFY(!c.isOpen());
        // Refused files are left as they were.
        QCOMPARE(QFileInfo(path).size(), length);
        return;
    }
    // It opened: the header was whole. Reading everything must then report the damage.
    QVERIFY2(length >= 100, "a file without a whole header was opened");
    std::optional<DbError> read;
    QString check;
    read = failureOf([&] {
        check = integrity(c);
        for (const QString &table : {QStringLiteral("hyda"), QStringLiteral("hyxc"), QStringLiteral("czyzd"),
                                     QStringLiteral("dh_codedict"), QStringLiteral("SUMhangkong")})
            count(c, table);
    });
    report("read", read);
    QVERIFY2(read || check != QLatin1String("ok"), "a truncated file reads as whole");
    if (read)
        QVERIFY2(clear(read, {QStringLiteral("malformed"), QStringLiteral("corrupt"), QStringLiteral("not a database")}),
                 qPrintable(shown(read)));
    // A command on it fails cleanly and leaves no transaction open behind it.
    const auto write = failureOf([&] { PointsCommands::transferAll(c, QStringLiteral("X1"), QStringLiteral("X2")); });
    report("write", write);
    if (write)
        QVERIFY2(clear(write, {}), qPrintable(shown(write)));
    QVERIFY(!c.inTransaction());
}

void BadFilesTest::notADatabase_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QRandomGenerator random(4711);
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("random bytes") << noise;
    QByteArray header = noise;
    header.replace(0, 16, QByteArray("SQLite format 3\0", 16));
    QTest::newRow("random after a SQLite header") << header;
    QTest::newRow("text") << QByteArray("data source=kvora.db\r\n").repeated(200);
    QTest::newRow("one byte") << QByteArray("S");
}

void BadFilesTest::notADatabase()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QStringLiteral("noise.db"));
    writeBytes(path, bytes);
    Connection c;
    const auto opened = failureOf([&] { c.openLocation(path); });
    report("opened", opened);
    QVERIFY2(clear(opened, {path}), qPrintable(shown(opened)));
    QVERIFY(!c.isOpen());
    QCOMPARE(fileBytes(path), bytes);
    // Nothing was created beside it either.
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    // The connection stays usable for the right file.
    c.openLocation(freshCopy(QStringLiteral("right.db")));
    QVERIFY(count(c, QStringLiteral("hyda")) > 0);
}

void BadFilesTest::anotherProgramsDatabase_data()
{
    QTest::addColumn<int>("applicationId");
    QTest::addColumn<bool>("wal");
    QTest::newRow("no application id") << 0 << false;
    QTest::newRow("no application id, WAL") << 0 << true;
    QTest::newRow("another application id") << 0x4D50524A << false;
}

// Another program's database, even one with our table names, is refused
// before anything is read or written in it.
void BadFilesTest::anotherProgramsDatabase()
{
    QFETCH(int, applicationId);
    QFETCH(bool, wal);
    const QString path = m_dir.filePath(QStringLiteral("other.db"));
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    const QByteArray setup = QByteArray("PRAGMA application_id=") + QByteArray::number(applicationId)
                             + "; CREATE TABLE hyda(kh TEXT, xm TEXT); INSERT INTO hyda VALUES('A1','x');"
                             + (wal ? " PRAGMA journal_mode=WAL;" : "");
    QCOMPARE(sqlite3_exec(db, setup.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_close(db), SQLITE_OK);
    const QByteArray before = fileBytes(path);

    Connection c;
    const auto opened = failureOf([&] { c.openLocation(path); });
    report("opened", opened);
    QVERIFY2(clear(opened, {path}), qPrintable(shown(opened)));
    QVERIFY2(opened->description.contains(QStringLiteral("不是本系统的数据库")), qPrintable(shown(opened)));
    QVERIFY(!c.isOpen());
    QCOMPARE(fileBytes(path), before);
    const auto used = failureOf([&] { c.execute(QStringLiteral("delete from hyda")); });
    report("used", used);
    QVERIFY2(used && used->number == DbErrorCode::ObjectClosed, qPrintable(shown(used)));
}

void BadFilesTest::writeProtectedFile_data()
{
    QTest::addColumn<bool>("immutable");
    QTest::newRow("mode 0444") << false;
    QTest::newRow("immutable") << true;
}

// A file the program may read but not write. Mode 0444 stops an ordinary
// user but not root, whose writes must then simply work; the immutable flag
// stops root too. When it cannot write, the file opens for reading and every
// write fails with a message, leaving data and connection as they were.
void BadFilesTest::writeProtectedFile()
{
    QFETCH(bool, immutable);
    QString path;
    std::unique_ptr<SmallDisk> disk;
    if (immutable) {
        // On a tmpfs of its own, so a flag left behind by a crash goes with the mount.
        disk = std::make_unique<SmallDisk>(m_dir.filePath(QStringLiteral("immutable-mount")), "size=8m");
        if (!disk->mounted())
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1)").arg(disk->why())));
        path = m_dir.filePath(QStringLiteral("immutable-mount/kvora.db"));
        QVERIFY(QFile::copy(m_demo, path));
    } else {
        path = freshCopy(QStringLiteral("readonly.db"));
    }
    QVERIFY(!path.isEmpty());
    int tickets = 0;
    int clearings = 0;
    QString customer;
    {
        Connection c;
        c.openLocation(path);
        tickets = count(c, QStringLiteral("hyxc"));
        Recordset rs;
        rs.open(QStringLiteral("select kh from hyxc group by kh having sum(jifenyue)>10 order by kh"), &c);
        customer = rs.value(0).toString();
        clearings = count(c, QStringLiteral("jifenallow where kh=") + sqlQuote(customer));
    }
    QVERIFY(!customer.isEmpty());
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    struct Unflag
    {
        QString path;
        ~Unflag()
        {
            if (!path.isEmpty())
                setImmutable(path, false);
        }
    } unflag;
    if (immutable) {
        if (!setImmutable(path, true))
            QSKIP(qPrintable(QStringLiteral("cannot set the immutable flag (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)))));
        unflag.path = path;
    }
    const bool writable = !immutable && ::geteuid() == 0;

    Connection c;
    const auto opened = failureOf([&] { c.openLocation(path); });
    report("opened", opened);
    QVERIFY2(!opened, qPrintable(shown(opened)));
    QCOMPARE(count(c, QStringLiteral("hyxc")), tickets);
    const auto cleared = failureOf([&] {
        PointsCommands::clearPoints(c, customer, QStringLiteral("10"), QString(), QStringLiteral("王芳"));
    });
    report("cleared", cleared);
    QVERIFY(!c.inTransaction());
    const auto inserted = failureOf([&] {
        TransactionGuard transaction(c);
        insertTicket(c, QStringLiteral("RO1"), QStringLiteral("RO-1"));
        transaction.commit();
    });
    report("inserted", inserted);
    QVERIFY(!c.inTransaction());
    if (writable) {
        QVERIFY2(!cleared, qPrintable(shown(cleared)));
        QVERIFY2(!inserted, qPrintable(shown(inserted)));
        QCOMPARE(count(c, QStringLiteral("hyxc")), tickets + 1);
        QCOMPARE(count(c, QStringLiteral("jifenallow where kh=") + sqlQuote(customer)), clearings + 1);
        return;
    }
    QVERIFY2(clear(cleared, {QStringLiteral("readonly"), QStringLiteral("read-only")}), qPrintable(shown(cleared)));
    QVERIFY2(clear(inserted, {QStringLiteral("readonly"), QStringLiteral("read-only")}), qPrintable(shown(inserted)));
    QCOMPARE(count(c, QStringLiteral("hyxc")), tickets);
    QCOMPARE(count(c, QStringLiteral("jifenallow where kh=") + sqlQuote(customer)), clearings);
    QCOMPARE(integrity(c), QStringLiteral("ok"));
    // A backup still reads it.
    const QString target = m_dir.filePath(QStringLiteral("from-readonly.bak"));
    const auto backedUp = failureOf([&] { backupDatabase(c, target); });
    report("backedUp", backedUp);
    QVERIFY2(!backedUp, qPrintable(shown(backedUp)));
    Connection copy;
    copy.openLocation(target);
    QCOMPARE(count(copy, QStringLiteral("hyxc")), tickets);
}

// A database on a file system mounted read-only (a CD, a write-protected
// share): it opens for reading, and every command that writes fails with a
// message, leaving the data and the connection as they were.
void BadFilesTest::readOnlyFileSystem()
{
    const QString dir = m_dir.filePath(QStringLiteral("ro-mount"));
    SmallDisk disk(dir, "size=8m");
    if (!disk.mounted())
        QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1)").arg(disk.why())));
    const QString path = dir + QStringLiteral("/kvora.db");
    QVERIFY(QFile::copy(m_demo, path));
    int tickets = 0;
    int clearings = 0;
    QString customer;
    {
        Connection c;
        c.openLocation(path);
        tickets = count(c, QStringLiteral("hyxc"));
        Recordset rs;
        rs.open(QStringLiteral("select kh from hyxc group by kh having sum(jifenyue)>10 order by kh"), &c);
        customer = rs.value(0).toString();
        clearings = count(c, QStringLiteral("jifenallow where kh=") + sqlQuote(customer));
    }
    QVERIFY(!customer.isEmpty());
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    QVERIFY(disk.remountReadOnly());

    Connection c;
    const auto opened = failureOf([&] { c.openLocation(path); });
    report("opened", opened);
    if (opened) {
        // Refusing is acceptable only with a message that says why, not that the file is foreign.
        QVERIFY2(clear(opened, {path}), qPrintable(shown(opened)));
        QVERIFY2(!opened->description.contains(QStringLiteral("不是")), qPrintable(shown(opened)));
        return;
    }
    QCOMPARE(count(c, QStringLiteral("hyxc")), tickets);
    const auto cleared = failureOf([&] {
        PointsCommands::clearPoints(c, customer, QStringLiteral("10"), QString(), QStringLiteral("王芳"));
    });
    report("cleared", cleared);
    QVERIFY2(clear(cleared, {QStringLiteral("readonly"), QStringLiteral("read-only")}), qPrintable(shown(cleared)));
    QVERIFY(!c.inTransaction());
    const auto inserted = failureOf([&] { insertTicket(c, QStringLiteral("RO1"), QStringLiteral("RO-1")); });
    report("inserted", inserted);
    QVERIFY2(clear(inserted, {QStringLiteral("readonly"), QStringLiteral("read-only")}), qPrintable(shown(inserted)));
    QCOMPARE(count(c, QStringLiteral("hyxc")), tickets);
    QCOMPARE(count(c, QStringLiteral("jifenallow where kh=") + sqlQuote(customer)), clearings);
    QCOMPARE(integrity(c), QStringLiteral("ok"));
    // A backup reads it fine, to a place that can be written.
    const QString target = m_dir.filePath(QStringLiteral("from-ro.bak"));
    const auto backedUp = failureOf([&] { backupDatabase(c, target); });
    report("backedUp", backedUp);
    QVERIFY2(!backedUp, qPrintable(shown(backedUp)));
    Connection copy;
    copy.openLocation(target);
    QCOMPARE(count(copy, QStringLiteral("hyxc")), tickets);
}

void BadFilesTest::deletedWhileOpen_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("deleted") << QStringLiteral("deleted");
    QTest::newRow("moved away") << QStringLiteral("moved");
    QTest::newRow("replaced by a copy") << QStringLiteral("replaced");
}

// The file is deleted, moved away or replaced while the program has it open.
// What was read stays readable (or fails with a message); a save must fail
// with a message rather than go into a file nobody will open again; nothing
// crashes and no command is left half done.
void BadFilesTest::deletedWhileOpen()
{
    QFETCH(QString, how);
    const QString path = freshCopy(QStringLiteral("deleted.db"));
    QVERIFY(!path.isEmpty());
    const QString movedTo = m_dir.filePath(QStringLiteral("moved.db"));
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(movedTo + suffix);
    Connection c;
    c.openLocation(path);
    const int tickets = count(c, QStringLiteral("hyxc"));
    QVERIFY(tickets > 0);
    Recordset rs;
    rs.open(QStringLiteral("select kh from hyxc group by kh having sum(jifenyue)>10 order by kh"), &c);
    const QString customer = rs.value(0).toString();
    QVERIFY(!customer.isEmpty());
    if (how == QLatin1String("moved")) {
        QVERIFY(QFile::rename(path, movedTo));
    } else {
        QVERIFY(QFile::remove(path));
        if (how == QLatin1String("replaced"))
            QVERIFY(QFile::copy(m_demo, path));
    }

    int seen = -1;
    const auto read = failureOf([&] { seen = count(c, QStringLiteral("hyxc")); });
    report("read", read);
    if (read)
        QVERIFY2(clear(read, {}), qPrintable(shown(read)));
    else
        QCOMPARE(seen, tickets);

    const QStringList gone = {path, QStringLiteral("删除或移走")};
    const auto wrote = failureOf([&] {
        TransactionGuard transaction(c);
        insertTicket(c, QStringLiteral("DEL1"), QStringLiteral("DEL-1"));
        transaction.commit();
    });
    report("wrote", wrote);
    QVERIFY(!c.inTransaction());
    QVERIFY2(clear(wrote, {gone.at(1)}) && wrote->description.contains(path), qPrintable(shown(wrote)));
    const auto single = failureOf([&] { insertTicket(c, QStringLiteral("DEL1"), QStringLiteral("DEL-2")); });
    report("single", single);
    QVERIFY2(clear(single, {gone.at(1)}), qPrintable(shown(single)));
    const auto cleared = failureOf([&] {
        PointsCommands::clearPoints(c, customer, QStringLiteral("10"), QString(), QStringLiteral("王芳"));
    });
    report("cleared", cleared);
    QVERIFY2(clear(cleared, {gone.at(1)}), qPrintable(shown(cleared)));
    QVERIFY(!c.inTransaction());
    // A window's bound record saved on its own.
    Recordset customers;
    customers.open(QStringLiteral("select * from hyda where kh=") + sqlQuote(customer), &c, LockType::Optimistic);
    customers.setValue(QStringLiteral("bz"), QStringLiteral("changed"));
    const auto updated = failureOf([&] { customers.update(); });
    report("updated", updated);
    QVERIFY2(clear(updated, {gone.at(1)}), qPrintable(shown(updated)));

    // A backup of a file that is gone says so instead of copying nothing.
    const QString target = m_dir.filePath(QStringLiteral("deleted.bak"));
    QFile::remove(target);
    const auto backedUp = failureOf([&] { backupDatabase(c, target); });
    report("backedUp", backedUp);
    if (how == QLatin1String("replaced")) {
        // What is there now is a whole database, and the copy is of it.
        QVERIFY2(!backedUp, qPrintable(shown(backedUp)));
    } else {
        QVERIFY2(clear(backedUp, {}), qPrintable(shown(backedUp)));
        QVERIFY(!QFile::exists(target));
    }
    QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
    c.close();

    // Whatever now holds the data has none of the refused writes, and is sound.
    const QString now = how == QLatin1String("moved") ? movedTo : path;
    if (how == QLatin1String("deleted")) {
        QVERIFY(!QFile::exists(path));
        return;
    }
    Connection after;
    after.openLocation(now);
    QCOMPARE(integrity(after), QStringLiteral("ok"));
    QCOMPARE(count(after, QStringLiteral("hyxc")), tickets);
    QCOMPARE(count(after, QStringLiteral("hyxc where kh='DEL1'")), 0);
    QCOMPARE(count(after, QStringLiteral("hyda where bz='changed'")), 0);
}

// A full disk: the write that does not fit fails with a message, the
// transaction it was part of leaves nothing behind, an earlier backup
// survives a backup that does not fit, and once space is back the program
// carries on with everything committed before still there.
void BadFilesTest::fullDisk()
{
    const QString dir = m_dir.filePath(QStringLiteral("full-mount"));
    SmallDisk disk(dir, "size=2m");
    if (!disk.mounted())
        QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1)").arg(disk.why())));
    const QString path = dir + QStringLiteral("/kvora.db");
    DatabaseCreator::create(path);
    const QString backup = dir + QStringLiteral("/kvora.bak");

    Connection c;
    c.openLocation(path);
    {
        // One transaction: each commit of its own would grow the journal past this small disk.
        TransactionGuard transaction(c);
        c.execute(QStringLiteral("insert into hyda(kh,xm) values('F1','甲')"));
        c.execute(QStringLiteral("insert into hyda(kh,xm) values('F2','乙')"));
        for (int i = 0; i < 40; ++i)
            insertTicket(c, QStringLiteral("F1"), QStringLiteral("F-%1").arg(i));
        transaction.commit();
    }
    backupDatabase(c, backup);
    const QByteArray earlierBackup = fileBytes(backup);
    QVERIFY(!earlierBackup.isEmpty());

    const QString filler = dir + QStringLiteral("/filler");
    QVERIFY(fill(filler) > 0);

    // A transaction far larger than any space left.
    const QString bulky(2000, QLatin1Char('x'));
    const auto big = failureOf([&] {
        TransactionGuard transaction(c);
        for (int i = 0; i < 1500; ++i)
            insertTicket(c, QStringLiteral("F2"), QStringLiteral("BIG-%1").arg(i), bulky);
        transaction.commit();
    });
    report("big", big);
    QVERIFY2(clear(big, {QStringLiteral("full")}), qPrintable(shown(big)));
    QVERIFY(!c.inTransaction());

    // The multi-statement commands fail whole on a full disk.
    int transfers = 0;
    for (int round = 0; round < 4; ++round) {
        const auto moved = failureOf([&] {
            PointsCommands::transferAll(c, round % 2 ? QStringLiteral("F2") : QStringLiteral("F1"),
                                        round % 2 ? QStringLiteral("F1") : QStringLiteral("F2"));
        });
        report("moved", moved);
        QVERIFY(!c.inTransaction());
        if (moved) {
            QVERIFY2(clear(moved, {QStringLiteral("full"), QStringLiteral("I/O")}), qPrintable(shown(moved)));
            break;
        }
        ++transfers;
    }

    // The backup does not fit: it says so, and the earlier one is untouched.
    const auto backedUp = failureOf([&] { backupDatabase(c, backup); });
    report("backedUp", backedUp);
    QVERIFY2(clear(backedUp, {QStringLiteral("full"), QStringLiteral("备份")}), qPrintable(shown(backedUp)));
    QCOMPARE(fileBytes(backup), earlierBackup);
    QVERIFY(!QFile::exists(backup + QStringLiteral(".part")));

    // Space comes back: the same connection writes again.
    QVERIFY(QFile::remove(filler));
    const auto after = failureOf([&] { insertTicket(c, QStringLiteral("F1"), QStringLiteral("AFTER")); });
    report("after", after);
    QVERIFY2(!after, qPrintable(shown(after)));
    c.close();

    Connection reopened;
    reopened.openLocation(path);
    QCOMPARE(integrity(reopened), QStringLiteral("ok"));
    QCOMPARE(count(reopened, QStringLiteral("hyxc where piaohao like 'BIG-%'")), 0);
    QCOMPARE(count(reopened, QStringLiteral("hyxc where piaohao like 'F-%'")), 40);
    QCOMPARE(count(reopened, QStringLiteral("hyxc where piaohao='AFTER'")), 1);
    // Every transfer that returned moved and logged all rows; the failed one neither.
    const QString holder = transfers % 2 ? QStringLiteral("F2") : QStringLiteral("F1");
    QCOMPARE(count(reopened, QStringLiteral("hyxc where piaohao like 'F-%' and kh=") + sqlQuote(holder)), 40);
    QCOMPARE(count(reopened, QStringLiteral("hyxczhuanrang")), 40 * transfers);
    Connection old;
    old.openLocation(backup);
    QCOMPARE(integrity(old), QStringLiteral("ok"));
    QCOMPARE(count(old, QStringLiteral("hyxc where piaohao like 'F-%'")), 40);
}

// The customer and operator windows delete a row when the file was moved
// away under them: the delete fails with its message, and the window still
// lists the row the file still holds (it must not look deleted).
void BadFilesTest::windowDeleteOnAMovedFile()
{
    const QString path = freshCopy(QStringLiteral("window.db"));
    QVERIFY(!path.isEmpty());
    const QString movedTo = m_dir.filePath(QStringLiteral("window-moved.db"));
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(movedTo + suffix);
    QStringList messages;
    Msg::setHandler([&](const Msg::Shown &shown) {
        messages << shown.text;
        return shown.buttons == Msg::Buttons::YesNo ? Msg::Answer::Yes : Msg::Answer::Ok;
    });
    struct ResetHandler
    {
        ~ResetHandler() { Msg::setHandler({}); }
    } resetHandler;

    AppState state;
    state.setLocation(m_dir.path() + QLatin1Char('/'), QStringLiteral("window.db"));
    state.setCurrentOperator(QStringLiteral("王芳"));
    state.connection().open(state.connectionText());
    Recordset pick;
    pick.open(QStringLiteral("select kh, count(*) from hyxc group by kh order by kh"), &state.connection());
    const QString kh = pick.value(0).toString();
    const int tickets = pick.value(1).toInt();
    QVERIFY(!kh.isEmpty() && tickets > 0);

    FRMHYDA customers(state);

    loaded(customers);
    Frm_czyset operators(state);
    loaded(operators);
    const int listed = customers.customers()->recordCount();
    const int accounts = operators.accounts()->recordCount();
    QVERIFY(accounts > 0);
    const QString account = operators.accounts()->text(QStringLiteral("czy_name"));
    customers.customers()->moveTo(customers.customers()->indexOf(QStringLiteral("kh=") + sqlQuote(kh)));
    QCOMPARE(customers.customerNumber(), kh);
    QVERIFY(QFile::rename(path, movedTo));

    customers.findChild<QAction *>(QStringLiteral("delete"))->trigger();
    QVERIFY2(messages.size() == 2 && messages.last().contains(QStringLiteral("删除或移走")),
             qPrintable(messages.join(QLatin1Char('\n'))));
    QVERIFY(!state.connection().inTransaction());
    QCOMPARE(customers.customers()->recordCount(), listed);
    QVERIFY(customers.customers()->indexOf(QStringLiteral("kh=") + sqlQuote(kh)) >= 0);

    messages.clear();
    operators.toolbarClicked(QStringLiteral("delete"));
    QVERIFY2(messages.size() == 1 && messages.last().contains(QStringLiteral("删除或移走")),
             qPrintable(messages.join(QLatin1Char('\n'))));
    QVERIFY(!state.connection().inTransaction());
    QCOMPARE(operators.accounts()->recordCount(), accounts);
    QVERIFY(operators.accounts()->indexOf(QStringLiteral("czy_name=") + sqlQuote(account)) >= 0);

    Connection moved;
    moved.openLocation(movedTo);
    QCOMPARE(count(moved, QStringLiteral("hyda where kh=") + sqlQuote(kh)), 1);
    QCOMPARE(count(moved, QStringLiteral("hyxc where kh=") + sqlQuote(kh)), tickets);
    QCOMPARE(count(moved, QStringLiteral("czyzd where czy_name=") + sqlQuote(account)), 1);
}

// The small file systems are mounted in a mount namespace of the test's own,
// so none outlives the test process, however it ends. Without the right to
// make one, they are mounted where the test runs and unmounted after use.
int main(int argc, char **argv)
{
    if (::unshare(CLONE_NEWNS) == 0)
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    QApplication app(argc, argv);
    BadFilesTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_badfiles.moc"
