#include "localconnection.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <unistd.h>

namespace {
constexpr int readChunkBytes = 16 * 1024;
}

LocalConnection::LocalConnection(int descriptor, const Limits &limits, QObject *parent)
    : QObject(parent)
    , m_fd(descriptor)
    , m_message(limits.maxMessageBytes)
    , m_notifier(new QSocketNotifier(descriptor, QSocketNotifier::Read, this))
    , m_idle(new QTimer(this))
    , m_lifetime(new QTimer(this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalConnection::onReadyRead);
    m_idle->setSingleShot(true);
    m_idle->setInterval(limits.idleTimeoutMs);
    connect(m_idle, &QTimer::timeout, this, [this]() { endUnlessClosed(End::Idle); });
    // Started once and never restarted: bytes that keep coming buy no time.
    m_lifetime->setSingleShot(true);
    m_lifetime->setInterval(limits.lifetimeMs);
    connect(m_lifetime, &QTimer::timeout, this, [this]() { endUnlessClosed(End::Expired); });
    m_idle->start();
    m_lifetime->start();
}

LocalConnection::~LocalConnection()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void LocalConnection::onReadyRead()
{
    readAvailable();
}

bool LocalConnection::readAvailable()
{
    char buffer[readChunkBytes];
    while (m_end == End::Open) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got > 0) {
            if (!m_message.append(buffer, int(got))) {
                // No point in reading the rest.
                finish(End::Oversized);
                return false;
            }
            m_idle->start();
        } else if (got == 0) {
            finish(End::Closed);
            return false;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return true;
        } else if (errno != EINTR) {
            // A reset after the last byte: nothing more will come.
            finish(End::Closed);
            return false;
        }
    }
    return false;
}

void LocalConnection::endUnlessClosed(End end)
{
    // The timer may have come due while the loop was busy elsewhere, with
    // the sender's close already waiting to be read.
    if (readAvailable())
        finish(end);
}

void LocalConnection::drop()
{
    endUnlessClosed(End::Dropped);
}

void LocalConnection::finish(End end)
{
    if (m_end != End::Open)
        return;
    m_end = end;
    m_notifier->setEnabled(false);
    m_idle->stop();
    m_lifetime->stop();
    ::close(m_fd);
    m_fd = -1;
    emit ended(this);
}
