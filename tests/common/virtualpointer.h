#pragma once

#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QString>

// Real pointer input on a wlroots compositor that has no input devices: the
// test tree's virtualpointer client holds one virtual pointer open and plays
// what it is told. Each call returns once the compositor has processed it.
class VirtualPointer
{
public:
    VirtualPointer() = default;
    ~VirtualPointer();
    VirtualPointer(const VirtualPointer &) = delete;
    VirtualPointer &operator=(const VirtualPointer &) = delete;

    // The client's path in the build tree.
    static QString toolPath();

    // Positions are pixels of an output of size extent.
    bool start(const QString &waylandDisplay, const QSize &extent);
    void stop();

    bool move(const QPoint &to);
    bool press();
    bool release();
    bool click(const QPoint &at);
    bool doubleClick(const QPoint &at);
    // Presses at from, takes a small first step (a frameless window starts
    // its move there), goes to to in steps and releases, with the pauses a
    // program across the compositor needs to follow.
    bool drag(const QPoint &from, const QPoint &to);

    QString lastError() const { return m_error; }

private:
    bool send(const QByteArray &line);

    QProcess m_process;
    QString m_error;
};
