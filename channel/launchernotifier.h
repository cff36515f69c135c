#pragma once

#include <QMutex>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QThread>
#include <QWaitCondition>

// Delivers messages to the launcher's server without holding up the caller.
// A launcher that is slow, hung or full would otherwise block the GUI thread
// for up to a minute per message; here one worker thread sends them, each on
// its own connection, strictly in the order they were given.
class LauncherNotifier : public QThread
{
    Q_OBJECT
public:
    static constexpr int maxQueued = 1000;

    static LauncherNotifier *instance();

    // Queues text for serverName and returns at once. Beyond maxQueued
    // waiting messages new ones are dropped (and logged): the launcher is
    // clearly not taking them.
    void post(const QString &serverName, const QString &text);
    // Waits up to timeoutMs for every queued message to be sent (or to fail);
    // returns whether the queue ran empty. Called before the program ends.
    bool flush(int timeoutMs);
    // Stops the worker after the message in hand; queued ones are dropped.
    void shutdown();

    int pending() const;

signals:
    void delivered(const QString &text, bool ok);

protected:
    void run() override;

private:
    LauncherNotifier() = default;
    ~LauncherNotifier() override;

    struct Message {
        QString server;
        QString text;
    };
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    QWaitCondition m_idle;
    QQueue<Message> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
};
