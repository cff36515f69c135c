#include "wlrootscompositor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t nobody = 65534;

const char swayConfig[] = "xwayland disable\n"
                          "output * resolution 1280x1024\n"
                          "default_border none\n"
                          "default_floating_border none\n"
                          "focus_follows_mouse no\n"
                          "for_window [app_id=\".*\"] floating enable\n";

QRect rectOf(const QJsonObject &node)
{
    const QJsonObject rect = node.value(QLatin1String("rect")).toObject();
    return QRect(rect.value(QLatin1String("x")).toInt(), rect.value(QLatin1String("y")).toInt(),
                 rect.value(QLatin1String("width")).toInt(), rect.value(QLatin1String("height")).toInt());
}

// Views (they have an app id or a process) under node, depth first.
void collectViews(const QJsonObject &node, QList<QJsonObject> &views)
{
    if (node.contains(QLatin1String("pid")))
        views << node;
    for (const char *key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue &child : node.value(QLatin1String(key)).toArray())
            collectViews(child.toObject(), views);
    }
}

} // namespace

WlrootsCompositor::~WlrootsCompositor()
{
    stop();
}

bool WlrootsCompositor::isInstalled(Kind kind)
{
    const QString program = kind == Sway ? QStringLiteral("sway") : QStringLiteral("cage");
    if (QStandardPaths::findExecutable(program).isEmpty() || QStandardPaths::findExecutable(QStringLiteral("grim")).isEmpty())
        return false;
    // cage 0.1 cannot start without Xwayland.
    return kind == Sway || !QStandardPaths::findExecutable(QStringLiteral("Xwayland")).isEmpty();
}

bool WlrootsCompositor::start(Kind kind, int timeoutMs)
{
    stop();
    if (!m_runtime.isValid())
        return false;
    const QByteArray runtime = QFile::encodeName(m_runtime.path());
    const QByteArray config = runtime + "/sway.conf";
    const QByteArray log = runtime + "/compositor.log";
    if (kind == Sway) {
        QFile file(QFile::decodeName(config));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(swayConfig) < 0)
            return false;
    }
    const bool root = ::geteuid() == 0;
    if (root) {
        // The folder stays closed to others, as a runtime folder must be.
        for (const QByteArray &path : {runtime, config})
            if (::chown(path.constData(), nobody, nobody) != 0 && path == runtime)
                return false;
    }
    const QByteArray program = QFile::encodeName(
        QStandardPaths::findExecutable(kind == Sway ? QStringLiteral("sway") : QStringLiteral("cage")));
    const QByteArray sleeper = QFile::encodeName(QStandardPaths::findExecutable(QStringLiteral("sleep")));

    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // A group of its own: cage's idle client goes with it.
        ::setsid();
        const int out = ::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        if (root) {
            ::fchown(out, nobody, nobody);
            if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0
                || ::setresuid(nobody, nobody, nobody) != 0)
                ::_exit(126);
        }
        const QByteArray home = "HOME=" + runtime;
        const QByteArray xdg = "XDG_RUNTIME_DIR=" + runtime;
        char *environment[] = {const_cast<char *>("PATH=/usr/local/bin:/usr/bin:/bin"),
                               const_cast<char *>(home.constData()),
                               const_cast<char *>(xdg.constData()),
                               const_cast<char *>("WLR_BACKENDS=headless"),
                               const_cast<char *>("WLR_RENDERER=pixman"),
                               const_cast<char *>("WLR_LIBINPUT_NO_DEVICES=1"),
                               const_cast<char *>("WLR_HEADLESS_OUTPUTS=1"),
                               nullptr};
        if (kind == Sway) {
            char *arguments[] = {const_cast<char *>(program.constData()), const_cast<char *>("-c"),
                                 const_cast<char *>(config.constData()), nullptr};
            ::execve(program.constData(), arguments, environment);
        } else {
            // cage runs one program and ends with it: one that waits.
            char *arguments[] = {const_cast<char *>(program.constData()), const_cast<char *>("--"),
                                 const_cast<char *>(sleeper.constData()), const_cast<char *>("infinity"), nullptr};
            ::execve(program.constData(), arguments, environment);
        }
        ::_exit(127);
    }
    m_pid = pid;
    if (!waitForSockets(kind, timeoutMs)) {
        stop();
        return false;
    }
    return true;
}

bool WlrootsCompositor::waitForSockets(Kind kind, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    const QDir folder(m_runtime.path());
    while (timer.elapsed() < timeoutMs) {
        if (!isRunning())
            return false;
        const QStringList sockets = folder.entryList({QStringLiteral("wayland-*")}, QDir::System);
        const QStringList ipc = folder.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        if (!sockets.isEmpty() && (kind == Cage || !ipc.isEmpty())) {
            m_socket = folder.filePath(sockets.first());
            m_ipcSocket = ipc.isEmpty() ? QString() : folder.filePath(ipc.first());
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

void WlrootsCompositor::stop()
{
    if (m_pid <= 0)
        return;
    const pid_t group = m_pid;
    ::kill(-group, SIGTERM);
    bool ended = false;
    for (int attempt = 0; attempt < 100 && !ended; ++attempt) {
        ended = ::waitpid(group, nullptr, WNOHANG) == group;
        if (!ended)
            QThread::msleep(50);
    }
    // Also whatever of the group outlived the compositor (cage's client).
    ::kill(-group, SIGKILL);
    if (!ended)
        ::waitpid(group, nullptr, 0);
    m_pid = -1;
    m_socket.clear();
    m_ipcSocket.clear();
}

bool WlrootsCompositor::isRunning() const
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
    if (done == m_pid) {
        const_cast<WlrootsCompositor *>(this)->m_pid = -1;
        return false;
    }
    return true;
}

QString WlrootsCompositor::logText() const
{
    QFile file(m_runtime.path() + QStringLiteral("/compositor.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QByteArray WlrootsCompositor::swaymsg(const QStringList &arguments) const
{
    if (m_ipcSocket.isEmpty())
        return QByteArray();
    QProcess process;
    process.start(QStringLiteral("swaymsg"), QStringList{QStringLiteral("-s"), m_ipcSocket} + arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return QByteArray();
    }
    return process.readAllStandardOutput();
}

QStringList WlrootsCompositor::windowTitles() const
{
    QList<QJsonObject> views;
    collectViews(QJsonDocument::fromJson(swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")})).object(), views);
    QStringList titles;
    for (const QJsonObject &view : qAsConst(views))
        titles << view.value(QLatin1String("name")).toString();
    return titles;
}

QRect WlrootsCompositor::windowFrame(const QString &title) const
{
    QList<QJsonObject> views;
    collectViews(QJsonDocument::fromJson(swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")})).object(), views);
    for (const QJsonObject &view : qAsConst(views)) {
        if (view.value(QLatin1String("name")).toString() == title)
            return rectOf(view);
    }
    return QRect();
}

QRect WlrootsCompositor::outputRect() const
{
    const QJsonArray outputs = QJsonDocument::fromJson(swaymsg({QStringLiteral("-t"), QStringLiteral("get_outputs")})).array();
    return outputs.isEmpty() ? QRect() : rectOf(outputs.first().toObject());
}

QImage WlrootsCompositor::screenshot() const
{
    QProcess grim;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_socket);
    grim.setProcessEnvironment(environment);
    // PPM: no compression to wait for.
    grim.start(QStringLiteral("grim"), {QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")});
    if (!grim.waitForFinished(10000)) {
        grim.kill();
        grim.waitForFinished();
        return QImage();
    }
    return QImage::fromData(grim.readAllStandardOutput(), "PPM");
}
