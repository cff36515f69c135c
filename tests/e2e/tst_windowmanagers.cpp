// The store window under real X11 window managers, each one data row:
// openbox, mutter in its X11 mode and xfwm4 without its compositor, started
// on the test's own X server. Everything is done with real input (xdotool):
// the frameless title bar moves the window and its edges resize it, maximise
// follows double-clicks, the button and the manager itself, minimise and a
// new request bring the window back, raising, cascading and closing, the
// page's fullscreen, and page clicks right after a move.
#include "edgedrag.h"
#include "programdriver.h"
#include "testenvironment.h"
#include "testhttpserver.h"
#include "vlauncher.h"
#include "windowmanager.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

namespace {

// The title bar is 50 pixels high; its buttons are 40 wide, from the right
// after an 11-pixel margin: close, maximise, minimise.
QPoint titleButton(const QRect &frame, int fromRight)
{
    return QPoint(frame.right() + 1 - 11 - 40 * fromRight - 20, frame.top() + 25);
}
QPoint closeButton(const QRect &frame) { return titleButton(frame, 0); }
QPoint maximizeButton(const QRect &frame) { return titleButton(frame, 1); }
QPoint minimizeButton(const QRect &frame) { return titleButton(frame, 2); }
// Title strip with neither icon nor button under it.
QPoint titleStrip(const QRect &frame) { return frame.topLeft() + QPoint(300, 25); }
// The page starts below the title bar, inside the browser's 3-pixel margin.
QPoint fullscreenButton(const QRect &frame) { return frame.topLeft() + QPoint(3 + 150, 50 + 100); }
QPoint goButton(const QRect &frame) { return frame.topLeft() + QPoint(3 + 450, 50 + 100); }

const char buttonsPage[] =
    "<html><head><title>Buttons</title></head><body style='margin:0;background:#334'>"
    "<button style='position:absolute;left:0;top:0;width:300px;height:200px'"
    " onclick='document.documentElement.requestFullscreen()'>full</button>"
    "<button style='position:absolute;left:300px;top:0;width:300px;height:200px'"
    " onclick=\"location.href='/landed'\">go</button>"
    "<form action='/typed' style='position:absolute;left:0;top:220px'><input name='q' autofocus onfocus=\"fetch('/focused')\"></form>"
    "<script>document.addEventListener('fullscreenchange', function() {"
    " fetch(document.fullscreenElement ? '/entered' : '/left'); });</script>"
    "</body></html>";

} // namespace

class WindowManagersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void titleBarMovesAndEdgesResize_data() { managers(); }
    void titleBarMovesAndEdgesResize();
    void maximiseFollowsButtonTitleAndManager_data() { managers(); }
    void maximiseFollowsButtonTitleAndManager();
    void minimisedRaisedCascadedAndClosed_data() { managers(); }
    void minimisedRaisedCascadedAndClosed();
    void pageFullscreenAndClicksAfterAMove_data() { managers(); }
    void pageFullscreenAndClicksAfterAMove();

private:
    static void managers();
    QString openStore(const QString &package, const QString &game);
    static QRect geometry(const QString &window) { return ProgramDriver::geometry(window); }
    static QRect settledGeometry(const QString &window);
    static bool waitForGeometry(const QString &window, const QRect &expected);
    static QString state(const QString &window) { return ProgramDriver::windowProperty(window, QStringLiteral("_NET_WM_STATE")); }
    static bool isMaximised(const QString &window);
    static bool isFullscreen(const QString &window);
    // Requests for path since this test function started.
    int requests(const QByteArray &path) const { return m_server.requestCount(path) - m_requestsBefore.value(path); }
    bool clickPageUntilRequested(const QPoint &at, const QByteArray &path, int count);
    QString startOtherProgram();
    void screenshot(const QString &what);

    TestEnvironment *m_env = nullptr;
    ProgramDriver *m_driver = nullptr;
    WindowManager *m_manager = nullptr;
    QProcess m_other;
    TestHttpServer m_server;
    QRect m_screen;
    QHash<QByteArray, int> m_requestsBefore;
};

void WindowManagersTest::managers()
{
    QTest::addColumn<QString>("manager");
    for (const char *manager : {"openbox", "mutter", "xfwm4"})
        QTest::newRow(manager) << QString::fromLatin1(manager);
}

void WindowManagersTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=wm-launcher\n37=wm-store\n38=wm-instance\n"));
    m_driver = new ProgramDriver(*m_env, QStringLiteral("wm-instance"), this);
    m_manager = new WindowManager(this);
    QVERIFY(m_server.start());
    m_server.route("/buttons", buttonsPage);
    m_server.route("/landed", "<html><head><title>Landed</title></head><body>landed</body></html>");
    m_server.route("/entered", "");
    m_server.route("/left", "");
    m_server.route("/focused", "");
    m_server.route("/typed", "<html><head><title>Typed</title></head><body>typed</body></html>");
    QVERIFY(m_driver->startListening());
    const QStringList size = ProgramDriver::run(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")})
                                 .split(QLatin1Char(' '));
    m_screen = QRect(0, 0, size.value(0).toInt(), size.value(1).toInt());
    QVERIFY(!m_screen.isEmpty());
}

void WindowManagersTest::cleanupTestCase()
{
    delete m_driver;
    m_driver = nullptr;
    delete m_env;
}

void WindowManagersTest::init()
{
    QFETCH(QString, manager);
    if (!WindowManager::isInstalled(manager))
        QSKIP(qPrintable(manager + QStringLiteral(" is not installed (scripts/setup installs it)")));
    QVERIFY2(m_manager->start(manager), qPrintable(manager + QStringLiteral(" did not take the display")));
    for (const QByteArray &path : {QByteArrayLiteral("/entered"), QByteArrayLiteral("/left"), QByteArrayLiteral("/landed"),
                                   QByteArrayLiteral("/typed"), QByteArrayLiteral("/focused")})
        m_requestsBefore.insert(path, m_server.requestCount(path));
}

void WindowManagersTest::cleanup()
{
    QVERIFY(m_driver->endProgram());
    if (m_other.state() != QProcess::NotRunning) {
        m_other.terminate();
        m_other.waitForFinished(5000);
    }
    m_manager->stop();
    m_driver->clearMessages();
    QFile::remove(VLauncher::instance()->productDir() + QStringLiteral("/logs/tradory.log"));
}

QString WindowManagersTest::openStore(const QString &package, const QString &game)
{
    const int loads = m_driver->logText().count(QLatin1String("load end"));
    if (m_driver->open(QStringLiteral("-tradory="), package, m_server.url(QStringLiteral("/buttons")).toString(), game).isEmpty())
        return QString();
    if (!m_driver->waitForLog(QStringLiteral("load end"), loads + 1))
        return QString();
    QStringList found;
    const bool shown = QTest::qWaitFor([&]() { return (found = ProgramDriver::windows(game)).size() == 1; }, 10000);
    return shown ? found.first() : QString();
}

QRect WindowManagersTest::settledGeometry(const QString &window)
{
    // Managers place and size a window a little after the request.
    QRect last = geometry(window);
    for (int attempt = 0; attempt < 20; ++attempt) {
        QTest::qWait(150);
        const QRect now = geometry(window);
        if (now == last)
            return now;
        last = now;
    }
    return last;
}

bool WindowManagersTest::waitForGeometry(const QString &window, const QRect &expected)
{
    return QTest::qWaitFor([&]() { return geometry(window) == expected; }, 5000);
}

bool WindowManagersTest::isMaximised(const QString &window)
{
    const QString now = state(window);
    return now.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_VERT"))
        && now.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_HORZ"));
}

bool WindowManagersTest::isFullscreen(const QString &window)
{
    return state(window).contains(QLatin1String("_NET_WM_STATE_FULLSCREEN"));
}

bool WindowManagersTest::clickPageUntilRequested(const QPoint &at, const QByteArray &path, int count)
{
    // A page may take input a little after its load ended on a busy machine.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (requests(path) >= count)
            return true;
        ProgramDriver::click(at);
        if (QTest::qWaitFor([&]() { return requests(path) >= count; }, 2000))
            return true;
    }
    return false;
}

QString WindowManagersTest::startOtherProgram()
{
    // Another program's window over the store windows, as the launcher's is.
    m_other.start(QStringLiteral("xmessage"), {QStringLiteral("-name"), QStringLiteral("other"), QStringLiteral("-geometry"),
                                               QStringLiteral("900x700+60+60"), QStringLiteral("another program")});
    QStringList found;
    const bool shown = QTest::qWaitFor([&]() { return (found = ProgramDriver::windows(QStringLiteral("other"))).size() == 1; }, 10000);
    return shown ? found.first() : QString();
}

