// The channel when its peers misbehave: many connections at once, more than
// the server may hold or has descriptors for, a launcher that never takes its
// messages, and one that is not there at all.
#include "launchernotifier.h"
#include "localpaths.h"
#include "testenvironment.h"
#include "vclient.h"
#include "vserver.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

class ChannelUnderLoadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = new TestEnvironment; }
    void cleanupTestCase() { delete m_env; }
    void thousandConnectionsNoneLostNorMerged();
    void crowdBeyondTheLimitPushesOutTheOldest();
    void serverOutOfDescriptorsKeepsListening();
    void hungLauncherNeverBlocksTheCaller();
    void absentLauncherCostsNothing();

private:
    TestEnvironment *m_env = nullptr;
};

void ChannelUnderLoadTest::thousandConnectionsNoneLostNorMerged()
{
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("load")));
    QStringList received;
    QElapsedTimer clock;
    QHash<QString, qint64> sentAt;
    qint64 worstLatency = 0;
    QMutex sentLock;
    connect(&server, &VServer::playCloudGame, this, [&](const QString &text) {
        received << text;
        QMutexLocker locker(&sentLock);
        worstLatency = qMax(worstLatency, clock.elapsed() - sentAt.value(text));
    });

    // Random payloads of random sizes, some split over several writes.
    constexpr int connections = 1000;
    QStringList payloads;
    for (int i = 0; i < connections; ++i) {
        QString text = QStringLiteral("%1:").arg(i);
        const int length = QRandomGenerator::global()->bounded(1, 2048);
        for (int c = 0; c < length; ++c)
            text.append(QChar(0x21 + QRandomGenerator::global()->bounded(0x3000)));
        payloads << text;
    }
    clock.start();
    std::thread senders([&]() {
        for (const QString &text : payloads) {
            {
                QMutexLocker locker(&sentLock);
                sentAt.insert(text, clock.elapsed());
            }
            VClient::send(QStringLiteral("load"), text);
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), connections, 60000);
    senders.join();
    QTest::qWait(200);
    QCOMPARE(received.size(), connections);
    QStringList expected = payloads;
    expected.sort();
    received.sort();
    QCOMPARE(received, expected);
    qInfo("1000 connections: %d handled, worst latency %lld ms", int(received.size()), worstLatency);
}

namespace {

sockaddr_un addressOf(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    return address;
}

// Connects a socket made earlier; a full queue is waited out while the
// server gets to run.
bool connectWhileServing(int fd, const QString &path)
{
    const sockaddr_un address = addressOf(path);
    QElapsedTimer clock;
    clock.start();
    while (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        if (errno != EAGAIN || clock.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

int newSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

// Whether the server has closed its end: the peer reads the end of the stream.
bool closedByServer(int fd)
{
    pollfd watch{fd, POLLIN, 0};
    if (::poll(&watch, 1, 0) != 1)
        return false;
    char byte;
    return ::recv(fd, &byte, 1, MSG_PEEK) <= 0;
}

// Sends one request and closes the sending direction, as a client does.
void sendRequest(int fd, const QByteArray &text)
{
    QCOMPARE(::write(fd, text.constData(), size_t(text.size())), ssize_t(text.size()));
    ::shutdown(fd, SHUT_WR);
}

// Uses up this process's descriptors but for a few, the way a busy browser
// engine beside the server can. Undone on destruction.
class DescriptorSqueeze
{
public:
    explicit DescriptorSqueeze(int spare)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(probe + 64);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        m_fillers << probe;
        for (int fd; (fd = ::fcntl(probe, F_DUPFD_CLOEXEC, 0)) >= 0;)
            m_fillers << fd;
        release(spare);
    }
    ~DescriptorSqueeze()
    {
        release(m_fillers.size());
        ::setrlimit(RLIMIT_NOFILE, &m_saved);
    }
    void release(int count)
    {
        for (int i = 0; i < count && !m_fillers.isEmpty(); ++i)
            ::close(m_fillers.takeLast());
    }

private:
    rlimit m_saved{};
    QList<int> m_fillers;
};

} // namespace

void ChannelUnderLoadTest::crowdBeyondTheLimitPushesOutTheOldest()
{
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("crowd")));
    const int limit = server.connectionLimit();
    QVERIFY(limit > 0);
    QSignalSpy requests(&server, &VServer::playCloudGame);
    int mostHeld = 0;
    QList<int> crowd;
    for (int i = 0; i < 2 * limit; ++i) {
        crowd << newSocket();
        QVERIFY(connectWhileServing(crowd.last(), server.socketPath()));
        QCoreApplication::processEvents();
        mostHeld = qMax(mostHeld, server.pendingCount());
    }
    QTRY_COMPARE(server.pendingCount(), limit);
    qInfo("%d silent peers against a limit of %d: at most %d held", int(crowd.size()), limit, mostHeld);
    QCOMPARE(mostHeld, limit);
    // The first comers went, the last ones are still held.
    QVERIFY(closedByServer(crowd.first()));
    QVERIFY(!closedByServer(crowd.last()));

