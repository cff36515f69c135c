#include "mutterwayland.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSize>
#include <QStandardPaths>
#include <QtTest>

#include <signal.h>

namespace {

// Debian's own interpreter: it has the GObject bindings (python3-gi), which
// an interpreter earlier on PATH may lack.
const char systemPython[] = "/usr/bin/python3";

QString inputScript()
{
    return QFINDTESTDATA("mutterinput.py");
}

} // namespace

MutterWayland::MutterWayland(QObject *parent)
    : QObject(parent)
{
    connect(&m_compositor, &QProcess::readyReadStandardError, this, &MutterWayland::readLog);
}

MutterWayland::~MutterWayland()
{
    stop();
}

QString MutterWayland::missing()
{
    for (const char *program : {"mutter", "dbus-run-session"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return QString::fromLatin1(program);
    }
    if (!QFileInfo::exists(QStringLiteral("/usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so")))
        return QStringLiteral("qtwayland5");
    QProcess probe;
    probe.start(QString::fromLatin1(systemPython),
                {QStringLiteral("-c"), QStringLiteral("import gi; gi.require_version('Gio', '2.0'); from gi.repository import Gio")});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return QStringLiteral("python3-gi");
    if (inputScript().isEmpty())
        return QStringLiteral("mutterinput.py");
    return QString();
}

bool MutterWayland::start(const QString &socket, const QSize &monitor, int timeoutMs)
{
    stop();
    m_log.clear();
    m_partial.clear();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MUTTER_VERBOSE"), QStringLiteral("1"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_compositor.setProcessEnvironment(environment);
    // The shell says which process mutter will be (it keeps the id across
    // exec) and where the bus that dbus-run-session made is; mutter's own
    // log goes to the error output.
    const QString script = QStringLiteral("echo $$; echo \"$DBUS_SESSION_BUS_ADDRESS\"; "
                                          "exec mutter --wayland --headless --no-x11 --virtual-monitor %1x%2 --wayland-display=%3")
                               .arg(monitor.width()).arg(monitor.height()).arg(socket);
    m_compositor.start(QStringLiteral("dbus-run-session"), {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), script});
    if (!m_compositor.waitForStarted())
        return false;
    QElapsedTimer timer;
    timer.start();
    QStringList said;
    while (said.size() < 2 && !timer.hasExpired(timeoutMs)) {
        if (m_compositor.canReadLine())
            said << QString::fromUtf8(m_compositor.readLine()).trimmed();
        else if (m_compositor.state() == QProcess::NotRunning)
            return false;
        else
            m_compositor.waitForReadyRead(100);
    }
    m_mutterPid = said.value(0).toLongLong();
    m_busAddress = said.value(1);
    if (m_mutterPid <= 0 || m_busAddress.isEmpty())
        return false;
    const QString socketPath = qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + socket;
    if (!QTest::qWaitFor([&]() { return QFileInfo::exists(socketPath); }, int(qMax<qint64>(0, timeoutMs - timer.elapsed()))))
        return false;

    // One client for the whole run: mutter drops a session's virtual devices
    // when the client that made it goes.
    QProcessEnvironment inputEnvironment = QProcessEnvironment::systemEnvironment();
    inputEnvironment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    m_input.setProcessEnvironment(inputEnvironment);
    m_input.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_input.start(QString::fromLatin1(systemPython), {inputScript()});
    if (!m_input.waitForStarted())
        return false;
    if (!QTest::qWaitFor([this]() { return m_input.canReadLine() || m_input.state() == QProcess::NotRunning; }, 10000))
        return false;
    return m_input.readLine().trimmed() == "ready";
}

bool MutterWayland::stop()
{
    if (m_input.state() != QProcess::NotRunning) {
        m_input.closeWriteChannel();
        if (!m_input.waitForFinished(5000)) {
            m_input.kill();
            m_input.waitForFinished(5000);
        }
    }
    if (m_compositor.state() == QProcess::NotRunning)
        return true;
    // dbus-run-session passes no signal on; once mutter has gone it ends the
    // bus itself. Killing it instead would leave the bus daemon behind.
    if (m_mutterPid > 0)
        ::kill(pid_t(m_mutterPid), SIGTERM);
    bool clean = m_compositor.waitForFinished(10000);
    if (!clean) {
        if (m_mutterPid > 0)
            ::kill(pid_t(m_mutterPid), SIGKILL);
        clean = m_compositor.waitForFinished(5000);
        if (!clean) {
            m_compositor.kill();
            m_compositor.waitForFinished(5000);
        }
    }
    readLog();
    m_mutterPid = 0;
    return clean;
}

