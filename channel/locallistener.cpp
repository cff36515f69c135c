#include "locallistener.h"

#include <QFile>
#include <QLocalServer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

LocalListener::LocalListener(QObject *parent)
    : QObject(parent)
    , m_resume(new QTimer(this))
{
    m_resume->setSingleShot(true);
    connect(m_resume, &QTimer::timeout, this, &LocalListener::resume);
}

LocalListener::~LocalListener()
{
    close();
}

void LocalListener::fail(const QString &step)
{
    m_error = QStringLiteral("%1: %2").arg(step, QString::fromLocal8Bit(strerror(errno)));
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool LocalListener::listen(const QString &path)
{
    close();
    m_path = path;
    m_error.clear();
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (encoded.isEmpty() || size_t(encoded.size()) >= sizeof address.sun_path) {
        m_error = QStringLiteral("socket path empty or too long");
        return false;
    }
    memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));

    QLocalServer::removeServer(path);
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        fail(QStringLiteral("socket"));
        return false;
    }
    if (::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        fail(QStringLiteral("bind"));
        return false;
    }
    struct stat node;
    // Nobody can connect before listen(), so opening the mode up here
    // leaves no window in which the node is reachable with the wrong one.
    if (::chmod(encoded.constData(), 0777) != 0 || ::lstat(encoded.constData(), &node) != 0) {
        fail(QStringLiteral("chmod"));
        ::unlink(encoded.constData());
        return false;
    }
    m_device = node.st_dev;
    m_inode = node.st_ino;
    m_linked = true;
    if (::listen(m_fd, backlog) != 0) {
        fail(QStringLiteral("listen"));
        unlinkPath();
        return false;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalListener::newConnection);
    return true;
}

int LocalListener::acceptOne()
{
    if (m_fd < 0) {
        errno = EBADF;
        return -1;
    }
    int fd;
    do
        fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

void LocalListener::pause(int ms)
{
    if (!m_notifier)
        return;
    m_notifier->setEnabled(false);
    m_resume->start(ms);
}

void LocalListener::resume()
{
    if (m_notifier)
        m_notifier->setEnabled(true);
    // Whatever was queued meanwhile is still there.
    if (m_fd >= 0)
        emit newConnection();
}

void LocalListener::unlinkPath()
{
    if (!m_linked)
        return;
    m_linked = false;
    const QByteArray encoded = QFile::encodeName(m_path);
    struct stat node;
    if (::lstat(encoded.constData(), &node) != 0 || node.st_dev != m_device || node.st_ino != m_inode)
        return;
    if (::unlink(encoded.constData()) != 0 && errno != ENOENT)
        qWarning("[Tradory] cannot remove %s: %s", encoded.constData(), strerror(errno));
}

void LocalListener::close()
{
    m_resume->stop();
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    unlinkPath();
}
