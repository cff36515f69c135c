// The store window on wlroots compositors with real pointer input: sway
// (headless, every window floating) and, as a second run of this binary with
// TRADORY_COMPOSITOR=cage, cage, which shows every window maximised and has no
// virtual pointer. The built program is driven through the launcher tool and
// the test tree's virtual pointer: a title-bar drag moves the window, its
// edges resize it through the compositor, the title buttons do what the
// compositor lets them, a second package opens, the page is drawn with no
// loading overlay left over it, file event 0 ends it, and nothing it asks
// for is refused ("does not support"). In-process, a store window's maximise
// button shows the state the compositor gave, not the one asked for.
#include "cefwidget.h"
#include "cloudgame.h"
#include "edgedrag.h"
#include "enginetesthelpers.h"
#include "enginetestmain.h"
#include "programdriver.h"
#include "startengine.h"
#include "testenvironment.h"
#include "testhttpserver.h"
#include "velpushbutton.h"
#include "virtualpointer.h"
#include "wlrootscompositor.h"

#include <QDir>
#include <QWindow>
#include <QtTest>

namespace {

// Set up in main(): Qt connects to the compositor when the application is
// made.
WlrootsCompositor *compositor = nullptr;
WlrootsCompositor::Kind compositorKind = WlrootsCompositor::Sway;

// The title bar is 50 pixels high; its buttons are 40 wide, from the right
// after an 11-pixel margin: close, maximise, minimise.
QPoint titleButton(const QRect &frame, int fromRight)
{
    return QPoint(frame.right() + 1 - 11 - 40 * fromRight - 20, frame.top() + 25);
}
QPoint titleStrip(const QRect &frame) { return frame.topLeft() + QPoint(300, 25); }

constexpr QRgb pageColour = 0x2A6F4E;
const char pageHtml[] = "<html><head><title>Plain</title></head>"
                        "<body style='margin:0;background:#2a6f4e'></body></html>";

} // namespace

class SwayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void maximiseButtonShowsTheStateTheCompositorGave();
    void titleBarMovesAndEdgesResize();
    void titleButtonsDoWhatTheCompositorAllows();
    void secondPackageDrawnWithoutOverlayAndQuitOnEvent0();

private:
    bool onSway() const { return compositorKind == WlrootsCompositor::Sway; }
    QRect openStore(const QString &package, const QString &game);
    QRect settledFrame(const QString &title) const;
    QImage screenshot(const QString &name) const;
    static double pageShare(const QImage &shot, const QRect &area);

    TestEnvironment *m_env = nullptr;
    ProgramDriver *m_driver = nullptr;
    VirtualPointer m_pointer;
    TestHttpServer m_server;
    QRect m_screen;
};

void SwayTest::initTestCase()
{
    if (!compositor || !compositor->isRunning())
        QSKIP("needs sway (or cage and Xwayland), grim and qtwayland5; scripts/setup installs them");
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=sw-launcher\n37=sw-store\n38=sw-instance\n[Language]\ncurrent=en\n"));
    m_driver = new ProgramDriver(*m_env, QStringLiteral("sw-instance"), this);
    QVERIFY(m_driver->startListening());
    QVERIFY(m_server.start());
    m_server.route("/plain", pageHtml);
    startEngine();
    // cage has no command socket: its one output fills the screenshot.
    m_screen = onSway() ? compositor->outputRect() : QRect(QPoint(0, 0), compositor->screenshot().size());
    QVERIFY(!m_screen.isEmpty());
    if (onSway())
        QVERIFY2(m_pointer.start(compositor->socketPath(), m_screen.size()), qPrintable(m_pointer.lastError()));
}

void SwayTest::cleanupTestCase()
{
    m_pointer.stop();
    if (m_driver)
        m_driver->endProgram();
    delete m_driver;
    m_driver = nullptr;
    shutdownEngine();
    delete m_env;
}

QRect SwayTest::settledFrame(const QString &title) const
{
    return ::settledFrame([&]() { return compositor->windowFrame(title); });
}

QRect SwayTest::openStore(const QString &package, const QString &game)
{
    const int loads = m_driver->logText().count(QLatin1String("load end"));
    if (m_driver->open(QStringLiteral("-tradory="), package, m_server.url(QStringLiteral("/plain")).toString(), game).isEmpty())
        return QRect();
    if (!m_driver->waitForLog(QStringLiteral("load end"), loads + 1))
        return QRect();
    if (!onSway())
        return m_screen;
    if (!QTest::qWaitFor([&]() { return !compositor->windowFrame(game).isNull(); }, 10000))
        return QRect();
    return settledFrame(game);
}

QImage SwayTest::screenshot(const QString &name) const
{
    // The page draws a moment after the window has its size.
    QTest::qWait(700);
    const QImage shot = compositor->screenshot();
    const QString path = TestEnvironment::buildDir()
        + QStringLiteral("/shots/%1-%2.png").arg(onSway() ? QStringLiteral("sway") : QStringLiteral("cage"), name);
    QDir().mkpath(QFileInfo(path).path());
    shot.save(path);
    return shot;
}