    // The launcher's request still gets in, and is heard in full.
    const int launcher = newSocket();
    QVERIFY(connectWhileServing(launcher, server.socketPath()));
    sendRequest(launcher, "launcher.json");
    QTRY_COMPARE_WITH_TIMEOUT(requests.count(), 1, VServer::idleTimeoutMs - 1000);
    QCOMPARE(requests.first().first().toString(), QStringLiteral("launcher.json"));
    QVERIFY(server.pendingCount() <= limit);
    ::close(launcher);
    for (const int fd : qAsConst(crowd))
        ::close(fd);
    QTRY_COMPARE(server.pendingCount(), 0);
    QCOMPARE(requests.count(), 1);
}

void ChannelUnderLoadTest::serverOutOfDescriptorsKeepsListening()
{
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("scarce")));
    const QString path = server.socketPath();
    QSignalSpy requests(&server, &VServer::playCloudGame);
    // The peers' sockets are made before descriptors run out: connecting
    // takes no more on this side, accepting does on the server's.
    QList<int> crowd;
    for (int i = 0; i < 40; ++i)
        crowd << newSocket();
    const int launcher = newSocket();
    const int lateLauncher = newSocket();
    {
        // A few descriptors left: the server gives up its oldest silent
        // connections to take new ones.
        DescriptorSqueeze squeeze(4);
        for (const int fd : qAsConst(crowd))
            QVERIFY(connectWhileServing(fd, path));
        QTest::qWait(200);
        QVERIFY(connectWhileServing(launcher, path));
        sendRequest(launcher, "scarce.json");
        QTRY_COMPARE_WITH_TIMEOUT(requests.count(), 1, VServer::idleTimeoutMs - 1000);
        QCOMPARE(requests.first().first().toString(), QStringLiteral("scarce.json"));
        QVERIFY(server.isListening());
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(closedByServer(crowd.first()));
    }
    for (const int fd : qAsConst(crowd))
        ::close(fd);
    QTRY_COMPARE(server.pendingCount(), 0);
    {
        // None left, and nothing of the server's own to give up: it waits
        // for descriptors, still listening, and then serves the request.
        DescriptorSqueeze squeeze(0);
        QVERIFY(connectWhileServing(lateLauncher, path));
        sendRequest(lateLauncher, "late.json");
        QTest::qWait(500);
        QCOMPARE(requests.count(), 1);
        QVERIFY(server.isListening());
        QVERIFY(QFileInfo::exists(path));
        squeeze.release(1);
        QTRY_COMPARE_WITH_TIMEOUT(requests.count(), 2, VServer::idleTimeoutMs - 1000);
        QCOMPARE(requests.last().first().toString(), QStringLiteral("late.json"));
    }
    ::close(launcher);
    ::close(lateLauncher);
    QVERIFY(server.isListening());
}

void ChannelUnderLoadTest::hungLauncherNeverBlocksTheCaller()
{
    // A launcher that listens and never accepts: once its backlog is full,
    // every connection waits.
    const QString path = LocalPaths::socketPath(QStringLiteral("hung-launcher"));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    ::unlink(address.sun_path);
    QCOMPARE(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    QCOMPARE(::listen(listener, 1), 0);

    // The GUI thread's heartbeat while 50 messages go out.
    QElapsedTimer beat;
    qint64 worstGap = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, this, [&]() {
        worstGap = qMax(worstGap, beat.restart());
    });
    beat.start();
    heartbeat.start(10);
    for (int i = 0; i < 50; ++i) {
        LauncherNotifier::instance()->post(QStringLiteral("hung-launcher"), QStringLiteral("notice-%1").arg(i));
        QTest::qWait(20);
    }
    QTest::qWait(500);
    heartbeat.stop();
    qInfo("hung launcher: worst gap of the GUI heartbeat %lld ms, %d messages waiting", worstGap,
          LauncherNotifier::instance()->pending());
    QVERIFY2(worstGap < 100, qPrintable(QString::number(worstGap)));
    QVERIFY(LauncherNotifier::instance()->pending() > 0);

    // The launcher wakes up: everything arrives, in the order it was sent.
    QStringList arrived;
    std::thread acceptor([&]() {
        while (arrived.size() < 50) {
            const int peer = ::accept(listener, nullptr, nullptr);
            if (peer < 0)
                break;
            QByteArray bytes;
            char buffer[256];
            ssize_t got;
            while ((got = ::read(peer, buffer, sizeof buffer)) > 0)
                bytes.append(buffer, int(got));
            ::close(peer);
            arrived << QString::fromUtf8(bytes);
        }
    });
    QVERIFY(LauncherNotifier::instance()->flush(60000));
    acceptor.join();
    ::close(listener);
    QStringList expected;
    for (int i = 0; i < 50; ++i)
        expected << QStringLiteral("notice-%1").arg(i);
    QCOMPARE(arrived, expected);
}

void ChannelUnderLoadTest::absentLauncherCostsNothing()
{
    QSignalSpy delivered(LauncherNotifier::instance(), &LauncherNotifier::delivered);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 20; ++i)
        LauncherNotifier::instance()->post(QStringLiteral("nobody-listens"), QStringLiteral("lost-%1").arg(i));
    const qint64 posting = clock.elapsed();
    QVERIFY(LauncherNotifier::instance()->flush(5000));
    qInfo("absent launcher: 20 posts took %lld ms, all failed after %lld ms", posting, clock.elapsed());
    QCOMPARE(delivered.count(), 20);
    for (const QList<QVariant> &result : qAsConst(delivered))
        QCOMPARE(result.at(1).toBool(), false);
}

QTEST_GUILESS_MAIN(ChannelUnderLoadTest)
#include "tst_channelunderload.moc"
