// The local-socket channel: the bytes the client puts on the wire, how the
// server turns connections into requests, and the launcher message texts.
#include "launchermessages.h"
#include "localpaths.h"
#include "testenvironment.h"
#include "vclient.h"
#include "vserver.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

class ChannelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = new TestEnvironment; }
    void cleanupTestCase() { delete m_env; }
    void messageTexts_data();
    void messageTexts();
    void clientWritesExactlyTheUtf8Bytes();
    void serverEmitsOncePerConnectionWhenSenderCloses();
    void serverKeepsConnectionsApart();
    void serverDropsOversizedMessages();
    void silentConnectionDoesNotDelayOthers();
    void tricklingPeerIsCutOffAtTheLifetimeBound();
    void staleSocketIsReplaced();
    void clientWaitsForLateServer();
    void clientGivesUpWithoutServer();
    void clientTellsLastingFailures_data();
    void clientTellsLastingFailures();
    void clientWaitsOnFullServerQueue();
    void stoppedServerServesWhatWasQueued();

private:
    static QByteArray readUntilClosed(QLocalSocket *socket);
    TestEnvironment *m_env = nullptr;
};

void ChannelTest::messageTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("store open") << LauncherMessages::storeNotice(QStringLiteral("x"), QStringLiteral("y"), true)
                                << R"(-tradory={"event":"open","oem":"x","package_name":"y"})";
    QTest::newRow("store close") << LauncherMessages::storeNotice(QStringLiteral("A"), QStringLiteral("B"), false)
                                 << R"(-tradory={"event":"close","oem":"A","package_name":"B"})";
    QTest::newRow("percent in package")
        << LauncherMessages::storeNotice(QStringLiteral("o"), QStringLiteral("p%41q"), true)
        << R"(-tradory={"event":"open","oem":"o","package_name":"pAq"})";
    QTest::newRow("json escapes kept") << LauncherMessages::storeNotice(QStringLiteral("a\"b"), QStringLiteral("Spiel ü"), true)
                                       << QStringLiteral("-tradory={\"event\":\"open\",\"oem\":\"a\\\"b\",\"package_name\":\"Spiel ü\"}");
    QTest::newRow("encoded utf-8") << LauncherMessages::percentDecoded(QStringLiteral("%C3%BC%20x")) << QStringLiteral("ü x");
    QTest::newRow("not an escape") << LauncherMessages::percentDecoded(QStringLiteral("100%zz")) << QStringLiteral("100%zz");
    QTest::newRow("cut escape") << LauncherMessages::percentDecoded(QStringLiteral("a%4")) << QStringLiteral("a%4");
    QTest::newRow("lone percent") << LauncherMessages::percentDecoded(QStringLiteral("50%")) << QStringLiteral("50%");
    QTest::newRow("close login") << LauncherMessages::closeLogin() << QStringLiteral("-closeLogin");
    QTest::newRow("login page") << LauncherMessages::loginPageShow() << QStringLiteral("-loginPageShow");
    QTest::newRow("main window") << LauncherMessages::showMainWindow() << QStringLiteral("-showMainwindow");
}

void ChannelTest::messageTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

QByteArray ChannelTest::readUntilClosed(QLocalSocket *socket)
{
    QByteArray bytes;
    while (socket->state() == QLocalSocket::ConnectedState) {
        socket->waitForReadyRead(100);
        bytes += socket->readAll();
    }
    return bytes + socket->readAll();
}

void ChannelTest::clientWritesExactlyTheUtf8Bytes()
{
    QLocalServer raw;
    QVERIFY(raw.listen(LocalPaths::socketPath(QStringLiteral("raw-peer"))));
    const QString message = QStringLiteral("-tradory={\"event\":\"open\"} Grüße €");
    QVERIFY(VClient::send(QStringLiteral("raw-peer"), message));
    QVERIFY(raw.waitForNewConnection(5000));
    QLocalSocket *peer = raw.nextPendingConnection();
    // The client has gone: what arrived is the whole message, no framing.
    QCOMPARE(readUntilClosed(peer), message.toUtf8());
}

void ChannelTest::serverEmitsOncePerConnectionWhenSenderCloses()
{
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("chunks")));
    QSignalSpy requests(&server, &VServer::playCloudGame);

    QLocalSocket sender;
    sender.connectToServer(server.socketPath());
    QVERIFY(sender.waitForConnected(5000));
    const QByteArray text = QStringLiteral("ünïcode-request.json").toUtf8();
    // Split inside a multi-byte character on purpose.
    for (const QByteArray &chunk : {text.left(1), text.mid(1, 3), text.mid(4)}) {
        sender.write(chunk);
        QVERIFY(sender.waitForBytesWritten(5000));
        QTest::qWait(80);
    }
    QCOMPARE(requests.count(), 0);
    sender.disconnectFromServer();
    QTRY_COMPARE(requests.count(), 1);
    QCOMPARE(requests.first().first().toString(), QStringLiteral("ünïcode-request.json"));

    // A connection that closes without a byte is no request.
    QLocalSocket empty;
    empty.connectToServer(server.socketPath());
    QVERIFY(empty.waitForConnected(5000));
    empty.disconnectFromServer();
    QTest::qWait(200);
    QCOMPARE(requests.count(), 1);
}

