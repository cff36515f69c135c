#include "launchernotifier.h"

#include "vclient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutexLocker>

LauncherNotifier *LauncherNotifier::instance()
{
    static LauncherNotifier *notifier = [] {
        auto *created = new LauncherNotifier;
        created->setObjectName(QStringLiteral("LauncherNotifier"));
        created->start();
        return created;
    }();
    return notifier;
}

LauncherNotifier::~LauncherNotifier()
{
    shutdown();
}

void LauncherNotifier::post(const QString &serverName, const QString &text)
{
    QMutexLocker locker(&m_mutex);
    if (m_stopping)
        return;
    if (m_queue.size() >= maxQueued) {
        qWarning("[Tradory] launcher not taking messages, %d waiting: dropped \"%s\"", maxQueued,
                 qUtf8Printable(text.left(80)));
        return;
    }
    m_queue.enqueue(Message{serverName, text});
    m_wake.wakeOne();
}

bool LauncherNotifier::flush(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker locker(&m_mutex);
    while (!m_queue.isEmpty() || m_busy) {
        if (!m_idle.wait(&m_mutex, deadline))
            return false;
    }
    return true;
}

void LauncherNotifier::shutdown()
{
    {
        QMutexLocker locker(&m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_wake.wakeAll();
    }
    // A send in hand finishes within its own time-outs; do not wait on a hung
    // launcher longer than a moment at exit.
    if (!wait(2000))
        qWarning("[Tradory] a launcher message was still being sent at exit");
}

int LauncherNotifier::pending() const
{
    QMutexLocker locker(&m_mutex);
    return m_queue.size() + (m_busy ? 1 : 0);
}

void LauncherNotifier::run()
{
    for (;;) {
        Message message;
        {
            QMutexLocker locker(&m_mutex);
            while (m_queue.isEmpty() && !m_stopping) {
                m_busy = false;
                m_idle.wakeAll();
                m_wake.wait(&m_mutex);
            }
            if (m_stopping) {
                m_busy = false;
                m_idle.wakeAll();
                return;
            }
            message = m_queue.dequeue();
            m_busy = true;
        }
        VClient client;
        const bool ok = client.connectServer(message.server) && client.sendMessage(message.text);
        emit delivered(message.text, ok);
    }
}
