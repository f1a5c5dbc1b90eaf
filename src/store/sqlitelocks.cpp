#include "store/sqlitelocks.h"

#include <QFile>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace {

using FileId = std::pair<dev_t, ino_t>;

// One descriptor per file that carries every lock the engine takes on it,
// opened at the first lock and closed with the engine's last descriptor of
// the file (when a POSIX lock would have gone too).
struct LockHolder
{
    int fd = -1;
    int users = 0;
};

std::mutex g_mutex;
std::unordered_map<int, FileId> g_fileOf;
std::map<FileId, LockHolder> g_holders;
bool g_installed = false;

void forget(int fd)
{
    const auto found = g_fileOf.find(fd);
    if (found == g_fileOf.end())
        return;
    const auto holder = g_holders.find(found->second);
    g_fileOf.erase(found);
    if (holder == g_holders.end() || --holder->second.users > 0)
        return;
    if (holder->second.fd >= 0)
        ::close(holder->second.fd);
    g_holders.erase(holder);
}

void remember(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return;
    forget(fd);
    g_fileOf[fd] = {st.st_dev, st.st_ino};
    ++g_holders[{st.st_dev, st.st_ino}].users;
}

int lockingOpen(const char *path, int flags, int mode)
{
    const int fd = ::open(path, flags, mode);
    if (fd >= 0) {
        std::lock_guard lock(g_mutex);
        remember(fd);
    }
    return fd;
}

int lockingClose(int fd)
{
    {
        std::lock_guard lock(g_mutex);
        forget(fd);
    }
    return ::close(fd);
}

// The descriptor that carries the locks of the engine's descriptor `fd`:
// a description of its own for the same file, read-write where allowed.
int holderOf(int fd)
{
    std::lock_guard lock(g_mutex);
    if (!g_fileOf.count(fd))
        remember(fd);
    const auto file = g_fileOf.find(fd);
    if (file == g_fileOf.end())
        return -1;
    LockHolder &holder = g_holders[file->second];
    if (holder.fd < 0) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        holder.fd = ::open(self, O_RDWR | O_CLOEXEC);
        if (holder.fd < 0)
            holder.fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    }
    return holder.fd;
}

int ofdCommand(int command)
{
    switch (command) {
    case F_GETLK:
        return F_OFD_GETLK;
    case F_SETLK:
        return F_OFD_SETLK;
    case F_SETLKW:
        return F_OFD_SETLKW;
    default:
        return -1;
    }
}

int lockingFcntl(int fd, int command, ...)
{
    va_list args;
    va_start(args, command);
    void *argument = va_arg(args, void *);
    va_end(args);
    const int ofd = ofdCommand(command);
    if (ofd < 0)
        return ::fcntl(fd, command, argument);
    auto *lock = static_cast<struct flock *>(argument);
    const int holder = holderOf(fd);
    if (holder >= 0) {
        struct flock request = *lock;
        request.l_pid = 0; // an open-file-description lock names no process
        const int rc = ::fcntl(holder, ofd, &request);
        if (rc == 0 || errno != EINVAL) {
            if (rc == 0 && command == F_GETLK)
                *lock = request;
            return rc;
        }
    }
    // A kernel without such locks: the engine's own POSIX locks.
    return ::fcntl(fd, command, lock);
}

void install()
{
    sqlite3_vfs *vfs = sqlite3_vfs_find("unix");
    if (!vfs || vfs->iVersion < 3 || !vfs->xSetSystemCall)
        return;
    // The three calls are replaced together or not at all.
    if (vfs->xSetSystemCall(vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(&lockingOpen)) != SQLITE_OK)
        return;
    if (vfs->xSetSystemCall(vfs, "close", reinterpret_cast<sqlite3_syscall_ptr>(&lockingClose)) != SQLITE_OK
        || vfs->xSetSystemCall(vfs, "fcntl", reinterpret_cast<sqlite3_syscall_ptr>(&lockingFcntl)) != SQLITE_OK) {
        vfs->xSetSystemCall(vfs, nullptr, nullptr);
        return;
    }
    g_installed = true;
}

// Before main(): no file of the engine can be open yet, so no lock taken the
// old way is ever released the new way.
const bool g_installedAtStart = (SqliteLocks::keepLocksAcrossCloses(), true);

} // namespace

namespace SqliteLocks {

void keepLocksAcrossCloses()
{
    static std::once_flag once;
    std::call_once(once, install);
}

bool keptAcrossCloses()
{
    return g_installed;
}

bool engineHasOpen(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    std::lock_guard lock(g_mutex);
    return g_holders.count({st.st_dev, st.st_ino}) > 0;
}

QString refusalToWrite(const QString &path)
{
    if (!engineHasOpen(path))
        return QString();
    return QStringLiteral("“%1”是正在使用的数据库文件，不能写入，请另选文件名。").arg(path);
}

} // namespace SqliteLocks