double SwayTest::pageShare(const QImage &shot, const QRect &area)
{
    int page = 0, all = 0;
    const QRect inside = area & shot.rect();
    for (int y = inside.top(); y <= inside.bottom(); y += 2) {
        for (int x = inside.left(); x <= inside.right(); x += 2, ++all)
            page += (shot.pixel(x, y) & 0xFFFFFF) == pageColour;
    }
    return all ? double(page) / all : 0.0;
}

void SwayTest::maximiseButtonShowsTheStateTheCompositorGave()
{
    LaunchRequest request;
    request.type = QStringLiteral("page");
    request.gameName = QStringLiteral("In process");
    request.url = QStringLiteral("about:blank");
    CloudGame window(request);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *maximise = window.findChild<VelPushButton *>(QStringLiteral("pushButton_max"));
    QVERIFY(maximise);
    const auto shows = [&](const QString &name, const char *image) {
        return maximise->accessibleName() == name && maximise->toolTip() == name
            && maximise->currentImage().endsWith(QLatin1String(image));
    };
    const auto label = [&]() { return maximise->accessibleName() + QLatin1Char(' ') + maximise->currentImage(); };
    // sway keeps floating windows as they are; cage shows every window
    // maximised and keeps it so.
    const QString kept = onSway() ? QStringLiteral("Maximize") : QStringLiteral("Restore");
    const char *keptImage = onSway() ? "/TitlebarMaximize.svg" : "/TitlebarRestore.svg";
    QVERIFY2(EngineTest::waitFor([&]() { return shows(kept, keptImage); }, 5000), qPrintable(label()));
    const QRect before = onSway() ? settledFrame(request.gameName) : QRect();

    maximise->click();
    // The request alone changes nothing: the compositor has not answered.
    QVERIFY2(shows(kept, keptImage), qPrintable(label()));
    EngineTest::settle(700);
    QVERIFY2(shows(kept, keptImage), qPrintable(label()));
    if (onSway())
        QCOMPARE(describe(compositor->windowFrame(request.gameName)), describe(before));

    // A double-click on the title asks the same.
    QTest::mouseDClick(&window, Qt::LeftButton, Qt::NoModifier, QPoint(300, 25));
    QVERIFY2(shows(kept, keptImage), qPrintable(label()));
    EngineTest::settle(700);
    QVERIFY2(shows(kept, keptImage), qPrintable(label()));
    if (onSway())
        QCOMPARE(describe(compositor->windowFrame(request.gameName)), describe(before));
}

void SwayTest::titleBarMovesAndEdgesResize()
{
    if (!onSway())
        QSKIP("cage has no virtual pointer and keeps windows maximised");
    const QRect start = openStore(QStringLiteral("sw.moves"), QStringLiteral("Moves"));
    QVERIFY(!start.isNull());

    // The compositor's move starts at the drag's first one-pixel step.
    const QPoint grab = titleStrip(start);
    QVERIFY2(m_pointer.drag(grab, grab + QPoint(120, 80)), qPrintable(m_pointer.lastError()));
    const QRect moved = settledFrame(QStringLiteral("Moves"));
    const QPoint by = moved.topLeft() - start.topLeft();
    QVERIFY2(qAbs(by.x() - 120) <= 3 && qAbs(by.y() - 80) <= 3 && moved.size() == start.size(),
             qPrintable(describe(start) + QStringLiteral(" -> ") + describe(moved)));

    const EdgeDrag cases[] = {
        {"left", Qt::LeftEdge, {-40, 0}},
        {"top", Qt::TopEdge, {0, -30}},
        {"right", Qt::RightEdge, {50, 0}},
        {"bottom", Qt::BottomEdge, {0, 40}},
        {"bottom-right", Qt::BottomEdge | Qt::RightEdge, {-60, -40}},
    };
    for (const EdgeDrag &edge : cases) {
        const QRect before = settledFrame(QStringLiteral("Moves"));
        const QPoint press = edge.pressPoint(before);
        const QPoint release = press + edge.delta;
        QVERIFY2(m_pointer.drag(press, release), qPrintable(m_pointer.lastError()));
        const QRect after = settledFrame(QStringLiteral("Moves"));
        // The dragged sides end under the pointer (the compositor's resize
        // begins a step late), the others stay put.
        const QString mismatch = edge.mismatch(before, after, release, 3);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }
    // The page follows the window's new size, with no overlay left over it.
    const QRect last = settledFrame(QStringLiteral("Moves"));
    const QImage shot = screenshot(QStringLiteral("resized"));
    const double share = pageShare(shot, last.adjusted(3, 50, -3, -3));
    QVERIFY2(share > 0.97, qPrintable(QStringLiteral("page colour on %1 of the body of %2").arg(share).arg(describe(last))));
}

