#include "windowmanager.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <signal.h>

namespace {

QString xprop(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xprop"), arguments);
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
    }
    return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

} // namespace

WindowManager::WindowManager(QObject *parent)
    : QObject(parent)
{
    // The bus daemon's complaints go to the error output, apart from the
    // process id that the mutter row reads from the standard output.
    m_process.setReadChannel(QProcess::StandardOutput);
}

WindowManager::~WindowManager()
{
    stop();
}

bool WindowManager::isInstalled(const QString &name)
{
    if (QStandardPaths::findExecutable(name).isEmpty())
        return false;
    return (name != QLatin1String("mutter") && name != QLatin1String("xfwm4"))
        || !QStandardPaths::findExecutable(QStringLiteral("dbus-run-session")).isEmpty();
}

QString WindowManager::announcedName(const QString &name)
{
    if (name == QLatin1String("xfwm4"))
        return QStringLiteral("Xfwm4");
    return name.left(1).toUpper() + name.mid(1);
}

QString WindowManager::runningName()
{
    const QString check = xprop({QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
    const QRegularExpressionMatch id = QRegularExpression(QStringLiteral("window id # (0x[0-9a-f]+)")).match(check);
    if (!id.hasMatch())
        return QString();
    // A stale id names no window any more, and xprop fails on it.
    const QString name = xprop({QStringLiteral("-id"), id.captured(1), QStringLiteral("_NET_WM_NAME")});
    const QRegularExpressionMatch quoted = QRegularExpression(QStringLiteral("= \"(.*)\"")).match(name);
    return quoted.hasMatch() ? quoted.captured(1) : QString();
}

bool WindowManager::start(const QString &name, int timeoutMs)
{
    // A manager now and then quits before it announces itself while the
    // machine is busy (xfwm4, seen in full suite runs); that says
    // nothing of the program under test, so it gets a second try.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (startOnce(name, timeoutMs))
            return true;
        qWarning("%s did not take the display (attempt %d): %s", qPrintable(name), attempt + 1,
                 (m_process.readAllStandardOutput() + m_process.readAllStandardError()).right(2000).constData());
    }
    return false;
}

bool WindowManager::startOnce(const QString &name, int timeoutMs)
{
    stop();
    m_name = name;
    // mutter and xfwm4 each get a session bus of their own, so that they find
    // none of the machine's services; xfwm4 quits without one, as its
    // settings come from xfconfd on that bus. The shell prints the id the
    // manager keeps after exec.
    const QString onOwnBus = name == QLatin1String("mutter") ? QStringLiteral("exec mutter --x11 --replace")
        : name == QLatin1String("xfwm4")                     ? QStringLiteral("exec xfwm4 --compositor=off --replace")
                                                             : QString();
    if (!onOwnBus.isEmpty()) {
        m_process.start(QStringLiteral("dbus-run-session"),
                        {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("echo $$; ") + onOwnBus});
        if (!m_process.waitForStarted() || !QTest::qWaitFor([this]() { return m_process.canReadLine(); }, timeoutMs))
            return false;
        m_managerPid = m_process.readLine().trimmed().toLongLong();
        if (m_managerPid <= 0)
            return false;
    } else {
        m_process.start(name, {QStringLiteral("--replace")});
    }
    if (!m_process.waitForStarted())
        return false;
    if (!m_managerPid)
        m_managerPid = m_process.processId();
    const QString announced = announcedName(name);
    return QTest::qWaitFor([&]() { return runningName() == announced; }, timeoutMs);
}

void WindowManager::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    if (m_managerPid > 0)
        ::kill(pid_t(m_managerPid), SIGTERM);
    if (!m_process.waitForFinished(5000)) {
        if (m_managerPid > 0)
            ::kill(pid_t(m_managerPid), SIGKILL);
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_managerPid = 0;
}
