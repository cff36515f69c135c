// The built program on a Wayland compositor (weston's headless backend with
// its pixman renderer), natively through qtwayland: it opens the shop and a
// second package, draws the page (screenshot through weston's own
// screenshooter), shows a page's alert, asks the compositor for nothing it
// refuses, and ends on file event 0.
#include "programdriver.h"
#include "testenvironment.h"
#include "testhttpserver.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class WaylandTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void windowsOpenDrawAndQuitWithoutRefusedRequests();

private:
    QImage screenshot();

    TestEnvironment *m_env = nullptr;
    QProcess m_weston;
    QString m_socket;
};

void WaylandTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("weston")).isEmpty()
        || !QFileInfo::exists(QStringLiteral("/usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so")))
        QSKIP("needs weston and qtwayland5 (scripts/setup installs both)");
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=wl-launcher\n37=wl-store\n38=wl-instance\n[Language]\ncurrent=en\n"));
    m_socket = QStringLiteral("tradory-test-%1").arg(QCoreApplication::applicationPid());
    // The compositor's and the program's sockets live in the test's runtime
    // folder, which the environment has already put in XDG_RUNTIME_DIR.
    m_weston.setProcessChannelMode(QProcess::MergedChannels);
    m_weston.start(QStringLiteral("weston"),
                   {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                    QStringLiteral("--socket=") + m_socket, QStringLiteral("--idle-time=0"), QStringLiteral("--width=1280"),
                    QStringLiteral("--height=1024"), QStringLiteral("--debug")});
    QVERIFY(m_weston.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_env->runtimeDir() + QLatin1Char('/') + m_socket), 10000);
    // Programs started from here (the launcher tool, and through it the
    // program) talk Wayland to this compositor only.
    qputenv("WAYLAND_DISPLAY", m_socket.toUtf8());
    qputenv("QT_QPA_PLATFORM", "wayland");
    qunsetenv("DISPLAY");
}

void WaylandTest::cleanupTestCase()
{
    if (m_weston.state() != QProcess::NotRunning) {
        m_weston.terminate();
        if (!m_weston.waitForFinished(5000))
            m_weston.kill();
    }
    delete m_env;
}

QImage WaylandTest::screenshot()
{
    QTemporaryDir folder;
    QProcess shooter;
    shooter.setWorkingDirectory(folder.path());
    shooter.start(QStringLiteral("weston-screenshooter"), QStringList());
    if (!shooter.waitForFinished(10000)) {
        shooter.kill();
        return QImage();
    }
    const QStringList shots = QDir(folder.path()).entryList({QStringLiteral("*.png")});
    return shots.isEmpty() ? QImage() : QImage(folder.filePath(shots.first()));
}

void WaylandTest::windowsOpenDrawAndQuitWithoutRefusedRequests()
{
    ProgramDriver driver(*m_env, QStringLiteral("wl-instance"));
    QVERIFY(driver.startListening());
    const QString demo = QUrl::fromLocalFile(TestEnvironment::buildDir() + QStringLiteral("/www/demo/index.html")).toString();
    QVERIFY(!driver.open(QStringLiteral("-tradory="), QStringLiteral("wl.first"), demo, QStringLiteral("First")).isEmpty());
    QVERIFY2(driver.waitForLog(QStringLiteral("load end")), qPrintable(driver.logText()));
    QVERIFY(!driver.open(QStringLiteral("-tradory="), QStringLiteral("wl.second"), demo, QStringLiteral("Second")).isEmpty());
    QVERIFY2(driver.waitForLog(QStringLiteral("load end"), 2), qPrintable(driver.logText()));
    QVERIFY(driver.waitForMessages(2));
    QCOMPARE(driver.messages(),
             (QStringList{QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"wl.first"})"),
                          QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"wl.second"})")}));
    // Re-requesting the first raises it where X11 would; Wayland has no such
    // request, so it is not asked.
    QVERIFY(!driver.open(QStringLiteral("-tradory="), QStringLiteral("wl.first"), demo, QStringLiteral("First")).isEmpty());
    QVERIFY(driver.waitForLog(QStringLiteral("Tradory window showNormal"), 3));
    QTest::qWait(2000);

    const QImage shot = screenshot();
    QVERIFY2(!shot.isNull(), "weston-screenshooter gave no picture");
    const QString shotPath = TestEnvironment::buildDir() + QStringLiteral("/shots/wayland-weston.png");
    QDir().mkpath(QFileInfo(shotPath).path());
    shot.save(shotPath);
    // The demo shop's page background fills a good part of the screen: the
    // pages are drawn, not left white under the loading overlay.
    int page = 0, all = 0;
    for (int y = 0; y < shot.height(); y += 4) {
        for (int x = 0; x < shot.width(); x += 4, ++all)
            page += (shot.pixel(x, y) & 0xFFFFFF) == 0x1B1E2C;
    }
    QVERIFY2(page > all / 20, qPrintable(QStringLiteral("%1 of %2 page pixels, see %3").arg(page).arg(all).arg(shotPath)));

    // A page's alert comes up in front of its window where X11 would be asked
    // to raise it; here the compositor places and focuses it unasked.
    TestHttpServer server;
    QVERIFY(server.start());
    server.route("/alert", "<html><head><title>Alert</title></head><body><script>setTimeout(function () {"
                           " console.warn('alert coming'); alert('Your order is ready'); }, 0);</script></body></html>");
    QVERIFY(!driver.open(QStringLiteral("-tradory="), QStringLiteral("wl.alert"), server.url(QStringLiteral("/alert")).toString(),
                         QStringLiteral("Alert"))
                 .isEmpty());
    QVERIFY2(driver.waitForLog(QStringLiteral("alert coming")), qPrintable(driver.logText()));
    QTest::qWait(1000);

    driver.fireEvent(0);
    QTRY_COMPARE_WITH_TIMEOUT(driver.programProcesses(), 0, 15000);
    const QString log = driver.logText();
    QVERIFY2(!log.contains(QLatin1String("does not support")), qPrintable(log));
    QVERIFY2(!log.contains(QLatin1String("qt.qpa.wayland")), qPrintable(log));
}

QTEST_GUILESS_MAIN(WaylandTest)
#include "tst_wayland.moc"
