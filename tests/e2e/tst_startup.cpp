// The program's roles as the launcher meets them: the built executable is
// started with an isolated configuration, and this test plays the primary's
// peer (holding the instance lock and listening) or the second instance.
#include "instancelock.h"
#include "localpaths.h"
#include "testenvironment.h"
#include "vclient.h"
#include "vlauncher.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

#include <csignal>

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void engineSubProcessCreatesNothing();
    void secondInstanceForwardsLastArgumentDecoded();
    void secondInstanceWithoutArgumentSendsNothing();
    void secondInstanceWaitsForPrimaryStillStarting();
    void primaryUsesFirstArgumentAsGiven();
    void killedPrimaryLeavesNothingThatBlocksTheNext();

private:
    QProcess *start(const QStringList &arguments);
    bool waitForOutput(QProcess *process, const QString &text, int timeoutMs = 20000);
    static int runToEnd(QProcess *process, int timeoutMs = 20000);
    // Plays a running primary: holds the lock and counts what arrives.
    bool holdInstanceLock();
    bool listenAsPrimary();
    QStringList receivedMessages();
    QString writeRequest(const QString &name);

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
    if (!process->waitForFinished(timeoutMs))
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
    QProcess helper;
    helper.setProcessEnvironment(environment);
    // Chromium starts its helpers with the browser's switches, --no-sandbox among them.
    helper.start(m_program, {QStringLiteral("--type=relauncher"), QStringLiteral("--no-sandbox"), QStringLiteral("request.json")});
    QCOMPARE(runToEnd(&helper), 255);
    QCOMPARE(QDir(m_env->runtimeDir()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System), QStringList());
    QVERIFY(!QFileInfo::exists(m_env->dataRoot() + QStringLiteral("/VelloraX")));
}

void StartupTest::secondInstanceForwardsLastArgumentDecoded()
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
    QTRY_COMPARE(receivedMessages(), QStringList{QStringLiteral("a bAü.json")});
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

    // A request forwarded by a second instance reaches the same primary,
    // percent-decoded on the way.
    const QString forwarded = writeRequest(QStringLiteral("cA.json"));
    const QString undecoded = writeRequest(QStringLiteral("c%41.json"));
    QProcess *secondInstance = start({QStringLiteral("c%41.json")});
    QCOMPARE(runToEnd(secondInstance), 255);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(forwarded), 10000);
    QVERIFY(QFileInfo::exists(undecoded));
    QCOMPARE(primary->state(), QProcess::Running);
}

void StartupTest::killedPrimaryLeavesNothingThatBlocksTheNext()
{
    const QString one = writeRequest(QStringLiteral("one.json"));
    QProcess *first = start({QStringLiteral("one.json")});
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(one), 20000);
    ::kill(pid_t(first->processId()), SIGKILL);
    first->waitForFinished(5000);
    const QString socket = LocalPaths::socketPath(VLauncher::instance()->getAppConfigValue(AppConfig::OwnServer).toString());
    QVERIFY2(QFileInfo::exists(socket), "the killed primary should have left its socket behind");

    const QString two = writeRequest(QStringLiteral("two.json"));
    QProcess *next = start({QStringLiteral("two.json")});
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(two), 20000);
    const QString three = writeRequest(QStringLiteral("three.json"));
    QTRY_VERIFY(VClient::send(VLauncher::instance()->getAppConfigValue(AppConfig::OwnServer).toString(),
                              QStringLiteral("three.json")));
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(three), 10000);
    QCOMPARE(next->state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
