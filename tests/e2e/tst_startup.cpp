// The program's roles as the launcher meets them: the built executable is
// started with an isolated configuration, and this test plays the primary's
// peer (holding the instance lock and listening) or the second instance.
#include "instancelock.h"
#include "localpaths.h"
#include "testenvironment.h"
#include "filewatcher.h"
#include "vclient.h"
#include "vlauncher.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void engineSubProcessCreatesNothing();
    void secondInstanceForwardsLastArgumentAsGiven();
    void secondInstanceWithoutArgumentSendsNothing();
    void secondInstanceWaitsForPrimaryStillStarting();
    void secondInstanceTakesOverFromPrimaryThatNeverListened();
    void primaryUsesFirstArgumentAsGiven();
    void killedPrimaryLeavesNothingThatBlocksTheNext();
    void hundredStartsAtOnceMakeOnePrimary();
    void refusedOwnRequestEndsThePrimary();
    void requestQueuedWhileRefusedPrimaryLeavesIsServed();
    void startsRacingARefusedPrimaryAreAllServed();
    void instanceLockOutlivesTheEngineProfile();
    void launcherToolReturnsWhileProgramRuns();
    void secondInstanceGivesUpOnUnusableSocketPath_data();
    void secondInstanceGivesUpOnUnusableSocketPath();
    void launchArgumentNeverReachesTheEngine();
    void engineTypeSwitchAsLaunchArgumentIsARequestName();
    void sameNameReachesSameFileInBothRoles();

private:
    QProcess *start(const QStringList &arguments);
    bool waitForOutput(QProcess *process, const QString &text, int timeoutMs = 20000);
    static int runToEnd(QProcess *process, int timeoutMs = 20000);
    // Plays a running primary: holds the lock and counts what arrives.
    bool holdInstanceLock();
    bool listenAsPrimary();
    QStringList receivedMessages();
    QString writeRequest(const QString &name);
    QString logText() const;
    static QString lockName();
    static QString ownServer();

    TestEnvironment *m_env = nullptr;
    QString m_program;
    InstanceLock m_lock;
    QLocalServer *m_primary = nullptr;
    QList<QLocalSocket *> m_connections;
    QList<QProcess *> m_processes;
};

void StartupTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_program = TestEnvironment::buildDir() + QStringLiteral("/tradory");
    QVERIFY2(QFileInfo(m_program).isExecutable(), qPrintable(m_program));
}

void StartupTest::cleanupTestCase()
{
    delete m_env;
}

void StartupTest::init()
{
    QDir(m_env->runtimeDir()).removeRecursively();
    QDir().mkpath(m_env->runtimeDir());
    QFile::setPermissions(m_env->runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(m_env->dataRoot()).removeRecursively();
}

void StartupTest::cleanup()
{
    for (QProcess *process : qAsConst(m_processes)) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
        delete process;
    }
    m_processes.clear();
    qDeleteAll(m_connections);
    m_connections.clear();
    delete m_primary;
    m_primary = nullptr;
    m_lock.release();
}

QProcess *StartupTest::start(const QStringList &arguments)
{
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(m_program, arguments);
    m_processes << process;
    return process;
}

bool StartupTest::waitForOutput(QProcess *process, const QString &text, int timeoutMs)
{
    QByteArray seen;
    return QTest::qWaitFor([&]() {
        seen += process->readAll();
        return seen.contains(text.toUtf8());
    }, timeoutMs);
}

int StartupTest::runToEnd(QProcess *process, int timeoutMs)
{
    // waitForFinished() answers false for a process that has already ended.
    if (process->state() != QProcess::NotRunning && !process->waitForFinished(timeoutMs))
        return -1000;
    return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -2000;
}

bool StartupTest::holdInstanceLock()
{
    return m_lock.tryLock(VLauncher::instance()->getAppConfigValue(AppConfig::InstanceMutex).toString())
        == InstanceLock::Result::Acquired;
}

bool StartupTest::listenAsPrimary()
{
    m_primary = new QLocalServer;
    const QString name = VLauncher::instance()->getAppConfigValue(AppConfig::OwnServer).toString();
    if (!m_primary->listen(LocalPaths::socketPath(name)))
        return false;
    connect(m_primary, &QLocalServer::newConnection, this, [this]() {
        while (QLocalSocket *socket = m_primary->nextPendingConnection())
            m_connections << socket;
    });
    return true;
}

