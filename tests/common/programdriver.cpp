#include "programdriver.h"

#include "instancelock.h"
#include "testenvironment.h"
#include "vlauncher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

ProgramDriver::ProgramDriver(const TestEnvironment &environment, const QString &lockName, QObject *parent)
    : QObject(parent)
    , m_environment(environment)
    , m_lockName(lockName)
    , m_build(TestEnvironment::buildDir())
    , m_launcherTool(m_build + QStringLiteral("/vellora-launcher"))
    , m_program(m_build + QStringLiteral("/tradory"))
{
    connect(&m_listener, &QProcess::readyReadStandardOutput, this, [this]() {
        while (m_listener.canReadLine())
            m_messages << QString::fromUtf8(m_listener.readLine()).chopped(1);
    });
}

ProgramDriver::~ProgramDriver()
{
    if (m_listener.state() != QProcess::NotRunning) {
        m_listener.terminate();
        m_listener.waitForFinished(5000);
    }
}

void ProgramDriver::useInstalledTree(const QString &launcherTool, const QString &program)
{
    m_launcherTool = launcherTool;
    m_program = program;
}

bool ProgramDriver::startListening()
{
    m_listener.setProgram(m_launcherTool);
    m_listener.setArguments({QStringLiteral("listen")});
    m_listener.start();
    if (!m_listener.waitForStarted())
        return false;
    // It says where it listens on its error output once the socket is there.
    m_listener.setReadChannel(QProcess::StandardError);
    const bool listening = m_listener.waitForReadyRead(5000);
    m_listener.setReadChannel(QProcess::StandardOutput);
    return listening;
}

bool ProgramDriver::waitForMessages(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&]() { return m_messages.size() >= count; }, timeoutMs);
}

QString ProgramDriver::run(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(20000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString ProgramDriver::open(const QString &type, const QString &package, const QString &url, const QString &game)
{
    int exitCode = -1;
    const QString name = run(m_launcherTool,
                             {QStringLiteral("open"), QStringLiteral("--oem"), QStringLiteral("acme"),
                              QStringLiteral("--package"), package, QStringLiteral("--type"), type,
                              QStringLiteral("--url"), url, QStringLiteral("--game"), game},
                             &exitCode);
    return exitCode == 0 ? name : QString();
}

void ProgramDriver::fireEvent(int event)
{
    run(m_launcherTool, {QStringLiteral("event"), QString::number(event)});
}

bool ProgramDriver::primaryRuns() const
{
    InstanceLock probe;
    return probe.tryLock(m_lockName) == InstanceLock::Result::HeldElsewhere;
}

int ProgramDriver::programProcesses() const
{
    const QByteArray marker = "VELLORA_CONFIG=" + QFile::encodeName(m_environment.configPath());
    const QString program = QFileInfo(m_program).canonicalFilePath();
    int count = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(entry)) != program)
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(marker))
            ++count;
    }
    return count;
}

bool ProgramDriver::endProgram(int timeoutMs)
{
    if (primaryRuns())
        fireEvent(0);
    return QTest::qWaitFor([this]() { return programProcesses() == 0; }, timeoutMs);
}

QString ProgramDriver::logText() const
{
    QFile log(VLauncher::instance()->productDir() + QStringLiteral("/logs/tradory.log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

bool ProgramDriver::waitForLog(const QString &text, int count, int timeoutMs) const
{
    return QTest::qWaitFor([&]() { return logText().count(text) >= count; }, timeoutMs);
}

QStringList ProgramDriver::windows(const QString &title)
{
    // A search that meets a window being destroyed elsewhere on the display
    // can come back empty-handed: "none" only when it says so three times.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString found = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                              QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')});
        if (!found.isEmpty())
            return found.split(QLatin1Char('\n'));
        QTest::qWait(50);
    }
    return QStringList();
}

QRect ProgramDriver::geometry(const QString &window)
{
    const QString shell = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    QRect rect;
    for (const QString &line : shell.split(QLatin1Char('\n'))) {
        const QStringList pair = line.split(QLatin1Char('='));
        const int value = pair.value(1).toInt();
        if (pair.first() == QLatin1String("X"))
            rect.moveLeft(value);
        else if (pair.first() == QLatin1String("Y"))
            rect.moveTop(value);
        else if (pair.first() == QLatin1String("WIDTH"))
            rect.setWidth(value);
        else if (pair.first() == QLatin1String("HEIGHT"))
            rect.setHeight(value);
    }
    return rect;
}

void ProgramDriver::click(const QPoint &screen, int button)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(screen.x()), QString::number(screen.y()),
                                    QStringLiteral("click"), QString::number(button)});
}

void ProgramDriver::key(const QString &window, const QString &keys)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--window"), window, keys});
}

QProcess *ProgramDriver::dragInBackground(const QPoint &from, const QPoint &to)
{
    // A short move with the button held lets the drag begin (a busy machine
    // may take a second to start it), then the long way to the target.
    QString script = QStringLiteral("xdotool mousemove %1 %2; sleep 0.4; xdotool mousedown 1; sleep 0.5; "
                                    "xdotool mousemove %3 %4; sleep 0.3; xdotool mousemove %5 %6; sleep 1; ")
                         .arg(from.x()).arg(from.y())
                         .arg(from.x() + 8).arg(from.y() + 4)
                         .arg(from.x() + 20).arg(from.y() + 10);
    const int steps = 8;
    for (int step = 1; step <= steps; ++step) {
        const QPoint at = from + (to - from) * step / steps;
        script += QStringLiteral("xdotool mousemove %1 %2; sleep 0.25; ").arg(at.x()).arg(at.y());
    }
    script += QStringLiteral("sleep 0.7; xdotool mouseup 1");
    auto *process = new QProcess;
    process->start(QStringLiteral("sh"), {QStringLiteral("-c"), script});
    return process;
}

void ProgramDriver::drag(const QPoint &from, const QPoint &to)
{
    QStringList chain{QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                      QStringLiteral("sleep"), QStringLiteral("0.15"), QStringLiteral("mousedown"), QStringLiteral("1"),
                      QStringLiteral("sleep"), QStringLiteral("0.2"), QStringLiteral("mousemove"),
                      QString::number(from.x() + 2), QString::number(from.y() + 1), QStringLiteral("sleep"),
                      QStringLiteral("0.3")};
    const int steps = 4;
    for (int step = 1; step <= steps; ++step) {
        const QPoint at = from + (to - from) * step / steps;
        chain << QStringLiteral("mousemove") << QString::number(at.x()) << QString::number(at.y())
              << QStringLiteral("sleep") << QStringLiteral("0.08");
    }
    chain << QStringLiteral("sleep") << QStringLiteral("0.3") << QStringLiteral("mouseup") << QStringLiteral("1");
    run(QStringLiteral("xdotool"), chain);
}

void ProgramDriver::doubleClick(const QPoint &screen)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(screen.x()), QString::number(screen.y()),
                                    QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                                    QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")});
}

QString ProgramDriver::windowProperty(const QString &window, const QString &property)
{
    return run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, property});
}

QString ProgramDriver::activeWindow()
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
}

QString ProgramDriver::topWindow()
{
    // "_NET_CLIENT_LIST_STACKING(WINDOW): window id # 0x..., 0x...", bottom first.
    const QString stacking = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    const QString last = stacking.section(QLatin1Char(','), -1).section(QLatin1Char('#'), -1).trimmed();
    bool ok = false;
    const qulonglong id = last.toULongLong(&ok, 0);
    return ok ? QString::number(id) : QString();
}

void ProgramDriver::typeKey(const QString &keys)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

void ProgramDriver::typeText(const QString &text)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
}