void WindowManagersTest::screenshot(const QString &what)
{
    const QString path = TestEnvironment::buildDir()
        + QStringLiteral("/shots/windowmanagers-%1-%2.png").arg(m_manager->name(), what);
    QDir().mkpath(QFileInfo(path).path());
    // The page draws at a new size a moment after the window has it.
    QTest::qWait(700);
    ProgramDriver::run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
}

void WindowManagersTest::titleBarMovesAndEdgesResize()
{
    const QString window = openStore(QStringLiteral("moves"), QStringLiteral("Moves"));
    QVERIFY(!window.isEmpty());
    const QRect start = settledGeometry(window);

    // The manager's move begins after the drag's first small step.
    const QPoint grab = titleStrip(start);
    ProgramDriver::drag(grab, grab + QPoint(60, 40));
    const QRect moved = settledGeometry(window);
    const QPoint by = moved.topLeft() - start.topLeft();
    QVERIFY2(qAbs(by.x() - 60) <= 4 && qAbs(by.y() - 40) <= 4 && moved.size() == start.size(),
             qPrintable(describe(start) + QStringLiteral(" -> ") + describe(moved)));

    const EdgeDrag cases[] = {
        {"right", Qt::RightEdge, {50, 0}},
        {"bottom", Qt::BottomEdge, {0, 40}},
        {"left", Qt::LeftEdge, {-40, 0}},
        {"top", Qt::TopEdge, {0, -30}},
        {"bottom-right", Qt::BottomEdge | Qt::RightEdge, {-60, -40}},
        {"top-left", Qt::TopEdge | Qt::LeftEdge, {30, 20}},
        {"top-right", Qt::TopEdge | Qt::RightEdge, {40, -20}},
        {"bottom-left", Qt::BottomEdge | Qt::LeftEdge, {-30, 30}},
    };
    for (const EdgeDrag &edge : cases) {
        const QRect before = settledGeometry(window);
        const QPoint press = edge.pressPoint(before);
        const QPoint release = press + edge.delta;
        ProgramDriver::drag(press, release);
        const QRect after = settledGeometry(window);
        // The dragged sides end under the pointer, the others stay put.
        const QString mismatch = edge.mismatch(before, after, release, 2);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }
    screenshot(QStringLiteral("resized"));
}

void WindowManagersTest::maximiseFollowsButtonTitleAndManager()
{
    const QString window = openStore(QStringLiteral("max"), QStringLiteral("Max"));
    QVERIFY(!window.isEmpty());
    // An application window: the manager offers to maximise it.
    const QString allowed = ProgramDriver::windowProperty(window, QStringLiteral("_NET_WM_ALLOWED_ACTIONS"));
    QVERIFY2(allowed.contains(QLatin1String("_NET_WM_ACTION_MAXIMIZE_HORZ"))
                 && allowed.contains(QLatin1String("_NET_WM_ACTION_MAXIMIZE_VERT")),
             qPrintable(allowed));
    const QRect normal = settledGeometry(window);
    const auto maximised = [&]() { return isMaximised(window) && geometry(window) == m_screen; };
    const auto restored = [&]() { return !isMaximised(window) && geometry(window) == normal; };

    ProgramDriver::doubleClick(titleStrip(normal));
    QVERIFY2(QTest::qWaitFor(maximised, 5000), qPrintable(describe(geometry(window)) + QLatin1Char(' ') + state(window)));
    ProgramDriver::doubleClick(titleStrip(m_screen));
    QVERIFY2(QTest::qWaitFor(restored, 5000), qPrintable(describe(geometry(window)) + QLatin1Char(' ') + state(window)));

    ProgramDriver::click(maximizeButton(normal));
    QVERIFY2(QTest::qWaitFor(maximised, 5000), qPrintable(describe(geometry(window)) + QLatin1Char(' ') + state(window)));
    screenshot(QStringLiteral("maximised"));
    ProgramDriver::click(maximizeButton(m_screen));
    QVERIFY2(QTest::qWaitFor(restored, 5000), qPrintable(describe(geometry(window)) + QLatin1Char(' ') + state(window)));

    // Maximised by the manager on its own, the button offers to restore:
    // one click brings the normal size back.
    ProgramDriver::run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-r"), window, QStringLiteral("-b"),
                                                  QStringLiteral("add,maximized_vert,maximized_horz")});
    QVERIFY2(QTest::qWaitFor(maximised, 5000), qPrintable(describe(geometry(window)) + QLatin1Char(' ') + state(window)));
    QTest::qWait(300);
    ProgramDriver::click(maximizeButton(m_screen));
    QVERIFY2(QTest::qWaitFor(restored, 5000), qPrintable(describe(geometry(window)) + QLatin1Char(' ') + state(window)));
}