QStringList StartupTest::receivedMessages()
{
    QStringList messages;
    for (QLocalSocket *socket : qAsConst(m_connections)) {
        const QByteArray bytes = socket->property("bytes").toByteArray() + socket->readAll();
        socket->setProperty("bytes", bytes);
        messages << QString::fromUtf8(bytes);
    }
    return messages;
}

void StartupTest::engineSubProcessCreatesNothing()
{
    // No display either: a helper must not need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    // The browser process names itself to its helpers; here this test is
    // the helper's parent.
    environment.insert(QStringLiteral("TRADORY_ENGINE_PARENT"), QString::number(QCoreApplication::applicationPid()));
    QProcess helper;
    helper.setProcessEnvironment(environment);
    // Chromium starts its helpers with the browser's switches, --no-sandbox among them.
    helper.start(m_program, {QStringLiteral("--type=relauncher"), QStringLiteral("--no-sandbox"), QStringLiteral("request.json")});
    QCOMPARE(runToEnd(&helper), 255);
    QCOMPARE(QDir(m_env->runtimeDir()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System), QStringList());
    QVERIFY(!QFileInfo::exists(m_env->dataRoot() + QStringLiteral("/VelloraX")));
}

void StartupTest::secondInstanceForwardsLastArgumentAsGiven()
{
    QVERIFY(holdInstanceLock());
    QVERIFY(listenAsPrimary());
    // No display: forwarding needs none, nor the browser engine behind one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess *second = new QProcess;
    m_processes << second;
    second->setProcessEnvironment(environment);
    second->start(m_program, {QStringLiteral("first.json"), QStringLiteral("a%20b%41%C3%BC.json")});
    QCOMPARE(runToEnd(second), 255);
    QTRY_COMPARE(receivedMessages(), QStringList{QStringLiteral("a%20b%41%C3%BC.json")});
    // The connection is closed, so the primary knows the message is whole.
    QTRY_COMPARE(m_connections.first()->state(), QLocalSocket::UnconnectedState);
    QVERIFY2(!QFileInfo::exists(m_env->dataRoot() + QStringLiteral("/VelloraX/logs")), "a second instance wrote a log");
}

void StartupTest::secondInstanceWithoutArgumentSendsNothing()
{
    QVERIFY(holdInstanceLock());
    QVERIFY(listenAsPrimary());
    QProcess *second = start({});
    QCOMPARE(runToEnd(second), 255);
    QTest::qWait(300);
    QCOMPARE(m_connections.size(), 0);
}

void StartupTest::secondInstanceWaitsForPrimaryStillStarting()
{
    QVERIFY(holdInstanceLock());
    QProcess *second = start({QStringLiteral("late.json")});
    QTest::qWait(1000);
    QCOMPARE(second->state(), QProcess::Running);
    // While it waits, it has loaded nothing a forwarder does not use: the
    // engine and the widgets are most of a start's time.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(second->processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY(mapped.contains("libQt5Network"));
    for (const char *library : {"libQt5WebEngine", "libQt5Widgets", "libQt5Gui", "libtradorywindows"})
        QVERIFY2(!mapped.contains(library), library);
    QVERIFY(listenAsPrimary());
    QCOMPARE(runToEnd(second), 255);
    QTRY_COMPARE(receivedMessages(), QStringList{QStringLiteral("late.json")});
}

QString StartupTest::writeRequest(const QString &name)
{
    QDir().mkpath(VLauncher::instance()->requestDir());
    QFile file(VLauncher::instance()->requestDir() + name);
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral(R"({"package_name":"%1","cloud_app_url":"about:blank"})").arg(name).toUtf8());
    return file.fileName();
}

void StartupTest::secondInstanceTakesOverFromPrimaryThatNeverListened()
{
    QVERIFY(holdInstanceLock());
    const QString request = writeRequest(QStringLiteral("orphan.json"));
    QProcess *second = start({QStringLiteral("orphan.json")});
    QTest::qWait(800);
    QCOMPARE(second->state(), QProcess::Running);
    QVERIFY(QFileInfo::exists(request));
    // The would-be primary goes away without ever listening.
    m_lock.release();
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(request), 20000);
    QVERIFY(waitForOutput(second, QStringLiteral("Tradory window showNormal")));
    QCOMPARE(second->state(), QProcess::Running);
}

