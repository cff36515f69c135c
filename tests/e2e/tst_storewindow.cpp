// The program end to end, driven only from outside as the launcher drives
// it: request files and starts through vellora-launcher, its listener for
// the messages, file events, and real clicks on the X display.
#include "programdriver.h"
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
    QString open(const QString &type, const QString &package, const QString &path, const QString &game)
    {
        return m_driver->open(type, package, m_server.url(path).toString(), game);
    }
    static QStringList windows(const QString &title) { return ProgramDriver::windows(title); }
    static QRect geometry(const QString &window) { return ProgramDriver::geometry(window); }
    static void click(const QString &window, int x, int y) { ProgramDriver::click(geometry(window).topLeft() + QPoint(x, y)); }
    void clickCloseButton(const QString &window);
    bool waitForLog(const QString &text, int count = 1) { return m_driver->waitForLog(text, count); }
    int logCount(const QString &text) const { return m_driver->logText().count(text); }
    bool waitForMessages(int count, int timeoutMs = 10000) { return m_driver->waitForMessages(count, timeoutMs); }
    QStringList messages() const { return m_driver->messages(); }
    bool primaryRuns() const { return m_driver->primaryRuns(); }

    TestEnvironment *m_env = nullptr;
    ProgramDriver *m_driver = nullptr;
    TestHttpServer m_server;
    QString m_build;
};

void StoreWindowTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=e2e-launcher\n37=e2e-store\n38=e2e-instance\n"));
    m_build = TestEnvironment::buildDir();
    m_driver = new ProgramDriver(*m_env, QStringLiteral("e2e-instance"), this);
    QVERIFY(m_server.start());
    m_server.route("/store", "<html><head><title>Store page</title></head><body>store</body></html>");
    m_server.route("/other", "<html><head><title>Other page</title></head><body>other</body></html>");
    m_server.route("/scheme", "<html><body style='margin:0'><a id='go' href='vellora://library/open' "
                              "style='display:block;width:400px;height:300px;background:#ccc'>launcher</a></body></html>");
    m_server.route("/signin", "<html><head><title>Sign in</title></head><body>provider</body></html>");
    QVERIFY(m_driver->startListening());
}

void StoreWindowTest::cleanupTestCase()
{
    delete m_driver;
    m_driver = nullptr;
    delete m_env;
}

void StoreWindowTest::cleanup()
{
    // Gone for good, windows and helpers too, before the next test starts one.
    QVERIFY(m_driver->endProgram());
    m_driver->clearMessages();
    QFile::remove(VLauncher::instance()->productDir() + QStringLiteral("/logs/tradory.log"));
}

void StoreWindowTest::clickCloseButton(const QString &window)
{
    // The last of the title bar's 40-pixel buttons, in the 50-pixel title strip.
    click(window, geometry(window).width() - 11 - 20, 25);
}

void StoreWindowTest::storeWindowReportsOpenAndClose()
{
    QVERIFY(!open(QStringLiteral("-tradory="), QStringLiteral("y"), QStringLiteral("/store"), QStringLiteral("Store")).isEmpty());
    QVERIFY(waitForMessages(1));
    QCOMPARE(messages().first(), QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"y"})"));
    QVERIFY(waitForLog(QStringLiteral("load end")));
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Store")).size(), 1, 5000);
    const QStringList found = windows(QStringLiteral("Store"));
    QVERIFY(!found.isEmpty());
    // An application window to window managers and panels: no dialog, no
    // transient of some other window.
    const QString properties = ProgramDriver::run(QStringLiteral("xprop"), {QStringLiteral("-id"), found.first(),
                                                  QStringLiteral("_NET_WM_WINDOW_TYPE"), QStringLiteral("WM_TRANSIENT_FOR")});
    QVERIFY2(properties.contains(QLatin1String("_NET_WM_WINDOW_TYPE_NORMAL")), qPrintable(properties));
    QVERIFY2(!properties.contains(QLatin1String("_NET_WM_WINDOW_TYPE_DIALOG")), qPrintable(properties));
    QVERIFY2(properties.contains(QLatin1String("WM_TRANSIENT_FOR:  not found")), qPrintable(properties));

    clickCloseButton(found.first());
    QVERIFY(waitForMessages(2));
    QCOMPARE(messages().at(1), QStringLiteral(R"(-tradory={"event":"close","oem":"acme","package_name":"y"})"));
    // The last window gone, the program ends by itself.
    QVERIFY(QTest::qWaitFor([this]() { return !primaryRuns(); }, 10000));
    QCOMPARE(messages().size(), 2);
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
    const QRect first = geometry(windows(QStringLiteral("First")).first());
    const QRect second = geometry(windows(QStringLiteral("Second")).first());
    QCOMPARE(second.x() - first.x(), 30);
    QCOMPARE(second.y() - first.y(), 30);
    QCOMPARE(second.width(), first.width());
    // Plain pages send no store notices.
    QTest::qWait(300);
    QCOMPARE(messages(), QStringList());
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
    QCOMPARE(messages(), QStringList{QStringLiteral("-closeLogin")});

    QVERIFY(!open(QStringLiteral("fromCloudLogin"), QStringLiteral("account"), QStringLiteral("/signin"), QString()).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Sign in Vellora X")).size(), 1, 20000);
    m_driver->fireEvent(2);
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Sign in Vellora X")).size(), 0, 10000);
    QTest::qWait(300);
    QCOMPARE(messages().size(), 1);
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

    m_driver->fireEvent(2);
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Sign in Vellora X")).size(), 0, 10000);
    QCOMPARE(windows(QStringLiteral("Shop")).size(), 1);

    m_driver->fireEvent(0);
    QVERIFY(primary.waitForFinished(15000));
    QCOMPARE(primary.exitStatus(), QProcess::NormalExit);
    QCOMPARE(primary.exitCode(), 0);
    // Leaving through the quit event closes no window: no "close" notice.
    QCOMPARE(messages(), QStringList{QStringLiteral(R"(-tradory={"event":"open","oem":"","package_name":"shop"})")});
}

void StoreWindowTest::unknownSchemeGoesToLauncherAndClosesWindow()
{
    QVERIFY(!open(QStringLiteral("page"), QStringLiteral("links"), QStringLiteral("/scheme"), QStringLiteral("Links")).isEmpty());
    QVERIFY(waitForLog(QStringLiteral("load end")));
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Links")).size(), 1, 5000);
    const QStringList found = windows(QStringLiteral("Links"));
    QVERIFY(!found.isEmpty());
    // The page may take input a little after its load ended on a busy machine.
    for (int attempt = 0; attempt < 5 && messages().isEmpty(); ++attempt) {
        click(found.first(), 3 + 100, 50 + 100);
        waitForMessages(1, 2000);
    }
    QVERIFY(waitForMessages(1));
    QCOMPARE(messages(), QStringList{QStringLiteral("-showMainwindow")});
    QTRY_COMPARE_WITH_TIMEOUT(windows(QStringLiteral("Links")).size(), 0, 10000);
}

void StoreWindowTest::signInProviderPageIsReportedOnce()
{
    const QString provider = QStringLiteral("/signin?continue=https://accounts.google.com/o/oauth2/v2/auth");
    QVERIFY(!open(QStringLiteral("fromCloudLogin"), QStringLiteral("cloud"), provider, QString()).isEmpty());
    QVERIFY(waitForMessages(1));
    QCOMPARE(messages(), QStringList{QStringLiteral("-loginPageShow")});
    QTest::qWait(500);
    QCOMPARE(messages().size(), 1);
}

QTEST_MAIN(StoreWindowTest)
#include "tst_storewindow.moc"