void ChannelTest::serverKeepsConnectionsApart()
{
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("apart")));
    QSignalSpy requests(&server, &VServer::playCloudGame);
    QLocalSocket first;
    QLocalSocket second;
    first.connectToServer(server.socketPath());
    second.connectToServer(server.socketPath());
    QVERIFY(first.waitForConnected(5000) && second.waitForConnected(5000));
    first.write("one-");
    second.write("two-");
    first.waitForBytesWritten(5000);
    second.waitForBytesWritten(5000);
    QTest::qWait(50);
    first.write("1.json");
    second.write("2.json");
    second.disconnectFromServer();
    first.disconnectFromServer();
    QTRY_COMPARE(requests.count(), 2);
    QStringList received{requests.at(0).first().toString(), requests.at(1).first().toString()};
    received.sort();
    QCOMPARE(received, (QStringList{QStringLiteral("one-1.json"), QStringLiteral("two-2.json")}));
}

void ChannelTest::serverDropsOversizedMessages()
{
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("oversized")));
    QSignalSpy requests(&server, &VServer::playCloudGame);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("larger than .* dropped")));

    QLocalSocket flood;
    flood.connectToServer(server.socketPath());
    QVERIFY(flood.waitForConnected(5000));
    flood.write(QByteArray(VServer::maxMessageBytes + 10, 'x'));
    flood.flush();
    QTRY_VERIFY(flood.state() != QLocalSocket::ConnectedState || flood.bytesToWrite() == 0);
    flood.disconnectFromServer();

    QVERIFY(VClient::send(QStringLiteral("oversized"), QStringLiteral("after.json")));
    QTRY_COMPARE(requests.count(), 1);
    QTest::qWait(200);
    QCOMPARE(requests.count(), 1);
    QCOMPARE(requests.first().first().toString(), QStringLiteral("after.json"));
}

void ChannelTest::silentConnectionDoesNotDelayOthers()
{
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("silent")));
    QSignalSpy requests(&server, &VServer::playCloudGame);
    QLocalSocket silent;
    silent.connectToServer(server.socketPath());
    QVERIFY(silent.waitForConnected(5000));
    silent.write("half");
    silent.waitForBytesWritten(5000);

    QVERIFY(VClient::send(QStringLiteral("silent"), QStringLiteral("prompt.json")));
    QTRY_COMPARE_WITH_TIMEOUT(requests.count(), 1, 1000);
    QCOMPARE(requests.first().first().toString(), QStringLiteral("prompt.json"));
}

void ChannelTest::tricklingPeerIsCutOffAtTheLifetimeBound()
{
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("trickle")));
    QSignalSpy requests(&server, &VServer::playCloudGame);
    QLocalSocket trickler;
    trickler.connectToServer(server.socketPath());
    QVERIFY(trickler.waitForConnected(5000));

    // A byte a second: never quiet long enough to count as idle.
    QElapsedTimer clock;
    clock.start();
    int sent = 0;
    while (trickler.state() == QLocalSocket::ConnectedState && clock.elapsed() < VServer::maxLifetimeMs + 5000) {
        trickler.write("x");
        trickler.waitForBytesWritten(1000);
        ++sent;
        QTest::qWait(1000);
    }
    const qint64 cutAfter = clock.elapsed();
    qInfo("trickling peer cut off after %lld ms and %d bytes", cutAfter, sent);
    QCOMPARE(trickler.state(), QLocalSocket::UnconnectedState);
    QVERIFY2(cutAfter >= VServer::maxLifetimeMs - 200, qPrintable(QString::number(cutAfter)));
    QVERIFY2(cutAfter < VServer::maxLifetimeMs + 2500, qPrintable(QString::number(cutAfter)));
    // What it trickled in is nobody's request.
    QTest::qWait(200);
    QCOMPARE(requests.count(), 0);
    QCOMPARE(server.pendingCount(), 0);

    QVERIFY(VClient::send(QStringLiteral("trickle"), QStringLiteral("after.json")));
    QTRY_COMPARE(requests.count(), 1);
    QCOMPARE(requests.first().first().toString(), QStringLiteral("after.json"));
}