void StartupTest::primaryUsesFirstArgumentAsGiven()
{
    // Which request files are consumed tells which names the program used.
    const QString asGiven = writeRequest(QStringLiteral("a%41.json"));
    const QString decoded = writeRequest(QStringLiteral("aA.json"));
    const QString second = writeRequest(QStringLiteral("b.json"));
    QProcess *primary = start({QStringLiteral("a%41.json"), QStringLiteral("b.json")});
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(asGiven), 20000);
    QVERIFY(waitForOutput(primary, QStringLiteral("Tradory window showNormal")));
    QVERIFY(QFileInfo::exists(decoded));
    QVERIFY(QFileInfo::exists(second));
    QVERIFY(QFileInfo::exists(m_env->dataRoot() + QStringLiteral("/VelloraX/logs/tradory.log")));

    // A request forwarded by a second instance reaches the same primary.
    const QString forwarded = writeRequest(QStringLiteral("c.json"));
    QProcess *secondInstance = start({QStringLiteral("c.json")});
    QCOMPARE(runToEnd(secondInstance), 255);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(forwarded), 10000);
    QCOMPARE(primary->state(), QProcess::Running);
}

void StartupTest::killedPrimaryLeavesNothingThatBlocksTheNext()
{
    const QString server = VLauncher::instance()->getAppConfigValue(AppConfig::OwnServer).toString();
    int restarts = 0;
    for (int round = 0; round < 10; ++round) {
        const QString request = writeRequest(QStringLiteral("round-%1.json").arg(round));
        QProcess *primary = start({QFileInfo(request).fileName()});
        QTest::qWaitFor([&]() { return !QFileInfo::exists(request); }, 20000);
        QVERIFY2(!QFileInfo::exists(request),
                 qPrintable(QStringLiteral("round %1: request left; the start %2 (exit status %3, code %4), said: %5")
                                .arg(round)
                                .arg(primary->state() == QProcess::Running ? QStringLiteral("runs") : QStringLiteral("ended"))
                                .arg(primary->exitStatus())
                                .arg(primary->exitCode())
                                .arg(QString::fromUtf8(primary->readAll().right(3000)))));
        // It listens: a forwarded request reaches it.
        const QString forwarded = writeRequest(QStringLiteral("forwarded-%1.json").arg(round));
        QTRY_VERIFY(VClient::send(server, QFileInfo(forwarded).fileName()));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(forwarded), 10000);
        restarts += primary->state() == QProcess::Running ? 1 : 0;
        ::kill(pid_t(primary->processId()), SIGKILL);
        primary->waitForFinished(5000);
        QVERIFY2(QFileInfo::exists(LocalPaths::socketPath(server)), "a killed primary leaves its socket behind");
    }
    qInfo("killed primaries: the next start became primary and listened %d of 10 times", restarts);
    QCOMPARE(restarts, 10);
}

