// The built program against what others can put where it reads and writes:
// a FIFO or a link in place of its events file or its log, pages that write
// to the console, and configuration values that are paths rather than names.
// Each test starts the program with its own configuration and app-data root
// and checks that it still serves requests.
#include "filewatcher.h"
#include "localpaths.h"
#include "log.h"
#include "programdriver.h"
#include "testenvironment.h"
#include "testhttpserver.h"
#include "vclient.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString productFolder = QStringLiteral("VelloraX");

bool isFifo(const QString &path)
{
    struct stat st;
    return lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool makeFifo(const QString &path)
{
    return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class HostileFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void eventsFileTurnedFifoWhileRunning();
    void logPathTakenBeforeStart_data();
    void logPathTakenBeforeStart();
    void pageConsoleCannotForgeOrOverfillTheLog();
    void ownServerNamedByPathStaysInRuntimeFolder();
    void launcherServerNamedByPathIsNotDialled();
    void productFolderNamedUpwardsStaysUnderRoot_data();
    void productFolderNamedUpwardsStaysUnderRoot();

private:
    QProcess *start(const QStringList &arguments);
    // A request file in the default product folder; its name.
    QString writeRequest(const QString &name, const QString &type = QString(), const QString &url = QStringLiteral("about:blank"));
    QString requestPath(const QString &name) const;
    QString productDir() const { return m_env->dataRoot() + QLatin1Char('/') + productFolder; }
    QString logPath() const { return productDir() + QStringLiteral("/logs/tradory.log"); }
    bool served(const QString &name, int timeoutMs = 20000);
    bool servesForwardedRequest(const QString &name);
    bool waitForOutput(QProcess *process, const QString &text, int timeoutMs = 20000);
    static int runToEnd(QProcess *process, int timeoutMs = 20000);
    bool endsOnQuitEvent(QProcess *process);

    TestEnvironment *m_env = nullptr;
    ProgramDriver *m_driver = nullptr;
    TestHttpServer m_server;
    QString m_program;
    QList<QProcess *> m_processes;
    QHash<QProcess *, QByteArray> m_output;
};

void HostileFilesTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_program = TestEnvironment::buildDir() + QStringLiteral("/tradory");
    QVERIFY2(QFileInfo(m_program).isExecutable(), qPrintable(m_program));
    m_driver = new ProgramDriver(*m_env, QStringLiteral("TradoryInstance"), this);
    QVERIFY(m_server.start());
}

void HostileFilesTest::cleanupTestCase()
{
    delete m_env;
}

void HostileFilesTest::init()
{
    m_env->writeConfig(QString());
    QDir(m_env->dataRoot()).removeRecursively();
    QDir().mkpath(m_env->dataRoot());
}

void HostileFilesTest::cleanup()
{
    for (QProcess *process : qAsConst(m_processes)) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
        delete process;
    }
    m_processes.clear();
    m_output.clear();
    QTRY_COMPARE_WITH_TIMEOUT(m_driver->programProcesses(), 0, 15000);
    QDir(m_env->runtimeDir()).removeRecursively();
    QDir().mkpath(m_env->runtimeDir());
    QFile::setPermissions(m_env->runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Whatever a refused value would have made beside the app-data root.
    for (const QString &stray : {QStringLiteral("logs"), QStringLiteral("cache"), QStringLiteral("elsewhere")}) {
        const QString path = m_env->root() + QLatin1Char('/') + stray;
        if (QFileInfo(path).isDir())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
}

QProcess *HostileFilesTest::start(const QStringList &arguments)
{
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(m_program, arguments);
    m_processes << process;
    return process;
}

QString HostileFilesTest::requestPath(const QString &name) const
{
    return productDir() + QStringLiteral("/LocalGames/") + name;
}

QString HostileFilesTest::writeRequest(const QString &name, const QString &type, const QString &url)
{
    QDir().mkpath(productDir() + QStringLiteral("/LocalGames"));
    QFile file(requestPath(name));
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral(R"({"oem":"acme","package_name":"%1","type":"%2","cloud_app_url":"%3"})")
                   .arg(name, type, url)
                   .toUtf8());
    return name;
}

bool HostileFilesTest::served(const QString &name, int timeoutMs)
{
    return QTest::qWaitFor([&]() { return !QFileInfo::exists(requestPath(name)); }, timeoutMs);
}

