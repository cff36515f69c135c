#pragma once

#include <QString>

// The single-instance marker: an exclusive advisory lock on a file in the
// per-user runtime folder. The kernel drops the lock when the process ends,
// however it ends, so a crashed primary never blocks the next start.
class InstanceLock
{
public:
    enum class Result {
        Acquired,       // this process is the primary instance
        HeldElsewhere,  // another process holds the lock
        Failed          // the lock file could not be used; see errorString()
    };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    Result tryLock(const QString &name);
    void release();

    bool isHeld() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

private:
    int m_fd = -1;
    QString m_path;
    QString m_error;
};
