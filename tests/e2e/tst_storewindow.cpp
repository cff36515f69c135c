// The program end to end, driven only from outside as the launcher drives
// it: request files and starts through vellora-launcher, its listener for
// the messages, file events, and real clicks on the X display.
#include "instancelock.h"
#include "testenvironment.h"
#include "testhttpserver.h"
#include "vlauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

class StoreWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void storeWindowReportsOpenAndClose();
    void samePackageRaisesTheOpenWindow();
    void otherPackageCascades();
    void closeLoginOnlyFromTheCloseButton();
    void fileEventsReachTheRightWindows();
    void unknownSchemeGoesToLauncherAndClosesWindow();
    void signInProviderPageIsReportedOnce();

private:
    struct Geometry {
        int x = 0, y = 0, width = 0, height = 0;
    };
    QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr);
    QString open(const QString &type, const QString &package, const QString &path, const QString &game);
    QStringList windows(const QString &title);
    Geometry geometry(const QString &window);
    void click(const QString &window, int x, int y);
    void clickCloseButton(const QString &window);
    bool waitForLog(const QString &text, int count = 1, int timeoutMs = 20000);
    int logCount(const QString &text);
    bool waitForMessages(int count, int timeoutMs = 10000);
    bool primaryRuns();
    int programProcesses();

    TestEnvironment *m_env = nullptr;
    TestHttpServer m_server;
    QProcess m_listener;
    QStringList m_messages;
    QString m_build;
};

void StoreWindowTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=e2e-launcher\n37=e2e-store\n38=e2e-instance\n"));
    m_build = TestEnvironment::buildDir();
    QVERIFY(m_server.start());
    m_server.route("/store", "<html><head><title>Store page</title></head><body>store</body></html>");
    m_server.route("/other", "<html><head><title>Other page</title></head><body>other</body></html>");
    m_server.route("/scheme", "<html><body style='margin:0'><a id='go' href='vellora://library/open' "
                              "style='display:block;width:400px;height:300px;background:#ccc'>launcher</a></body></html>");
    m_server.route("/signin", "<html><head><title>Sign in</title></head><body>provider</body></html>");

    m_listener.setProgram(m_build + QStringLiteral("/vellora-launcher"));
    m_listener.setArguments({QStringLiteral("listen")});
    connect(&m_listener, &QProcess::readyReadStandardOutput, this, [this]() {
        while (m_listener.canReadLine())
            m_messages << QString::fromUtf8(m_listener.readLine()).chopped(1);
    });
    m_listener.start();
    QVERIFY(m_listener.waitForStarted());
    // It says where it listens on its error output once the socket is there.
    m_listener.setReadChannel(QProcess::StandardError);
    QVERIFY(m_listener.waitForReadyRead(5000));
    m_listener.setReadChannel(QProcess::StandardOutput);
}

void StoreWindowTest::cleanupTestCase()
{
    m_listener.terminate();
    m_listener.waitForFinished(5000);
    delete m_env;
}