bool HostileFilesTest::servesForwardedRequest(const QString &name)
{
    writeRequest(name);
    const bool sent = QTest::qWaitFor([&]() { return VClient::send(QStringLiteral("TradoryServer"), name); }, 10000);
    return sent && served(name, 10000);
}

bool HostileFilesTest::waitForOutput(QProcess *process, const QString &text, int timeoutMs)
{
    return QTest::qWaitFor([&]() {
        m_output[process] += process->readAll();
        return m_output[process].contains(text.toUtf8());
    }, timeoutMs);
}

int HostileFilesTest::runToEnd(QProcess *process, int timeoutMs)
{
    if (!process->waitForFinished(timeoutMs))
        return -1000;
    return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -2000;
}

bool HostileFilesTest::endsOnQuitEvent(QProcess *process)
{
    QString error;
    if (!FileWatcher::fireEvent(FileWatcher::QuitApplication, &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return runToEnd(process) == 0;
}

void HostileFilesTest::eventsFileTurnedFifoWhileRunning()
{
    QProcess *program = start({writeRequest(QStringLiteral("first.json"))});
    QVERIFY(served(QStringLiteral("first.json")));
    QVERIFY(waitForOutput(program, QStringLiteral("Tradory window showNormal")));

    const QString events = productDir() + QStringLiteral("/file_events");
    QFile::remove(events);
    QVERIFY(makeFifo(events));
    // Time to meet it: nothing ever writes to this FIFO.
    QTest::qWait(800);
    QVERIFY2(servesForwardedRequest(QStringLiteral("while-fifo.json")), "the program stopped serving requests");
    QVERIFY(isFifo(events));

    // A regular events file in its place is read again.
    QVERIFY(QFile::remove(events));
    QVERIFY(endsOnQuitEvent(program));
}

void HostileFilesTest::logPathTakenBeforeStart_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("link to a file elsewhere") << QStringLiteral("link");
}

void HostileFilesTest::logPathTakenBeforeStart()
{
    QFETCH(QString, kind);
    QVERIFY(QDir().mkpath(QFileInfo(logPath()).absolutePath()));
    const QString target = m_env->root() + QStringLiteral("/elsewhere");
    const QByteArray targetText = "not the program's file\n";
    if (kind == QLatin1String("fifo")) {
        QVERIFY(makeFifo(logPath()));
    } else {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(targetText);
        file.close();
        QVERIFY(QFile::link(target, logPath()));
    }

    QProcess *program = start({writeRequest(QStringLiteral("first.json"))});
    QVERIFY2(served(QStringLiteral("first.json")), "the program never got to its first request");
    QVERIFY2(servesForwardedRequest(QStringLiteral("second.json")), "the program does not listen");
    if (kind == QLatin1String("fifo"))
        QVERIFY(isFifo(logPath()));
    else
        QCOMPARE(readFile(target), targetText);
    QVERIFY(waitForOutput(program, QStringLiteral("logging to the console only")));
    QVERIFY(endsOnQuitEvent(program));
}

void HostileFilesTest::pageConsoleCannotForgeOrOverfillTheLog()
{
    // One forged line, then one message twice the size of the log's cap.
    m_server.route("/console", R"(<html><head><title>Console</title></head><body><script>
        console.error("x\r\n2099-01-01T00:00:00.000 C [Tradory] FORGED");
        console.error("big:" + "a".repeat(8 * 1024 * 1024));
        console.warn("after the big one");
        </script></body></html>)");
    QProcess *program = start({writeRequest(QStringLiteral("console.json"), QString(),
                                            m_server.url(QStringLiteral("/console")).toString())});
    QVERIFY(served(QStringLiteral("console.json")));
    QVERIFY(m_driver->waitForLog(QStringLiteral("after the big one"), 1, 30000));

    const QByteArray log = readFile(logPath());
    const QByteArray old = readFile(logPath() + QStringLiteral(".1"));
    qInfo("log %d bytes, old copy %d bytes, cap %lld", log.size(), old.size(), Log::maxFileBytes);
    QVERIFY2(log.size() <= Log::maxFileBytes, qPrintable(QString::number(log.size())));
    QVERIFY2(old.size() <= Log::maxFileBytes, qPrintable(QString::number(old.size())));
    QVERIFY2((old + log).contains("big:aaaa"), "the big message never reached the log");
    int forgedLines = 0;
    for (const QByteArray &line : (old + log).split('\n')) {
        QVERIFY2(!line.startsWith("2099-"), line.constData());
        QVERIFY2(line.size() < 64 * 1024, qPrintable(QString::number(line.size())));
        if (line.contains("FORGED")) {
            ++forgedLines;
            QVERIFY2(line.contains("x\\r\\n2099-01-01T00:00:00.000 C [Tradory] FORGED"), line.constData());
        }
    }
    QCOMPARE(forgedLines, 1);
    QVERIFY(endsOnQuitEvent(program));
}

void HostileFilesTest::ownServerNamedByPathStaysInRuntimeFolder()
{
    const QString victim = m_env->root() + QStringLiteral("/elsewhere");
    const QByteArray victimText = "someone's file\n";
    {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(victimText);
    }
    m_env->writeConfig(QStringLiteral("[AppConfig]\n37=%1\n").arg(victim));

    QProcess *program = start({writeRequest(QStringLiteral("first.json"))});
    QVERIFY(served(QStringLiteral("first.json")));
    QVERIFY2(servesForwardedRequest(QStringLiteral("second.json")), "the program does not listen under the default name");
    QCOMPARE(readFile(victim), victimText);
    QVERIFY(QFileInfo(LocalPaths::socketPath(QStringLiteral("TradoryServer"))).exists());
    QVERIFY(waitForOutput(program, QStringLiteral("configuration key 37 is refused")));
    QVERIFY(endsOnQuitEvent(program));
}

void HostileFilesTest::launcherServerNamedByPathIsNotDialled()
{
    const QString elsewhere = m_env->root() + QStringLiteral("/elsewhere");
    QLocalServer stranger;
    QVERIFY(stranger.listen(elsewhere));
    QLocalServer launcher;
    QVERIFY(launcher.listen(LocalPaths::socketPath(QStringLiteral("VelloraXLauncher"))));
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=%1\n").arg(elsewhere));

    QProcess *program = start({writeRequest(QStringLiteral("store.json"), QStringLiteral("-tradory="))});
    QVERIFY(served(QStringLiteral("store.json")));
    QTRY_VERIFY_WITH_TIMEOUT(launcher.hasPendingConnections() || stranger.hasPendingConnections(), 20000);
    QVERIFY2(!stranger.hasPendingConnections(), "the store notice went to a socket outside the runtime folder");
    QLocalSocket *notice = launcher.nextPendingConnection();
    QTRY_VERIFY(notice->bytesAvailable() > 0 || notice->state() == QLocalSocket::UnconnectedState);
    QVERIFY(notice->readAll().startsWith("-tradory="));
    QVERIFY(endsOnQuitEvent(program));
}

void HostileFilesTest::productFolderNamedUpwardsStaysUnderRoot_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stray");
    QTest::newRow("parent") << QStringLiteral("..") << m_env->root();
    QTest::newRow("parent's child") << QStringLiteral("../elsewhere") << m_env->root() + QStringLiteral("/elsewhere");
    QTest::newRow("absolute") << m_env->root() + QStringLiteral("/elsewhere") << m_env->root() + QStringLiteral("/elsewhere");
}

void HostileFilesTest::productFolderNamedUpwardsStaysUnderRoot()
{
    QFETCH(QString, value);
    QFETCH(QString, stray);
    m_env->writeConfig(QStringLiteral("[AppConfig]\n41=%1\n").arg(value));

    QProcess *program = start({writeRequest(QStringLiteral("first.json"))});
    QVERIFY2(served(QStringLiteral("first.json")), "the request in the default product folder was not read");
    QVERIFY(waitForOutput(program, QStringLiteral("Tradory window showNormal")));
    QVERIFY(QFileInfo(logPath()).isFile());
    // The engine makes its cache folder when the window's browser starts,
    // which may come a moment after the window shows.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(productDir() + QStringLiteral("/cache")).isDir(), 15000);
    for (const QString &made : {QStringLiteral("/logs"), QStringLiteral("/cache")})
        QVERIFY2(!QFileInfo::exists(stray + made), qPrintable(stray + made));
    QVERIFY(endsOnQuitEvent(program));
}

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "tst_hostilefiles.moc"
