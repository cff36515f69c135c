#include "memoryrelease.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QThreadPool>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

MemoryRelease::MemoryRelease(int quietMs, int longestWaitMs, QObject *parent)
    : QObject(parent)
    , m_quietMs(quietMs)
    , m_longestWaitMs(longestWaitMs)
{
    m_quiet = new QTimer(this);
    m_quiet->setSingleShot(true);
    connect(m_quiet, &QTimer::timeout, this, &MemoryRelease::release);
    m_worker = new QThreadPool(this);
    m_worker->setMaxThreadCount(1);
    // No thread kept waiting for the next quiet moment.
    m_worker->setExpiryTimeout(5000);
}

MemoryRelease::~MemoryRelease()
{
    // A running release reports back to this object.
    m_worker->waitForDone();
}

MemoryRelease *MemoryRelease::instance()
{
    // Deliberately never deleted: windows may still go while static objects
    // are torn down, and a release then is of no use.
    static MemoryRelease *release = new MemoryRelease;
    return release;
}

void MemoryRelease::watch(QObject *window)
{
    connect(window, &QObject::destroyed, this, &MemoryRelease::windowGone);
}

bool MemoryRelease::pending() const
{
    return m_quiet->isActive();
}

void MemoryRelease::windowGone()
{
    if (!m_quiet->isActive()) {
        m_firstPending.start();
        m_quiet->start(m_quietMs);
        return;
    }
    // Every further close in a burst moves the release back, but not past the
    // longest wait since the first one that is still owed.
    const qint64 left = m_longestWaitMs - m_firstPending.elapsed();
    m_quiet->start(int(qBound<qint64>(0, left, m_quietMs)));
}

qint64 MemoryRelease::residentAnonymousKiB()
{
    // Files under /proc report no size: read until the end, not to a length.
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return -1;
    QByteArray text;
    char chunk[4096];
    qint64 got = 0;
    while ((got = status.read(chunk, sizeof chunk)) > 0)
        text.append(chunk, int(got));
    const int at = text.indexOf("\nRssAnon:");
    if (at < 0)
        return -1;
    const int end = text.indexOf('\n', at + 1);
    bool ok = false;
    const qint64 kib = text.mid(at + 9, end < 0 ? -1 : end - at - 9).trimmed().split(' ').value(0).toLongLong(&ok);
    return ok ? kib : -1;
}

void MemoryRelease::release()
{
    m_worker->start([this]() {
        QElapsedTimer took;
        took.start();
        const qint64 before = residentAnonymousKiB();
#ifdef __GLIBC__
        malloc_trim(0);
#endif
        const qint64 after = residentAnonymousKiB();
        const qint64 ms = took.elapsed();
        QMetaObject::invokeMethod(
            this,
            [this, before, after, ms]() {
                qInfo("[Tradory] memory given back after closed windows: resident anonymous %lld KiB -> %lld KiB "
                      "in %lld ms",
                      before, after, ms);
                emit released(before, after, ms);
            },
            Qt::QueuedConnection);
    });
}
