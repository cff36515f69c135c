// The program run as an unprivileged user (CI runs as root, where every file
// can be read and removed): request files it may not read or delete, and a
// primary's socket it may not connect to. Needs root to set the stage and
// setpriv to drop to "nobody".
#include "filewatcher.h"
#include "localpaths.h"
#include "testenvironment.h"
#include "vlauncher.h"

#include <QLocalServer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr uid_t nobody = 65534;

bool chownNobody(const QString &path)
{
    return ::chown(QFile::encodeName(path).constData(), nobody, nobody) == 0;
}

double childCpuSeconds()
{
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class UnprivilegedTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void unreadableRequestFileIsLoggedAndLeft();
    void undeletableRequestFileIsReadOnce();
    void secondInstanceDeniedTheSocketGivesUpAtOnce();

private:
    QProcess *startAsNobody(const QStringList &arguments);
    QString writeRootRequest(const QString &name, const QByteArray &json, QFile::Permissions permissions);
    bool waitForOutput(QProcess *process, const QString &text);
    QString output(QProcess *process);
    int quitAndWait(QProcess *process);
    QString runPath(const QString &name, const QString &suffix = QString()) const;

    QTemporaryDir m_base;
    QString m_setpriv;
    QString m_program;
    QList<QProcess *> m_processes;
};

void UnprivilegedTest::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("needs root: it makes files that the unprivileged user may not read or delete");
    m_setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (m_setpriv.isEmpty())
        QSKIP("setpriv (util-linux) is not installed");
    m_program = TestEnvironment::buildDir() + QStringLiteral("/tradory");
    QVERIFY(m_base.isValid());
    const QString base = m_base.path();
    QVERIFY(QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    // The user's own folders, and a request folder that belongs to root.
    for (const QString &folder : {QStringLiteral("/run"), QStringLiteral("/home"), QStringLiteral("/data"),
                                  QStringLiteral("/data/VelloraX")}) {
        QVERIFY(QDir().mkpath(base + folder));
        QVERIFY(chownNobody(base + folder));
    }
    QVERIFY(QFile::setPermissions(base + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QDir().mkpath(base + QStringLiteral("/data/VelloraX/LocalGames")));
    QFile config(base + QStringLiteral("/launcher.ini"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[AppConfig]\n7=about:blank\n");
    config.close();
    // The display's key, for the user's windows.
    const QString xauthority = QFile::decodeName(qgetenv("XAUTHORITY"));
    if (!xauthority.isEmpty()) {
        QVERIFY(QFile::copy(xauthority, base + QStringLiteral("/home/.Xauthority")));
        QVERIFY(chownNobody(base + QStringLiteral("/home/.Xauthority")));
    }
    // This process fires the launcher's events into the user's folder.
    qputenv("VELLORA_CONFIG", QFile::encodeName(config.fileName()));
    qputenv("LOCALAPPDATA", QFile::encodeName(base + QStringLiteral("/data")));
    VLauncher::instance()->reload();
}

void UnprivilegedTest::init()
{
    const QString requests = VLauncher::instance()->requestDir();
    for (const QString &name : QDir(requests).entryList(QDir::Files))
        QFile::remove(requests + name);
    QDir(m_base.path() + QStringLiteral("/data/VelloraX/logs")).removeRecursively();
    for (const QString &name : QDir(m_base.path() + QStringLiteral("/run")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        QFile::remove(m_base.path() + QStringLiteral("/run/") + name);
}

void UnprivilegedTest::cleanup()
{
    for (QProcess *process : qAsConst(m_processes)) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
        delete process;
    }
    m_processes.clear();
}

QString UnprivilegedTest::runPath(const QString &name, const QString &suffix) const
{
    const QString dir = m_base.path() + QStringLiteral("/run");
    return dir + QLatin1Char('/') + LocalPaths::safeFileName(name, QFile::encodeName(dir).size(), suffix);
}

QProcess *UnprivilegedTest::startAsNobody(const QStringList &arguments)
{
    const QString base = m_base.path();
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), base + QStringLiteral("/home"));
    environment.insert(QStringLiteral("VELLORA_CONFIG"), base + QStringLiteral("/launcher.ini"));
    environment.insert(QStringLiteral("LOCALAPPDATA"), base + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), base + QStringLiteral("/run"));
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(qgetenv("DISPLAY")));
    if (QFileInfo::exists(base + QStringLiteral("/home/.Xauthority")))
        environment.insert(QStringLiteral("XAUTHORITY"), base + QStringLiteral("/home/.Xauthority"));
    auto *process = new QProcess;
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(m_setpriv, QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                          QStringLiteral("--clear-groups"), m_program} + arguments);
    m_processes << process;
    return process;
}

