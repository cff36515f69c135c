#pragma once

#include <QObject>
#include <QString>

#include <sys/types.h>

class QSocketNotifier;
class QTimer;

// A listening local socket that never closes itself. Qt's own server closes
// for good when one accept fails, which a crowd of peers can bring about by
// using up the process's file descriptors; here a failed accept is the
// caller's to handle, and the connections stay queued meanwhile.
class LocalListener : public QObject
{
    Q_OBJECT
public:
    // Connections the system queues before they are taken.
    static constexpr int backlog = 50;

    explicit LocalListener(QObject *parent = nullptr);
    ~LocalListener() override;

    // Replaces whatever a server that ended abnormally left at the path, then
    // listens there; any user may connect (the folder decides who can reach
    // it). On failure errorString() says why.
    bool listen(const QString &path);
    bool isListening() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

    // Takes one queued connection: its descriptor (non-blocking, not
    // inherited by child processes), or -1 with errno set; EAGAIN means none
    // is queued.
    int acceptOne();
    // Stops waking for queued connections for a while; they stay queued.
    void pause(int ms);
    // Removes the socket node so that nobody new can connect, while the
    // connections already queued can still be taken. Only our own node goes,
    // never one that a successor has put there since.
    void unlinkPath();
    void close();

signals:
    // Connections are queued (again after a pause).
    void newConnection();

private:
    void fail(const QString &step);
    void resume();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_resume;
    QString m_path;
    QString m_error;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_linked = false;
};