void StartupTest::hundredStartsAtOnceMakeOnePrimary()
{
    constexpr int starts = 100;
    QStringList requests;
    for (int i = 0; i < starts; ++i)
        requests << writeRequest(QStringLiteral("crowd-%1.json").arg(i));
    // All of one package: one window, every request consumed.
    for (const QString &request : qAsConst(requests)) {
        QFile file(request);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(R"({"package_name":"crowd","cloud_app_url":"about:blank"})");
    }
    QList<QProcess *> crowd;
    for (int i = 0; i < starts; ++i)
        crowd << start({QStringLiteral("crowd-%1.json").arg(i)});
    QTRY_VERIFY_WITH_TIMEOUT(std::count_if(crowd.begin(), crowd.end(), [](QProcess *p) {
                                 return p->state() == QProcess::NotRunning;
                             }) == starts - 1, 120000);
    int forwarders = 0;
    QProcess *primary = nullptr;
    for (QProcess *process : qAsConst(crowd)) {
        if (process->state() != QProcess::NotRunning) {
            primary = process;
        } else if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 255) {
            ++forwarders;
        } else {
            qWarning("a start ended with status %d, code %d: %s", int(process->exitStatus()), process->exitCode(),
                     process->readAll().right(1500).constData());
        }
    }
    QVERIFY(primary);
    QCOMPARE(forwarders, starts - 1);
    for (const QString &request : qAsConst(requests))
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(request), 20000);
    QFile log(m_env->dataRoot() + QStringLiteral("/VelloraX/logs/tradory.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QCOMPARE(text.count(QStringLiteral("Tradory window create start")), starts);
    QCOMPARE(text.count(QStringLiteral("Tradory window create end")), 1);
    qInfo("%d simultaneous starts: 1 primary, %d forwarded, %d requests handled", starts, forwarders,
          int(text.count(QStringLiteral("Tradory window create start"))));
}

QString StartupTest::logText() const
{
    QFile log(m_env->dataRoot() + QStringLiteral("/VelloraX/logs/tradory.log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

QString StartupTest::lockName()
{
    return VLauncher::instance()->getAppConfigValue(AppConfig::InstanceMutex).toString();
}

QString StartupTest::ownServer()
{
    return VLauncher::instance()->getAppConfigValue(AppConfig::OwnServer).toString();
}

void StartupTest::refusedOwnRequestEndsThePrimary()
{
    QProcess *primary = start({QStringLiteral("../evil.json")});
    QCOMPARE(runToEnd(primary), 1);
    QVERIFY(logText().contains(QStringLiteral("no window to show, leaving")));
    // Gone for good: the next start may be the primary.
    InstanceLock probe;
    QCOMPARE(probe.tryLock(lockName()), InstanceLock::Result::Acquired);
}

namespace {

// A raw peer that is already connected when the primary decides: connect()
// as fast as possible from before the server exists.
int connectRaw(const QString &path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    memcpy(address.sun_path, bytes.constData(), size_t(qMin(bytes.size(), int(sizeof address.sun_path) - 1)));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    ::close(fd);
    return -1;
}

bool stillRunning(QProcess *process)
{
    QCoreApplication::processEvents();
    return process->state() != QProcess::NotRunning;
}

} // namespace

void StartupTest::requestQueuedWhileRefusedPrimaryLeavesIsServed()
{
    const QString socketPath = LocalPaths::socketPath(ownServer());
    int inconclusive = 0;
    for (int round = 0; round < 10; ++round) {
        const QString request = writeRequest(QStringLiteral("queued-%1.json").arg(round));
        QFile::remove(socketPath);
        QProcess *primary = start({QStringLiteral("../refused.json")});
        int fd = -1;
        for (int tries = 0; fd < 0; ++tries) {
            fd = connectRaw(socketPath);
            if (fd < 0 && tries % 2000 == 0 && !stillRunning(primary))
                break;
        }
        if (fd < 0) {
            // The primary had stopped listening before this peer got in.
            QCOMPARE(runToEnd(primary), 1);
            ++inconclusive;
            continue;
        }
        // Connected while the primary was deciding: it must wait for us.
        QTest::qWait(500);
        QVERIFY(stillRunning(primary));
        const QByteArray name = QFileInfo(request).fileName().toUtf8();
        QCOMPARE(::write(fd, name.constData(), size_t(name.size())), ssize_t(name.size()));
        ::close(fd);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(request), 20000);
        QVERIFY(waitForOutput(primary, QStringLiteral("listening again")));
        // It carries on as a primary: a later request reaches it too.
        const QString later = writeRequest(QStringLiteral("later.json"));
        QTRY_VERIFY(VClient::send(ownServer(), QStringLiteral("later.json")));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(later), 10000);
        QCOMPARE(primary->state(), QProcess::Running);
        qInfo("peer connected while the primary decided in round %d (%d rounds too late)", round + 1, inconclusive);
        return;
    }
    QFAIL("the peer never connected before the primary stopped listening");
}

void StartupTest::startsRacingARefusedPrimaryAreAllServed()
{
    // Second instances started together with a primary whose own request is
    // refused: each request is served by it or by a successor.
    constexpr int starts = 8;
    QStringList requests;
    for (int i = 0; i < starts; ++i)
        requests << writeRequest(QStringLiteral("racer-%1.json").arg(i));
    QProcess *refused = start({QStringLiteral("../refused.json")});
    QList<QProcess *> racers;
    for (int i = 0; i < starts; ++i)
        racers << start({QStringLiteral("racer-%1.json").arg(i)});
    for (const QString &request : qAsConst(requests))
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(request), 30000);
    // Exactly one process is left, showing the windows.
    racers << refused;
    QTRY_VERIFY_WITH_TIMEOUT(std::count_if(racers.begin(), racers.end(), [](QProcess *p) {
                                 return p->state() != QProcess::NotRunning;
                             }) == 1, 20000);
    // The refused name is read last when a racer took the lock first and the
    // refused start forwarded it: it leaves no file to wait for.
    QTRY_COMPARE_WITH_TIMEOUT(logText().count(QStringLiteral("Tradory window create start")), starts + 1, 10000);
    qInfo("refused primary %s; %d racing requests all served",
          refused->state() == QProcess::Running ? "kept them" : "left, a racer took over", starts);
}

void StartupTest::instanceLockOutlivesTheEngineProfile()
{
    QProcess *primary = start({});
    QVERIFY(waitForOutput(primary, QStringLiteral("load end")));
    const QString profile = m_env->dataRoot() + QStringLiteral("/VelloraX/cache");
    const QString fds = QStringLiteral("/proc/%1/fd").arg(primary->processId());
    auto profileFilesOpen = [&]() {
        QStringList open;
        for (const QFileInfo &fd : QDir(fds).entryInfoList(QDir::Files | QDir::System)) {
            const QString target = fd.symLinkTarget();
            if (target.startsWith(profile))
                open << target;
        }
        return open;
    };
    QVERIFY2(!profileFilesOpen().isEmpty(), "the running engine holds no profile file: nothing to observe");

    QVERIFY(FileWatcher::fireEvent(FileWatcher::QuitApplication));
    // Play the next start: take the lock the moment it is free and look at
    // what the old primary still holds.
    InstanceLock probe;
    QElapsedTimer clock;
    clock.start();
    while (probe.tryLock(lockName()) != InstanceLock::Result::Acquired)
        QVERIFY2(clock.elapsed() < 30000, "the primary never let the lock go");
    const QStringList stillOpen = profileFilesOpen();
    QVERIFY2(stillOpen.isEmpty(), qPrintable(stillOpen.join(QLatin1Char(' '))));
    QCOMPARE(runToEnd(primary), 0);
}

void StartupTest::launcherToolReturnsWhileProgramRuns()
{
    // name=$(vellora-launcher open ...): the shell reads the pipe to its end.
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("\"$0\" open --package tool --url about:blank 2>&1 | cat"),
                 TestEnvironment::buildDir() + QStringLiteral("/vellora-launcher")});
    QVERIFY2(shell.waitForFinished(20000), "the tool's output never reached its end");
    QCOMPARE(shell.exitCode(), 0);
    const QString name = QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
    QVERIFY2(name.startsWith(QStringLiteral("request-")), qPrintable(name));

    // The store program it started is still there, serving the request.
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(VLauncher::instance()->requestDir() + name), 20000);
    InstanceLock probe;
    QCOMPARE(probe.tryLock(lockName()), InstanceLock::Result::HeldElsewhere);
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(QStringLiteral("Tradory window showNormal")), 20000);
    QVERIFY(FileWatcher::fireEvent(FileWatcher::QuitApplication));
    QTRY_COMPARE_WITH_TIMEOUT(probe.tryLock(lockName()), InstanceLock::Result::Acquired, 20000);
}