void WindowManagersTest::minimisedRaisedCascadedAndClosed()
{
    const QString first = openStore(QStringLiteral("first"), QStringLiteral("First"));
    QVERIFY(!first.isEmpty());
    const QRect normal = settledGeometry(first);
    const QString url = m_server.url(QStringLiteral("/buttons")).toString();
    // A new window's page takes typing without a click into it first: once
    // its field has the focus (the page moves it there after loading, and
    // keys typed before that land on the page's body, as in any browser).
    QTRY_VERIFY_WITH_TIMEOUT(requests("/focused") >= 1, 10000);
    ProgramDriver::typeText(QStringLiteral("fresh"));
    ProgramDriver::typeKey(QStringLiteral("Return"));
    QTRY_COMPARE_WITH_TIMEOUT(requests("/typed"), 1, 5000);
    QCOMPARE(m_server.lastRequest("/typed").path, QByteArray("/typed?q=fresh"));

    ProgramDriver::click(minimizeButton(normal));
    // mutter keeps a minimised window mapped: the manager's word is what counts.
    QVERIFY(QTest::qWaitFor([&]() { return ProgramDriver::windowProperty(first, QStringLiteral("WM_STATE")).contains(QLatin1String("Iconic")); }, 5000));
    QVERIFY(state(first).contains(QLatin1String("_NET_WM_STATE_HIDDEN")));
    // Asked for again, it is mapped, where it was, and has the focus.
    QVERIFY(!m_driver->open(QStringLiteral("-tradory="), QStringLiteral("first"), url, QStringLiteral("First")).isEmpty());
    QVERIFY2(QTest::qWaitFor([&]() { return ProgramDriver::activeWindow() == first; }, 5000),
             qPrintable(ProgramDriver::activeWindow()));
    QCOMPARE(ProgramDriver::windows(QStringLiteral("First")), QStringList{first});
    QVERIFY(ProgramDriver::windowProperty(first, QStringLiteral("WM_STATE")).contains(QLatin1String("Normal")));
    QVERIFY(!state(first).contains(QLatin1String("_NET_WM_STATE_HIDDEN")));
    QCOMPARE(settledGeometry(first), normal);

    const QString second = openStore(QStringLiteral("second"), QStringLiteral("Second"));
    QVERIFY(!second.isEmpty());
    QCOMPARE(settledGeometry(second).topLeft() - normal.topLeft(), QPoint(30, 30));
    QVERIFY(QTest::qWaitFor([&]() { return ProgramDriver::activeWindow() == second; }, 5000));

    // Behind the second and behind another program's window that was
    // clicked last, the first comes to the top with the focus.
    const QString other = startOtherProgram();
    QVERIFY(!other.isEmpty());
    ProgramDriver::click(QPoint(100, 120));
    QVERIFY(QTest::qWaitFor([&]() { return ProgramDriver::activeWindow() == other; }, 5000));
    QVERIFY(!m_driver->open(QStringLiteral("-tradory="), QStringLiteral("first"), url, QStringLiteral("First")).isEmpty());
    QVERIFY2(QTest::qWaitFor([&]() { return ProgramDriver::activeWindow() == first && ProgramDriver::topWindow() == first; }, 5000),
             qPrintable(ProgramDriver::activeWindow() + QLatin1Char(' ') + ProgramDriver::topWindow()));
    screenshot(QStringLiteral("raised"));

    ProgramDriver::click(closeButton(normal));
    QVERIFY(QTest::qWaitFor([&]() { return ProgramDriver::windows(QStringLiteral("First")).isEmpty(); }, 5000));
    QVERIFY(m_driver->waitForMessages(3));
    QTest::qWait(300);
    QCOMPARE(m_driver->messages(),
             (QStringList{QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"first"})"),
                          QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"second"})"),
                          QStringLiteral(R"(-tradory={"event":"close","oem":"acme","package_name":"first"})")}));
    QCOMPARE(ProgramDriver::windows(QStringLiteral("Second")), QStringList{second});

    // Asked for right after the top window closed, the other one comes to
    // the front with the focus, although the program has had no input since
    // the click that closed the first.
    QVERIFY(!m_driver->open(QStringLiteral("-tradory="), QStringLiteral("second"), url, QStringLiteral("Second")).isEmpty());
    QVERIFY2(QTest::qWaitFor([&]() { return ProgramDriver::activeWindow() == second && ProgramDriver::topWindow() == second; }, 5000),
             qPrintable(QStringLiteral("active %1, top %2, second %3, %4")
                            .arg(ProgramDriver::activeWindow(), ProgramDriver::topWindow(), second, state(second))));

    // The manager's own close key ends up in the window's close handling.
    ProgramDriver::typeKey(QStringLiteral("alt+F4"));
    QVERIFY2(m_driver->waitForMessages(4, 5000), qPrintable(m_driver->messages().join(QLatin1Char('\n'))));
    QCOMPARE(m_driver->messages().value(3), QStringLiteral(R"(-tradory={"event":"close","oem":"acme","package_name":"second"})"));
}

