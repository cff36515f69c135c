// The built program facing local peers that want to wear it down: more silent
// connections than it may open files, while the launcher still has to get
// through.
#include "programdriver.h"
#include "testenvironment.h"
#include "vlauncher.h"
#include "localpaths.h"
#include "vserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Low enough that a crowd of peers can use up what is left after the engine
// has taken its share, high enough for the engine to start at all.
constexpr int descriptorLimit = 256;
constexpr int silentPeers = descriptorLimit + 150;

// Connects without sending anything, waiting out a full queue; -1 when the
// server is not there (any more).
int connectSilently(const QString &path, const QElapsedTimer &clock, int deadlineMs)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    while (clock.elapsed() < deadlineMs) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
            return fd;
        const int error = errno;
        ::close(fd);
        if (error != EAGAIN)
            return -1;
        ::usleep(2000);
    }
    return -1;
}

} // namespace

class HostilePeersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void silentCrowdBeyondDescriptorLimitLeavesServerListening();

private:
    QString writeRequest(const QString &name) const;

    TestEnvironment *m_env = nullptr;
    ProgramDriver *m_driver = nullptr;
    QProcess m_primary;
    QList<int> m_crowd;
};

void HostilePeersTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=hostile-launcher\n37=hostile-store\n38=hostile-instance\n"));
    m_driver = new ProgramDriver(*m_env, QStringLiteral("hostile-instance"), this);
    // This side holds the whole crowd open at once.
    rlimit files{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &files), 0);
    files.rlim_cur = qMax<rlim_t>(files.rlim_cur, qMin<rlim_t>(files.rlim_max, 4096));
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &files), 0);
    QVERIFY2(files.rlim_cur >= rlim_t(silentPeers + 64), "this test cannot open its crowd");
}

void HostilePeersTest::cleanupTestCase()
{
    delete m_driver;
    m_driver = nullptr;
    delete m_env;
}

void HostilePeersTest::cleanup()
{
    for (const int fd : qAsConst(m_crowd))
        ::close(fd);
    m_crowd.clear();
    QVERIFY(m_driver->endProgram());
    if (m_primary.state() != QProcess::NotRunning) {
        m_primary.kill();
        m_primary.waitForFinished(5000);
    }
}

QString HostilePeersTest::writeRequest(const QString &name) const
{
    QDir().mkpath(VLauncher::instance()->requestDir());
    QFile file(VLauncher::instance()->requestDir() + name);
    if (file.open(QIODevice::WriteOnly))
        file.write(QStringLiteral(R"({"package_name":"%1","cloud_app_url":"about:blank"})").arg(name).toUtf8());
    return file.fileName();
}

void HostilePeersTest::silentCrowdBeyondDescriptorLimitLeavesServerListening()
{
    const QString first = writeRequest(QStringLiteral("first.json"));
    m_primary.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_primary.start(QStringLiteral("prlimit"), {QStringLiteral("--nofile=%1:%1").arg(descriptorLimit),
                                                TestEnvironment::buildDir() + QStringLiteral("/tradory"),
                                                QStringLiteral("first.json")});
    QVERIFY(m_primary.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(first), 20000);
    QVERIFY(m_driver->waitForLog(QStringLiteral("Tradory window showNormal")));
    const QString socket = LocalPaths::socketPath(QStringLiteral("hostile-store"));
    QVERIFY(QFileInfo::exists(socket));

    // Peers that connect and say nothing, far more than the program may
    // hold descriptors, within a few seconds.
    QElapsedTimer clock;
    clock.start();
    int refused = 0;
    for (int i = 0; i < silentPeers; ++i) {
        const int fd = connectSilently(socket, clock, 10000);
        if (fd < 0)
            ++refused;
        else
            m_crowd << fd;
    }
    qInfo("%d silent peers connected in %lld ms, %d found no server", int(m_crowd.size()), clock.elapsed(), refused);
    QCOMPARE(refused, 0);
    QVERIFY2(QFileInfo::exists(socket), "the program gave up its socket");
    QCOMPARE(m_primary.state(), QProcess::Running);

    // The crowd is still there and still silent; the launcher's request is
    // served before any of them could have been given up as idle.
    clock.restart();
    const QString later = m_driver->open(QStringLiteral("-tradory="), QStringLiteral("later"),
                                         QStringLiteral("about:blank"), QStringLiteral("Later"));
    QVERIFY(!later.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(VLauncher::instance()->requestDir() + later), VServer::idleTimeoutMs);
    qInfo("request behind %d silent peers served after %lld ms", int(m_crowd.size()), clock.elapsed());
    QVERIFY(m_driver->waitForLog(QStringLiteral("Tradory window create end"), 2));
    QVERIFY(m_driver->logText().contains(QStringLiteral("connections at once")));
    QCOMPARE(m_primary.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(HostilePeersTest)
#include "tst_hostilepeers.moc"
