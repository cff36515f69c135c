#include "regularfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool openDescriptor(QFile &file, const QString &path, int flags, QIODevice::OpenMode mode, QString *error)
{
    file.close();
    const QByteArray native = QFile::encodeName(path);
    // New files get what the user's umask leaves of 0666, as QFile gives:
    // the launcher may run as another user than the one reading.
    const int fd = ::open(native.constData(), flags | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        setError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        setError(error, QStringLiteral("not a regular file"));
        return false;
    }
    // Regular files ignore the flag; it only had to keep open() from waiting.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        setError(error, file.errorString());
        return false;
    }
    return true;
}

} // namespace

bool openForReading(QFile &file, const QString &path, QString *error)
{
    return openDescriptor(file, path, O_RDONLY, QIODevice::ReadOnly | QIODevice::Unbuffered, error);
}

bool openForAppending(QFile &file, const QString &path, bool truncate, QString *error)
{
    const int flags = O_WRONLY | O_APPEND | O_CREAT | (truncate ? O_TRUNC : 0);
    return openDescriptor(file, path, flags, QIODevice::WriteOnly | QIODevice::Append, error);
}

} // namespace RegularFile
