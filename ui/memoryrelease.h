#pragma once

#include <QElapsedTimer>
#include <QObject>

class QThreadPool;
class QTimer;

// Gives the memory of closed windows back to the system. A page's engine
// objects are freed when its window is deleted, but the C library's allocator
// keeps freed pages for reuse, so a program that has opened and closed many
// windows stays as large as it was at its busiest. Once windows are gone and
// none has gone for a quiet moment, the allocator is asked to return its free
// pages: after the window's close notice has left, and once for a burst of
// closes, not once per window. A steady stream of closes still gets a release
// after longestWaitMs. The release itself runs on a thread of its own: it can
// take a while for a large heap, and the event loop need not wait for it.
class MemoryRelease : public QObject
{
    Q_OBJECT
public:
    static constexpr int defaultQuietMs = 2000;
    static constexpr int defaultLongestWaitMs = 10000;

    explicit MemoryRelease(int quietMs = defaultQuietMs, int longestWaitMs = defaultLongestWaitMs,
                           QObject *parent = nullptr);
    ~MemoryRelease() override;

    // The program's one instance, for its windows.
    static MemoryRelease *instance();

    // Releases memory some time after window is destroyed.
    void watch(QObject *window);
    bool pending() const;

    // Anonymous memory resident in this process, in KiB (-1 if unknown).
    static qint64 residentAnonymousKiB();

signals:
    // The allocator was asked to give back what it keeps; the figures are
    // this process's resident anonymous memory before and after, in KiB, and
    // how long that took.
    void released(qint64 beforeKiB, qint64 afterKiB, qint64 tookMs);

private:
    void windowGone();
    void release();

    QTimer *m_quiet = nullptr;
    QThreadPool *m_worker = nullptr;
    QElapsedTimer m_firstPending;
    int m_quietMs;
    int m_longestWaitMs;
};