void SwayTest::titleButtonsDoWhatTheCompositorAllows()
{
    if (!onSway())
        QSKIP("cage has no virtual pointer");
    const QRect frame = openStore(QStringLiteral("sw.buttons"), QStringLiteral("Buttons"));
    QVERIFY(!frame.isNull());
    QVERIFY(m_pointer.move(m_screen.bottomRight() - QPoint(5, 5)));
    const QImage idle = screenshot(QStringLiteral("buttons-idle"));
    const QRect buttons(titleButton(frame, 2) - QPoint(20, 20), titleButton(frame, 0) + QPoint(19, 19));

    // sway has no minimised windows and does not maximise floating ones: the
    // window stays as it was, and so do its buttons once the pointer is gone.
    for (int fromRight : {2, 1}) {
        QVERIFY2(m_pointer.click(titleButton(frame, fromRight)), qPrintable(m_pointer.lastError()));
        QVERIFY(m_pointer.move(m_screen.bottomRight() - QPoint(5, 5)));
        QCOMPARE(describe(settledFrame(QStringLiteral("Buttons"))), describe(frame));
        const QImage after = screenshot(QStringLiteral("buttons-after-%1").arg(fromRight));
        QVERIFY2(after.copy(buttons) == idle.copy(buttons),
                 qPrintable(QStringLiteral("title buttons changed after button %1, see shots/").arg(fromRight)));
    }
    QVERIFY(m_pointer.doubleClick(titleStrip(frame)));
    QCOMPARE(describe(settledFrame(QStringLiteral("Buttons"))), describe(frame));

    const int messages = m_driver->messages().size();
    QVERIFY2(m_pointer.click(titleButton(frame, 0)), qPrintable(m_pointer.lastError()));
    QVERIFY(QTest::qWaitFor([&]() { return !compositor->windowTitles().contains(QStringLiteral("Buttons")); }, 5000));
    QVERIFY(m_driver->waitForMessages(messages + 1));
    QCOMPARE(m_driver->messages().last(),
             QStringLiteral(R"(-tradory={"event":"close","oem":"acme","package_name":"sw.buttons"})"));
}

void SwayTest::secondPackageDrawnWithoutOverlayAndQuitOnEvent0()
{
    const QRect first = openStore(QStringLiteral("sw.first"), QStringLiteral("First"));
    QVERIFY(!first.isNull());
    const QRect second = openStore(QStringLiteral("sw.second"), QStringLiteral("Second"));
    QVERIFY(!second.isNull());
    if (onSway()) {
        QVERIFY(compositor->windowTitles().contains(QStringLiteral("First")));
        QVERIFY(compositor->windowTitles().contains(QStringLiteral("Second")));
    }
    // A request for an open package shows that window again and asks the
    // compositor for nothing it refuses.
    const int shown = m_driver->logText().count(QLatin1String("Tradory window showNormal"));
    QVERIFY(!m_driver->open(QStringLiteral("-tradory="), QStringLiteral("sw.first"), m_server.url(QStringLiteral("/plain")).toString(),
                            QStringLiteral("First")).isEmpty());
    QVERIFY(m_driver->waitForLog(QStringLiteral("Tradory window showNormal"), shown + 1));

    // The top window's page fills its body: no patch of the loading overlay.
    const QRect top = onSway() ? settledFrame(QStringLiteral("First")) : m_screen;
    const QImage shot = screenshot(QStringLiteral("two-packages"));
    QVERIFY(!shot.isNull());
    const double share = pageShare(shot, top.adjusted(3, 50, -3, -3));
    QVERIFY2(share > 0.97, qPrintable(QStringLiteral("page colour on %1 of the body of %2").arg(share).arg(describe(top))));

    m_driver->fireEvent(0);
    QTRY_COMPARE_WITH_TIMEOUT(m_driver->programProcesses(), 0, 15000);
    const QString log = m_driver->logText();
    QVERIFY2(!log.contains(QLatin1String("does not support")), qPrintable(log));
    QVERIFY2(!log.contains(QLatin1String("qt.qpa.wayland")), qPrintable(log));
}

int main(int argc, char *argv[])
{
    if (isEngineSubProcess(argc, argv))
        return runEngineSubProcess(argc, argv);
    compositorKind = qgetenv("TRADORY_COMPOSITOR") == "cage" ? WlrootsCompositor::Cage : WlrootsCompositor::Sway;
    WlrootsCompositor wlroots;
    const bool waylandPlugin =
        QFileInfo::exists(QStringLiteral("/usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so"));
    if (waylandPlugin && WlrootsCompositor::isInstalled(compositorKind) && wlroots.start(compositorKind)) {
        compositor = &wlroots;
        // This process, the launcher tool and through it the program talk
        // to this compositor only.
        qputenv("WAYLAND_DISPLAY", QFile::encodeName(wlroots.socketPath()));
        qputenv("QT_QPA_PLATFORM", "wayland");
        qunsetenv("DISPLAY");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QApplication application(argc, argv);
    SwayTest test;
    const int failed = QTest::qExec(&test, argc, argv);
    if (failed && compositor)
        qInfo().noquote() << "compositor log:\n" << wlroots.logText().right(4000);
    return failed;
}

#include "tst_sway.moc"