void ChannelTest::staleSocketIsReplaced()
{
    // What a killed server leaves behind: a socket node nobody listens on.
    const QString path = LocalPaths::socketPath(QStringLiteral("stale"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
    QVERIFY(QFileInfo::exists(path));

    VServer server;
    QVERIFY(server.startServer(QStringLiteral("stale")));
    QSignalSpy requests(&server, &VServer::playCloudGame);
    QVERIFY(VClient::send(QStringLiteral("stale"), QStringLiteral("fresh.json")));
    QTRY_COMPARE(requests.count(), 1);
}

void ChannelTest::clientWaitsForLateServer()
{
    bool sent = false;
    std::thread client([&sent]() {
        VClient late;
        sent = late.connectServerWithRetry(QStringLiteral("late"), 5000) && late.sendMessage(QStringLiteral("late.json"));
    });
    QTest::qWait(600);
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("late")));
    QSignalSpy requests(&server, &VServer::playCloudGame);
    QTRY_COMPARE_WITH_TIMEOUT(requests.count(), 1, 6000);
    client.join();
    QVERIFY(sent);
    QCOMPARE(requests.first().first().toString(), QStringLiteral("late.json"));
}

void ChannelTest::clientGivesUpWithoutServer()
{
    VClient client;
    QVERIFY(!client.connectServerWithRetry(QStringLiteral("nobody"), 300));
    QVERIFY(!client.sendMessage(QStringLiteral("lost")));
    QVERIFY(!VClient::send(QStringLiteral("nobody"), QStringLiteral("lost")));
}

void ChannelTest::clientTellsLastingFailures_data()
{
    QTest::addColumn<QString>("atPath");
    QTest::addColumn<bool>("lasting");
    QTest::newRow("nothing") << "nothing" << false;
    QTest::newRow("stale socket") << "socket" << false;
    QTest::newRow("regular file") << "file" << true;
    QTest::newRow("folder") << "folder" << true;
}

void ChannelTest::clientTellsLastingFailures()
{
    QFETCH(QString, atPath);
    QFETCH(bool, lasting);
    const QString name = QStringLiteral("failure-") + atPath;
    const QString path = LocalPaths::socketPath(name);
    if (atPath == QLatin1String("socket")) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(fd);
    } else if (atPath == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (atPath == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    }
    VClient client;
    QVERIFY(!client.connectServerWithRetry(name, 400));
    QCOMPARE(client.lastFailure(), lasting ? VClient::Failure::Lasting : VClient::Failure::NotYet);
    QVERIFY(client.lastErrorString().contains(path));
}

void ChannelTest::clientWaitsOnFullServerQueue()
{
    // A crowd of starts fills the primary's queue before it takes any.
    QLocalServer busy;
    QVERIFY(busy.listen(LocalPaths::socketPath(QStringLiteral("busy"))));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(busy.fullServerName()).constData(), sizeof address.sun_path);
    QList<int> crowd;
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            QCOMPARE(errno, EAGAIN);
            ::close(fd);
            break;
        }
        crowd << fd;
        QVERIFY(crowd.size() < 10000);
    }
    VClient client;
    QVERIFY(!client.connectServer(QStringLiteral("busy"), 300));
    QCOMPARE(client.lastFailure(), VClient::Failure::NotYet);
    for (const int fd : qAsConst(crowd))
        ::close(fd);
}

void ChannelTest::stoppedServerServesWhatWasQueued()
{
    VServer server;
    QVERIFY(server.startServer(QStringLiteral("leaving")));
    const QString path = server.socketPath();
    QSignalSpy requests(&server, &VServer::playCloudGame);
    QSignalSpy idle(&server, &VServer::idle);
    // Connected, but not yet taken by the server: no event loop has run.
    QList<int> queued;
    for (int i = 0; i < 20; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        queued << fd;
    }
    server.stopListening();
    QVERIFY(!server.isListening());
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!VClient::send(QStringLiteral("leaving"), QStringLiteral("too-late.json")));
    QCOMPARE(server.pendingCount(), queued.size());

    // The queued senders write only now, and all of them are heard.
    QStringList expected;
    for (int i = 0; i < queued.size(); ++i) {
        const QByteArray name = QByteArray::number(i) + ".json";
        QCOMPARE(::write(queued.at(i), name.constData(), size_t(name.size())), ssize_t(name.size()));
        ::close(queued.at(i));
        expected << QString::fromLatin1(name);
    }
    QTRY_COMPARE(requests.count(), queued.size());
    QCOMPARE(idle.count(), 1);
    QStringList received;
    for (const QList<QVariant> &arguments : qAsConst(requests))
        received << arguments.first().toString();
    received.sort();
    expected.sort();
    QCOMPARE(received, expected);

    // And it can listen again under the same name.
    QVERIFY(server.startServer(QStringLiteral("leaving")));
    QVERIFY(VClient::send(QStringLiteral("leaving"), QStringLiteral("again.json")));
    QTRY_COMPARE(requests.count(), queued.size() + 1);
}

QTEST_GUILESS_MAIN(ChannelTest)
#include "tst_channel.moc"
