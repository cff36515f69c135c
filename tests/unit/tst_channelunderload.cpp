// The channel when its peers misbehave: many connections at once, a launcher
// that never takes its messages, and one that is not there at all.
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
