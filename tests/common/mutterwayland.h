#pragma once

#include <QObject>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// mutter as a headless Wayland compositor of the test's own, on a session bus
// of its own (dbus-run-session), with real pointer input through its
// remote-desktop interface. mutter offers no window list or screenshot
// without a shell, so what it says about windows comes from its own verbose
// log: the geometry it settles on for each move or resize, and each
// maximise and unmaximise it carries out. Windows are named as mutter names
// them in that log (W0, W1, ...), in the order it shows them.
class MutterWayland : public QObject
{
    Q_OBJECT
public:
    explicit MutterWayland(QObject *parent = nullptr);
    ~MutterWayland() override;

    // What is missing on this machine to run it; empty when nothing is.
    static QString missing();

    // Starts mutter with a monitor of the given size, its Wayland socket
    // named socket in XDG_RUNTIME_DIR, and the input client on its bus.
    bool start(const QString &socket, const QSize &monitor, int timeoutMs = 20000);
    // Ends the input client, mutter and its bus; true when all are gone.
    bool stop();
    qint64 compositorPid() const { return m_mutterPid; }

    // Real input. The pointer is pinned to the top-left corner first, then
    // moved by relative motion, which mutter applies unaccelerated.
    bool moveTo(const QPoint &to);
    bool click(const QPoint &at);
    bool doubleClick(const QPoint &at);
    // Press at from, a small first step (where an interactive move begins),
    // the way to to in a few steps, a pause, release.
    bool drag(const QPoint &from, const QPoint &to);

    // Windows mutter has shown and placed, oldest first.
    QStringList windows();
    // The geometry mutter settled on last for the window, and the one it
    // started that change from; null when it has none yet.
    QRect geometry(const QString &window) { return lastChange(window).second; }
    QRect geometryBefore(const QString &window) { return lastChange(window).first; }
    // How often mutter maximised and unmaximised the window.
    int maximised(const QString &window) { return count(QStringLiteral("WINDOW_OPS: Maximizing ") + window); }
    int unmaximised(const QString &window) { return count(QStringLiteral("WINDOW_OPS: Unmaximizing ") + window); }
    QString logTail(int lines = 40);

private:
    bool command(const QString &line);
    void readLog();
    int count(const QString &lineEnd);
    QPair<QRect, QRect> lastChange(const QString &window);

    QProcess m_compositor;
    QProcess m_input;
    qint64 m_mutterPid = 0;
    QString m_busAddress;
    QByteArray m_partial;
    // Only the topics this class reads are kept: a verbose mutter logs
    // every frame it draws.
    QStringList m_log;
};
