#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

// A wlroots compositor, sway or cage, on its headless backend with the pixman
// renderer: a real Wayland desktop without a screen or input devices. Both
// refuse to run as root, so under root it runs as nobody, in a runtime folder
// of nobody's; clients (the test, the program, grim) reach it through the
// absolute path of its socket. Started with fork and exec, so that it can be
// there before the test's own application connects at its creation.
class WlrootsCompositor
{
public:
    enum Kind { Sway, Cage };

    WlrootsCompositor() = default;
    ~WlrootsCompositor();
    WlrootsCompositor(const WlrootsCompositor &) = delete;
    WlrootsCompositor &operator=(const WlrootsCompositor &) = delete;

    static bool isInstalled(Kind kind);

    // Starts it and waits for its socket (and sway's command socket). Every
    // window of sway floats: a tiled one would be sized by the layout.
    bool start(Kind kind, int timeoutMs = 15000);
    void stop();
    bool isRunning() const;

    // For WAYLAND_DISPLAY.
    QString socketPath() const { return m_socket; }
    QString logText() const;

    // swaymsg against this sway; its standard output.
    QByteArray swaymsg(const QStringList &arguments) const;
    // The frame of the top-level window whose title is exactly title, by
    // sway's word; null when there is none.
    QRect windowFrame(const QString &title) const;
    QStringList windowTitles() const;
    // The output's size, by sway's word.
    QRect outputRect() const;

    // The whole output (grim, through the screencopy protocol).
    QImage screenshot() const;

private:
    bool waitForSockets(Kind kind, int timeoutMs);

    QTemporaryDir m_runtime;
    pid_t m_pid = -1;
    QString m_socket;
    QString m_ipcSocket;
};