QString UnprivilegedTest::writeRootRequest(const QString &name, const QByteArray &json, QFile::Permissions permissions)
{
    QFile file(VLauncher::instance()->requestDir() + name);
    file.open(QIODevice::WriteOnly);
    file.write(json);
    file.close();
    file.setPermissions(permissions);
    return file.fileName();
}

QString UnprivilegedTest::output(QProcess *process)
{
    const QByteArray seen = process->property("seen").toByteArray() + process->readAll();
    process->setProperty("seen", seen);
    return QString::fromUtf8(seen);
}

bool UnprivilegedTest::waitForOutput(QProcess *process, const QString &text)
{
    return QTest::qWaitFor([&]() { return output(process).contains(text); }, 20000);
}

int UnprivilegedTest::quitAndWait(QProcess *process)
{
    if (!FileWatcher::fireEvent(FileWatcher::QuitApplication) || !process->waitForFinished(20000))
        return -1000;
    return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -2000;
}

void UnprivilegedTest::unreadableRequestFileIsLoggedAndLeft()
{
    const QByteArray json = R"({"package_name":"secret","cloud_app_url":"about:blank"})";
    const QString request = writeRootRequest(QStringLiteral("secret.json"), json, QFile::ReadOwner | QFile::WriteOwner);
    QProcess *primary = startAsNobody({QStringLiteral("secret.json")});
    QVERIFY2(waitForOutput(primary, QStringLiteral("Tradory window showNormal")), qPrintable(output(primary)));
    QVERIFY(output(primary).contains(QStringLiteral("request file not readable: \"secret.json\" Permission denied")));

    // The same name again, forwarded: read once more, refused once more.
    QProcess *second = startAsNobody({QStringLiteral("secret.json")});
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 255);
    QTRY_COMPARE(output(primary).count(QStringLiteral("request file not readable")), 2);
    QTest::qWait(500);
    // Every request opens the default page; nothing repeats by itself.
    QCOMPARE(output(primary).count(QStringLiteral("request file not readable")), 2);
    QCOMPARE(output(primary).count(QStringLiteral("Tradory window create end")), 2);
    QFile file(request);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), json);
    QCOMPARE(quitAndWait(primary), 0);
}

void UnprivilegedTest::undeletableRequestFileIsReadOnce()
{
    const QString request = writeRootRequest(QStringLiteral("kept.json"),
                                             R"({"package_name":"kept","cloud_app_url":"about:blank"})",
                                             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QProcess *primary = startAsNobody({QStringLiteral("kept.json")});
    QVERIFY2(waitForOutput(primary, QStringLiteral("Tradory window showNormal")), qPrintable(output(primary)));
    QVERIFY(output(primary).contains(QStringLiteral("request file could not be removed: \"kept.json\" Permission denied")));
    QVERIFY(QFileInfo::exists(request));

    // Read again when named again, but its package already has its window.
    QProcess *second = startAsNobody({QStringLiteral("kept.json")});
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 255);
    QTRY_COMPARE(output(primary).count(QStringLiteral("Tradory window create start")), 2);
    QTest::qWait(500);
    QCOMPARE(output(primary).count(QStringLiteral("Tradory window create start")), 2);
    QCOMPARE(output(primary).count(QStringLiteral("Tradory window create end")), 1);
    QCOMPARE(output(primary).count(QStringLiteral("could not be removed")), 2);
    QCOMPARE(quitAndWait(primary), 0);
}

void UnprivilegedTest::secondInstanceDeniedTheSocketGivesUpAtOnce()
{
    // A primary's lock is held, and its socket belongs to root alone.
    const QString lockPath = runPath(QStringLiteral("TradoryInstance"), QStringLiteral(".lock"));
    const int lockFd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(lockFd >= 0);
    QVERIFY(chownNobody(lockPath));
    QCOMPARE(::flock(lockFd, LOCK_EX | LOCK_NB), 0);
    QLocalServer rootServer;
    rootServer.setSocketOptions(QLocalServer::UserAccessOption);
    QVERIFY(rootServer.listen(runPath(QStringLiteral("TradoryServer"))));

    const double before = childCpuSeconds();
    QProcess *second = startAsNobody({QStringLiteral("x.json")});
    const bool ended = second->waitForFinished(30000);
    ::close(lockFd);
    QVERIFY(ended);
    const double cpu = childCpuSeconds() - before;
    QCOMPARE(second->exitCode(), 255);
    QCOMPARE(output(second).count(QStringLiteral("cannot reach the primary instance")), 1);
    QVERIFY(output(second).contains(QStringLiteral("Socket access error")));
    qInfo("second instance denied the primary's socket: %.3f s of processor time", cpu);
    QVERIFY2(cpu < 0.3, qPrintable(QString::number(cpu)));
    QVERIFY(!rootServer.hasPendingConnections());
}

QTEST_GUILESS_MAIN(UnprivilegedTest)
#include "tst_unprivileged.moc"
