#include "store/privatefile.h"

#include "store/dberror.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void PrivateFile::create(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    // A umask can only take bits away; fchmod puts back what a strict one removed.
    const bool ok = fd >= 0 && ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!ok) {
        if (fd >= 0)
            QFile::remove(path);
        throw DbException(DbErrorCode::GeneralFailure,
                          QStringLiteral("无法创建文件“%1”: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
}