void StartupTest::secondInstanceGivesUpOnUnusableSocketPath_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("regular file") << "file";
    QTest::newRow("folder") << "folder";
}

void StartupTest::secondInstanceGivesUpOnUnusableSocketPath()
{
    QFETCH(QString, kind);
    QVERIFY(holdInstanceLock());
    const QString path = LocalPaths::socketPath(ownServer());
    if (kind == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir().mkpath(path));
    }
    rusage before;
    getrusage(RUSAGE_CHILDREN, &before);
    QProcess *second = start({QStringLiteral("x.json")});
    QCOMPARE(runToEnd(second), 255);
    rusage after;
    getrusage(RUSAGE_CHILDREN, &after);
    const double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec + after.ru_stime.tv_sec - before.ru_stime.tv_sec)
        + (after.ru_utime.tv_usec - before.ru_utime.tv_usec + after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1e6;
    const QString output = QString::fromUtf8(second->readAll());
    QCOMPARE(output.count(QStringLiteral("cannot reach the primary instance")), 1);
    qInfo("second instance facing a %s at its socket path: %.3f s of processor time", qPrintable(kind), cpu);
    QVERIFY2(cpu < 0.3, qPrintable(QString::number(cpu)));
}

namespace {

quint16 freeLocalPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool somethingListensOn(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

} // namespace

void StartupTest::launchArgumentNeverReachesTheEngine()
{
    // Its only argument: the request name, refused like any unsafe name.
    const quint16 port = freeLocalPort();
    const QString asName = QStringLiteral("--remote-debugging-port=%1").arg(port);
    QProcess *primary = start({asName});
    bool listened = false;
    QElapsedTimer clock;
    clock.start();
    while (primary->state() != QProcess::NotRunning && clock.elapsed() < 15000 && !listened) {
        listened = somethingListensOn(port);
        primary->waitForFinished(100);
    }
    QVERIFY2(!listened, "the request name opened the engine's remote debugging");
    QCOMPARE(runToEnd(primary), 1);
    const QString output = QString::fromUtf8(primary->readAll());
    QVERIFY2(output.contains(QStringLiteral("request name refused")) && output.contains(asName), qPrintable(output));

    // Behind a real request, with the engine running a page: still no switch.
    writeRequest(QStringLiteral("shown.json"));
    const quint16 laterPort = freeLocalPort();
    QProcess *shown = start({QStringLiteral("shown.json"), QStringLiteral("--remote-debugging-port=%1").arg(laterPort)});
    QVERIFY(waitForOutput(shown, QStringLiteral("load end")));
    QTest::qWait(1000);
    QVERIFY2(!somethingListensOn(laterPort), "a later argument opened the engine's remote debugging");
}

void StartupTest::engineTypeSwitchAsLaunchArgumentIsARequestName()
{
    const QString name = QStringLiteral("--type=store.json");
    const QString request = writeRequest(name);
    QProcess *primary = start({name});
    QCOMPARE(runToEnd(primary), 1);
    QVERIFY(QString::fromUtf8(primary->readAll()).contains(QStringLiteral("request name refused")));
    // Refused names touch nothing.
    QVERIFY(QFileInfo::exists(request));

    // A helper whose browser is gone (the environment names a process that
    // is not its parent) ends at once: no primary, no lock kept, no file.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TRADORY_ENGINE_PARENT"), QStringLiteral("1"));
    QProcess orphan;
    orphan.setProcessEnvironment(environment);
    orphan.setProcessChannelMode(QProcess::MergedChannels);
    orphan.start(m_program, {name});
    QCOMPARE(runToEnd(&orphan), 255);
    QVERIFY(QFileInfo::exists(request));
    QVERIFY(!QString::fromUtf8(orphan.readAll()).contains(QStringLiteral("window create")));

    // A second instance hands it on like any other name.
    QVERIFY(holdInstanceLock());
    QVERIFY(listenAsPrimary());
    QProcess *second = start({QStringLiteral("--type=renderer")});
    QCOMPARE(runToEnd(second), 255);
    QTRY_COMPARE(receivedMessages(), QStringList{QStringLiteral("--type=renderer")});
}

void StartupTest::sameNameReachesSameFileInBothRoles()
{
    // Each name, and the other file its percent-decoded spelling would name.
    const QList<QPair<QString, QString>> names = {
        {QStringLiteral("a%41.json"), QStringLiteral("aA.json")},
        {QStringLiteral("b%2Fc.json"), QStringLiteral("b/c.json")},
        {QStringLiteral("%2e%2e%2Fup.json"), QStringLiteral("../up.json")},
        {QStringLiteral("d%20e.json"), QStringLiteral("d e.json")},
        {QStringLiteral("f%25g.json"), QStringLiteral("f%g.json")},
    };
    const QString folder = VLauncher::instance()->requestDir();
    auto writeBoth = [&](const QPair<QString, QString> &name) {
        QDir().mkpath(QFileInfo(folder + name.second).path());
        writeRequest(name.second);
        return writeRequest(name.first);
    };
    auto decoyLeft = [&](const QPair<QString, QString> &name) {
        return QFileInfo::exists(folder + name.second);
    };

    for (const auto &name : names) {
        const QString request = writeBoth(name);
        QProcess *primary = start({name.first});
        QTRY_VERIFY2_WITH_TIMEOUT(!QFileInfo::exists(request), qPrintable(name.first), 20000);
        QVERIFY(waitForOutput(primary, QStringLiteral("Tradory window showNormal")));
        QVERIFY2(decoyLeft(name), qPrintable(name.second));
        QVERIFY(FileWatcher::fireEvent(FileWatcher::QuitApplication));
        QCOMPARE(runToEnd(primary), 0);
    }

    QProcess *primary = start({});
    QVERIFY(waitForOutput(primary, QStringLiteral("Tradory window showNormal")));
    for (const auto &name : names) {
        const QString request = writeBoth(name);
        QCOMPARE(runToEnd(start({name.first})), 255);
        QTRY_VERIFY2_WITH_TIMEOUT(!QFileInfo::exists(request), qPrintable(name.first), 10000);
        QVERIFY2(decoyLeft(name), qPrintable(name.second));
    }
    QCOMPARE(primary->state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