int StoreWindowTest::programProcesses()
{
    // This test's own program processes (helpers included): they carry its
    // configuration in their environment.
    const QByteArray marker = "VELLORA_CONFIG=" + QFile::encodeName(m_env->configPath());
    const QString program = QFileInfo(m_build + QStringLiteral("/tradory")).canonicalFilePath();
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

bool StoreWindowTest::primaryRuns()
{
    InstanceLock probe;
    return probe.tryLock(QStringLiteral("e2e-instance")) == InstanceLock::Result::HeldElsewhere;
}

void StoreWindowTest::cleanup()
{
    if (primaryRuns())
        run(m_build + QStringLiteral("/vellora-launcher"), {QStringLiteral("event"), QStringLiteral("0")});
    // Gone for good, windows and helpers too, before the next test starts one.
    QVERIFY(QTest::qWaitFor([this]() { return programProcesses() == 0; }, 15000));
    m_messages.clear();
    QFile::remove(VLauncher::instance()->productDir() + QStringLiteral("/logs/tradory.log"));
}

QString StoreWindowTest::run(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(20000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString StoreWindowTest::open(const QString &type, const QString &package, const QString &path, const QString &game)
{
    int exitCode = -1;
    const QString name = run(m_build + QStringLiteral("/vellora-launcher"),
                             {QStringLiteral("open"), QStringLiteral("--oem"), QStringLiteral("acme"),
                              QStringLiteral("--package"), package, QStringLiteral("--type"), type,
                              QStringLiteral("--url"), m_server.url(path).toString(), QStringLiteral("--game"), game},
                             &exitCode);
    return exitCode == 0 ? name : QString();
}

QStringList StoreWindowTest::windows(const QString &title)
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

StoreWindowTest::Geometry StoreWindowTest::geometry(const QString &window)
{
    const QString shell = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    Geometry g;
    for (const QString &line : shell.split(QLatin1Char('\n'))) {
        const QStringList pair = line.split(QLatin1Char('='));
        const int value = pair.value(1).toInt();
        if (pair.first() == QLatin1String("X")) g.x = value;
        if (pair.first() == QLatin1String("Y")) g.y = value;
        if (pair.first() == QLatin1String("WIDTH")) g.width = value;
        if (pair.first() == QLatin1String("HEIGHT")) g.height = value;
    }
    return g;
}

void StoreWindowTest::click(const QString &window, int x, int y)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                                    QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

void StoreWindowTest::clickCloseButton(const QString &window)
{
    // The last of the title bar's 40-pixel buttons, in the 50-pixel title strip.
    const Geometry g = geometry(window);
    click(window, g.width - 11 - 20, 25);
}

int StoreWindowTest::logCount(const QString &text)
{
    QFile log(VLauncher::instance()->productDir() + QStringLiteral("/logs/tradory.log"));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromUtf8(log.readAll()).count(text);
}

bool StoreWindowTest::waitForLog(const QString &text, int count, int timeoutMs)
{
    return QTest::qWaitFor([&]() { return logCount(text) >= count; }, timeoutMs);
}

bool StoreWindowTest::waitForMessages(int count, int timeoutMs)
{
    return QTest::qWaitFor([&]() { return m_messages.size() >= count; }, timeoutMs);
}

void StoreWindowTest::storeWindowReportsOpenAndClose()
{
    QVERIFY(!open(QStringLiteral("-tradory="), QStringLiteral("y"), QStringLiteral("/store"), QStringLiteral("Store")).isEmpty());
    QVERIFY(waitForMessages(1));
    QCOMPARE(m_messages.first(), QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"y"})"));
    QVERIFY(waitForLog(QStringLiteral("load end")));
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Store")).size(), 1, 5000);
    const QStringList found = windows(QStringLiteral("Store"));
    QVERIFY(!found.isEmpty());

    clickCloseButton(found.first());
    QVERIFY(waitForMessages(2));
    QCOMPARE(m_messages.at(1), QStringLiteral(R"(-tradory={"event":"close","oem":"acme","package_name":"y"})"));
    // The last window gone, the program ends by itself.
    QVERIFY(QTest::qWaitFor([this]() { return !primaryRuns(); }, 10000));
    QCOMPARE(m_messages.size(), 2);
}

void StoreWindowTest::samePackageRaisesTheOpenWindow()
{
    QVERIFY(!open(QStringLiteral("-tradory="), QStringLiteral("same"), QStringLiteral("/store"), QStringLiteral("Once")).isEmpty());
    QVERIFY(waitForLog(QStringLiteral("load end")));
    const QString second = open(QStringLiteral("-tradory="), QStringLiteral("same"), QStringLiteral("/other"), QStringLiteral("Twice"));
    QVERIFY(!second.isEmpty());
    QVERIFY(waitForLog(QStringLiteral("Tradory window showNormal"), 2));
    QCOMPARE(logCount(QStringLiteral("Tradory window create end")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Once")).size(), 1, 5000);
    QCOMPARE(windows(QStringLiteral("Twice")).size(), 0);
    QVERIFY(!QFile::exists(VLauncher::instance()->requestDir() + second));
    QCOMPARE(QDir(VLauncher::instance()->requestDir()).entryList(QDir::Files), QStringList());
    // A package differing in case is another package.
    QVERIFY(!open(QStringLiteral("-tradory="), QStringLiteral("SAME"), QStringLiteral("/other"), QStringLiteral("Upper")).isEmpty());
    QVERIFY(waitForLog(QStringLiteral("Tradory window create end"), 2));
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Upper")).size(), 1, 10000);
}

void StoreWindowTest::otherPackageCascades()
{
    QVERIFY(!open(QStringLiteral("page"), QStringLiteral("first"), QStringLiteral("/store"), QStringLiteral("First")).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("First")).size(), 1, 20000);
    QVERIFY(!open(QStringLiteral("page"), QStringLiteral("second"), QStringLiteral("/other"), QStringLiteral("Second")).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Second")).size(), 1, 20000);
    const Geometry first = geometry(windows(QStringLiteral("First")).first());
    const Geometry second = geometry(windows(QStringLiteral("Second")).first());
    QCOMPARE(second.x - first.x, 30);
    QCOMPARE(second.y - first.y, 30);
    QCOMPARE(second.width, first.width);
    // Plain pages send no store notices.
    QTest::qWait(300);
    QCOMPARE(m_messages, QStringList());
}

void StoreWindowTest::closeLoginOnlyFromTheCloseButton()
{
    QVERIFY(!open(QStringLiteral("login"), QStringLiteral("account"), QStringLiteral("/signin"), QString()).isEmpty());
    QVERIFY(waitForLog(QStringLiteral("load end")));
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Sign in Vellora X")).size(), 1, 5000);
    const QStringList found = windows(QStringLiteral("Sign in Vellora X"));
    QVERIFY(!found.isEmpty());
    clickCloseButton(found.first());
    QVERIFY(waitForMessages(1));
    QCOMPARE(m_messages, QStringList{QStringLiteral("-closeLogin")});

    QVERIFY(!open(QStringLiteral("fromCloudLogin"), QStringLiteral("account"), QStringLiteral("/signin"), QString()).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Sign in Vellora X")).size(), 1, 20000);
    run(m_build + QStringLiteral("/vellora-launcher"), {QStringLiteral("event"), QStringLiteral("2")});
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Sign in Vellora X")).size(), 0, 10000);
    QTest::qWait(300);
    QCOMPARE(m_messages.size(), 1);
}

void StoreWindowTest::fileEventsReachTheRightWindows()
{
    // The primary started by hand, to see its exit code.
    QFile request(VLauncher::instance()->requestDir() + QStringLiteral("by-hand.json"));
    QVERIFY(QDir().mkpath(VLauncher::instance()->requestDir()));
    QVERIFY(request.open(QIODevice::WriteOnly));
    request.write(QStringLiteral(R"({"type":"-tradory=","package_name":"shop","cloud_app_url":"%1","game_name":"Shop"})")
                      .arg(m_server.url(QStringLiteral("/store")).toString()).toUtf8());
    request.close();
    QProcess primary;
    primary.start(m_build + QStringLiteral("/tradory"), {QStringLiteral("by-hand.json")});
    QVERIFY(primary.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Shop")).size(), 1, 20000);
    QVERIFY(!open(QStringLiteral("login"), QStringLiteral("account"), QStringLiteral("/signin"), QString()).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Sign in Vellora X")).size(), 1, 20000);

    run(m_build + QStringLiteral("/vellora-launcher"), {QStringLiteral("event"), QStringLiteral("2")});
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Sign in Vellora X")).size(), 0, 10000);
    QCOMPARE(windows(QStringLiteral("Shop")).size(), 1);

    run(m_build + QStringLiteral("/vellora-launcher"), {QStringLiteral("event"), QStringLiteral("0")});
    QVERIFY(primary.waitForFinished(15000));
    QCOMPARE(primary.exitStatus(), QProcess::NormalExit);
    QCOMPARE(primary.exitCode(), 0);
    // Leaving through the quit event closes no window: no "close" notice.
    QCOMPARE(m_messages, QStringList{QStringLiteral(R"(-tradory={"event":"open","oem":"","package_name":"shop"})")});
}

void StoreWindowTest::unknownSchemeGoesToLauncherAndClosesWindow()
{
    QVERIFY(!open(QStringLiteral("page"), QStringLiteral("links"), QStringLiteral("/scheme"), QStringLiteral("Links")).isEmpty());
    QVERIFY(waitForLog(QStringLiteral("load end")));
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Links")).size(), 1, 5000);
    const QStringList found = windows(QStringLiteral("Links"));
    QVERIFY(!found.isEmpty());
    // The page may take input a little after its load ended on a busy machine.
    for (int attempt = 0; attempt < 5 && m_messages.isEmpty(); ++attempt) {
        click(found.first(), 3 + 100, 50 + 100);
        waitForMessages(1, 2000);
    }
    QVERIFY(waitForMessages(1));
    QCOMPARE(m_messages, QStringList{QStringLiteral("-showMainwindow")});
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Links")).size(), 0, 10000);
}

void StoreWindowTest::signInProviderPageIsReportedOnce()
{
    const QString provider = QStringLiteral("/signin?continue=https://accounts.google.com/o/oauth2/v2/auth");
    QVERIFY(!open(QStringLiteral("fromCloudLogin"), QStringLiteral("cloud"), provider, QString()).isEmpty());
    QVERIFY(waitForMessages(1));
    QCOMPARE(m_messages, QStringList{QStringLiteral("-loginPageShow")});
    QTest::qWait(500);
    QCOMPARE(m_messages.size(), 1);
}

QTEST_MAIN(StoreWindowTest)
#include "tst_storewindow.moc"