void WindowManagersTest::pageFullscreenAndClicksAfterAMove()
{
    const QString window = openStore(QStringLiteral("page"), QStringLiteral("Page"));
    QVERIFY(!window.isEmpty());
    const QRect normal = settledGeometry(window);
    const auto fullscreen = [&]() { return isFullscreen(window) && geometry(window) == m_screen; };
    const auto windowed = [&]() { return !isFullscreen(window) && geometry(window) == normal; };

    QVERIFY(clickPageUntilRequested(fullscreenButton(normal), "/entered", 1));
    QVERIFY2(QTest::qWaitFor(fullscreen, 5000), qPrintable(describe(geometry(window)) + QLatin1Char(' ') + state(window)));
    screenshot(QStringLiteral("fullscreen"));
    ProgramDriver::typeKey(QStringLiteral("Escape"));
    QVERIFY2(QTest::qWaitFor(windowed, 5000), qPrintable(describe(geometry(window)) + QLatin1Char(' ') + state(window)));
    QTRY_COMPARE_WITH_TIMEOUT(requests("/left"), 1, 5000);

    // A new request for the package takes the window out of fullscreen; the
    // page leaves it too, so the title bar is there again to use.
    QVERIFY(clickPageUntilRequested(fullscreenButton(normal), "/entered", 2));
    QVERIFY(QTest::qWaitFor(fullscreen, 5000));
    QVERIFY(!m_driver->open(QStringLiteral("-tradory="), QStringLiteral("page"), m_server.url(QStringLiteral("/buttons")).toString(),
                            QStringLiteral("Page")).isEmpty());
    QVERIFY2(QTest::qWaitFor(windowed, 5000), qPrintable(describe(geometry(window)) + QLatin1Char(' ') + state(window)));
    QTRY_COMPARE_WITH_TIMEOUT(requests("/left"), 2, 5000);
    ProgramDriver::click(maximizeButton(normal));
    QVERIFY2(QTest::qWaitFor([&]() { return isMaximised(window); }, 5000), qPrintable(state(window)));
    ProgramDriver::click(maximizeButton(m_screen));
    QVERIFY(QTest::qWaitFor(windowed, 5000));

    // Right after a move by the title bar, one click reaches the page.
    const QPoint grab = titleStrip(normal);
    ProgramDriver::drag(grab, grab + QPoint(40, 30));
    const QRect moved = settledGeometry(window);
    QVERIFY(moved.topLeft() != normal.topLeft());
    ProgramDriver::click(goButton(moved));
    QTRY_COMPARE_WITH_TIMEOUT(requests("/landed"), 1, 5000);
    QVERIFY(m_driver->waitForLog(QStringLiteral("load end, url: \"%1\"").arg(m_server.url(QStringLiteral("/landed")).toString())));
}

QTEST_GUILESS_MAIN(WindowManagersTest)
#include "tst_windowmanagers.moc"
