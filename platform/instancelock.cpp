#include "instancelock.h"

#include "localpaths.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::~InstanceLock()
{
    release();
}

InstanceLock::Result InstanceLock::tryLock(const QString &name)
{
    release();
    m_error.clear();
    m_path = LocalPaths::lockFilePath(name);
    if (m_path.isEmpty()) {
        m_error = QStringLiteral("no private runtime folder for the lock file");
        return Result::Failed;
    }
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("cannot open %1: %2").arg(m_path, QString::fromLocal8Bit(strerror(errno)));
        return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return Result::HeldElsewhere;
        m_error = QStringLiteral("cannot lock %1: %2").arg(m_path, QString::fromLocal8Bit(strerror(err)));
        return Result::Failed;
    }
    m_fd = fd;
    return Result::Acquired;
}

void InstanceLock::release()
{
    if (m_fd < 0)
        return;
    // The file stays: removing it would let a third process lock a new file
    // while a second one still waits on the old inode.
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}