bool MutterWayland::command(const QString &line)
{
    if (m_input.state() != QProcess::Running)
        return false;
    m_input.write(line.toUtf8() + '\n');
    if (!QTest::qWaitFor([this]() { return m_input.canReadLine(); }, 10000))
        return false;
    const QByteArray answer = m_input.readLine().trimmed();
    if (answer != "ok")
        qWarning().noquote() << "mutter input:" << line << "->" << QString::fromUtf8(answer);
    return answer == "ok";
}

bool MutterWayland::moveTo(const QPoint &to)
{
    return command(QStringLiteral("to %1 %2").arg(to.x()).arg(to.y()));
}

bool MutterWayland::click(const QPoint &at)
{
    return moveTo(at) && command(QStringLiteral("sleep 150")) && command(QStringLiteral("click"));
}

bool MutterWayland::doubleClick(const QPoint &at)
{
    return moveTo(at) && command(QStringLiteral("sleep 150")) && command(QStringLiteral("double"));
}

bool MutterWayland::drag(const QPoint &from, const QPoint &to)
{
    if (!moveTo(from) || !command(QStringLiteral("sleep 150")) || !command(QStringLiteral("press"))
        || !command(QStringLiteral("sleep 200")))
        return false;
    QPoint at = from;
    const int steps = 4;
    for (int step = 1; step <= steps; ++step) {
        const QPoint next = from + (to - from) * step / steps;
        if (!command(QStringLiteral("move %1 %2").arg(next.x() - at.x()).arg(next.y() - at.y()))
            || !command(QStringLiteral("sleep 100")))
            return false;
        at = next;
    }
    return command(QStringLiteral("sleep 300")) && command(QStringLiteral("release"));
}

void MutterWayland::readLog()
{
    m_partial += m_compositor.readAllStandardError();
    const int end = m_partial.lastIndexOf('\n');
    if (end < 0)
        return;
    const QList<QByteArray> lines = m_partial.left(end).split('\n');
    m_partial.remove(0, end + 1);
    for (const QByteArray &line : lines) {
        if (line.contains("GEOMETRY: Constraining ") || line.contains("GEOMETRY: info->current is ")
            || line.contains("WINDOW_OPS: ") || line.contains("WINDOW_STATE: Showing window ") || line.contains("WARNING")
            || line.contains("CRITICAL"))
            m_log << QString::fromUtf8(line);
    }
}

QStringList MutterWayland::windows()
{
    readLog();
    static const QRegularExpression shown(QStringLiteral("Showing window (W\\d+),.* placed: 1"));
    QStringList found;
    for (const QString &line : m_log) {
        const QRegularExpressionMatch match = shown.match(line);
        if (match.hasMatch() && !found.contains(match.captured(1)))
            found << match.captured(1);
    }
    return found;
}

int MutterWayland::count(const QString &lineEnd)
{
    readLog();
    return int(std::count_if(m_log.cbegin(), m_log.cend(), [&](const QString &line) { return line.endsWith(lineEnd); }));
}

QPair<QRect, QRect> MutterWayland::lastChange(const QString &window)
{
    readLog();
    // "Constraining W0 in move from 241,128 796x637 to 261,142 796x637" opens
    // a change; the constraints then log what they make of it, the last one
    // being where the window ends up.
    static const QRegularExpression opens(
        QStringLiteral("GEOMETRY: Constraining (W\\d+) in \\S+ from (-?\\d+),(-?\\d+) (\\d+)x(\\d+) to "));
    static const QRegularExpression step(QStringLiteral("GEOMETRY: info->current is (-?\\d+),(-?\\d+) \\+(\\d+),(\\d+) after "));
    QPair<QRect, QRect> last;
    bool ours = false;
    QRect from;
    for (const QString &line : m_log) {
        const QRegularExpressionMatch change = opens.match(line);
        if (change.hasMatch()) {
            ours = change.captured(1) == window;
            if (ours)
                from = QRect(change.captured(2).toInt(), change.captured(3).toInt(), change.captured(4).toInt(), change.captured(5).toInt());
            continue;
        }
        const QRegularExpressionMatch result = step.match(line);
        if (ours && result.hasMatch())
            last = qMakePair(from, QRect(result.captured(1).toInt(), result.captured(2).toInt(), result.captured(3).toInt(),
                                         result.captured(4).toInt()));
    }
    return last;
}

QString MutterWayland::logTail(int lines)
{
    readLog();
    return m_log.mid(qMax(0, m_log.size() - lines)).join(QLatin1Char('\n'));
}
