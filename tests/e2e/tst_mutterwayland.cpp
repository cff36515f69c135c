// The built program natively on mutter's Wayland compositor (headless, a
// 1280x1024 virtual monitor, no X), driven with real pointer input through
// mutter's remote-desktop interface: the title bar moves the window, a
// double-click and the maximise button maximise and restore it (each way
// round, so the button follows a state the title bar set and the other way
// round), a second package opens a second window, file event 0 ends the
// program, and nothing is asked of the compositor that it refuses. Where the
// windows are and what state they are in is mutter's word, from its log.
#include "edgedrag.h"
#include "mutterwayland.h"
#include "programdriver.h"
#include "testenvironment.h"

#include <QtTest>

namespace {

const QSize monitor(1280, 1024);

// The title bar is 50 pixels high; its buttons are 40 wide, from the right
// after an 11-pixel margin: close, maximise, minimise.
QPoint maximizeButton(const QRect &frame) { return QPoint(frame.right() + 1 - 11 - 40 - 20, frame.top() + 25); }
// Title strip with neither icon nor button under it.
QPoint titleStrip(const QRect &frame) { return frame.topLeft() + QPoint(300, 25); }

} // namespace

class MutterWaylandTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void titleBarMovesAndMaximiseFollowsTitleAndButton();
    void secondPackageOpensAndEventZeroQuits();

private:
    // Opens a store window and returns mutter's name for it once it is
    // placed; empty when none came.
    QString openStore(const QString &package, const QString &game);
    bool waitForGeometry(const QString &window, const QRect &expected);
    // The geometry once mutter has made no change to it for a moment.
    QRect settledGeometry(const QString &window);
    QString seen(const QString &window);

    TestEnvironment *m_env = nullptr;
    ProgramDriver *m_driver = nullptr;
    MutterWayland *m_mutter = nullptr;
    QString m_demo;
    QString m_first;
};

void MutterWaylandTest::initTestCase()
{
    const QString missing = MutterWayland::missing();
    if (!missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs %1 (scripts/setup installs it)").arg(missing)));
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=mw-launcher\n37=mw-store\n38=mw-instance\n[Language]\ncurrent=en\n"));
    const QString socket = QStringLiteral("tradory-mutter-%1").arg(QCoreApplication::applicationPid());
    m_mutter = new MutterWayland(this);
    QVERIFY2(m_mutter->start(socket, monitor), qPrintable(m_mutter->logTail()));
    // Programs started from here talk Wayland to this compositor only.
    qputenv("WAYLAND_DISPLAY", socket.toUtf8());
    qputenv("QT_QPA_PLATFORM", "wayland");
    qunsetenv("DISPLAY");
    m_driver = new ProgramDriver(*m_env, QStringLiteral("mw-instance"), this);
    QVERIFY(m_driver->startListening());
    m_demo = QUrl::fromLocalFile(TestEnvironment::buildDir() + QStringLiteral("/www/demo/index.html")).toString();
}

void MutterWaylandTest::cleanupTestCase()
{
    if (m_driver)
        QVERIFY(m_driver->endProgram());
    delete m_driver;
    m_driver = nullptr;
    if (m_mutter) {
        const qint64 pid = m_mutter->compositorPid();
        QVERIFY(m_mutter->stop());
        // Neither mutter nor its bus outlives the test.
        QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)));
    }
    delete m_env;
}

QString MutterWaylandTest::openStore(const QString &package, const QString &game)
{
    const QStringList before = m_mutter->windows();
    const int loads = m_driver->logText().count(QLatin1String("load end"));
    if (m_driver->open(QStringLiteral("-tradory="), package, m_demo, game).isEmpty())
        return QString();
    if (!m_driver->waitForLog(QStringLiteral("load end"), loads + 1))
        return QString();
    // The store window is the new one of a store window's size (popups
    // such as tooltips are windows to mutter too).
    QString found;
    const bool placed = QTest::qWaitFor([&]() {
        for (const QString &window : m_mutter->windows()) {
            if (!before.contains(window) && m_mutter->geometry(window).width() >= 696)
                found = window;
        }
        return !found.isEmpty();
    }, 10000);
    return placed ? found : QString();
}

bool MutterWaylandTest::waitForGeometry(const QString &window, const QRect &expected)
{
    return QTest::qWaitFor([&]() { return m_mutter->geometry(window) == expected; }, 5000);
}

QRect MutterWaylandTest::settledGeometry(const QString &window)
{
    return settledFrame([&]() { return m_mutter->geometry(window); });
}

QString MutterWaylandTest::seen(const QString &window)
{
    return QStringLiteral("%1 at %2, maximised %3 and unmaximised %4 times; mutter:\n%5")
        .arg(window, describe(m_mutter->geometry(window)))
        .arg(m_mutter->maximised(window))
        .arg(m_mutter->unmaximised(window))
        .arg(m_mutter->logTail(12));
}

void MutterWaylandTest::titleBarMovesAndMaximiseFollowsTitleAndButton()
{
    m_first = openStore(QStringLiteral("mw.first"), QStringLiteral("First"));
    QVERIFY2(!m_first.isEmpty(), qPrintable(m_mutter->logTail()));
    const QString window = m_first;
    const QRect start = settledGeometry(window);
    QVERIFY(QRect(QPoint(0, 0), monitor).contains(start));

    // The move is the compositor's, so the window follows the pointer exactly.
    QVERIFY(m_mutter->drag(titleStrip(start), titleStrip(start) + QPoint(60, 40)));
    const QRect normal = start.translated(60, 40);
    QVERIFY2(waitForGeometry(window, normal), qPrintable(describe(start) + QStringLiteral(" -> ") + seen(window)));

    const QRect screen(QPoint(0, 0), monitor);
    int maximised = m_mutter->maximised(window);
    int unmaximised = m_mutter->unmaximised(window);
    // mutter's word comes before the program has drawn the window at its
    // new size: a moment for that before the next click.
    const auto maximisedAgain = [&]() {
        const bool done = QTest::qWaitFor(
            [&]() { return m_mutter->maximised(window) == maximised + 1 && m_mutter->geometry(window) == screen; }, 5000);
        QTest::qWait(700);
        return done && ++maximised;
    };
    const auto restoredAgain = [&]() {
        const bool done = QTest::qWaitFor([&]() { return m_mutter->unmaximised(window) == unmaximised + 1; }, 5000);
        QTest::qWait(700);
        return done && ++unmaximised;
    };

    // Maximised by the title bar, the button then offers to restore.
    QVERIFY(m_mutter->doubleClick(titleStrip(normal)));
    QVERIFY2(maximisedAgain(), qPrintable(seen(window)));
    QVERIFY(m_mutter->click(maximizeButton(screen)));
    QVERIFY2(restoredAgain(), qPrintable(seen(window)));
    // The button maximises again; that it is where the normal window has it
    // shows the window came back to its place and size, and mutter starts
    // from there.
    QVERIFY(m_mutter->click(maximizeButton(normal)));
    QVERIFY2(maximisedAgain(), qPrintable(seen(window)));
    QCOMPARE(m_mutter->geometryBefore(window), normal);
    // Maximised by the button, the title bar restores.
    QVERIFY(m_mutter->doubleClick(titleStrip(screen)));
    QVERIFY2(restoredAgain(), qPrintable(seen(window)));

    // Back at its normal place, it moves from there again.
    QVERIFY(m_mutter->drag(titleStrip(normal), titleStrip(normal) + QPoint(-40, -30)));
    QVERIFY2(waitForGeometry(window, normal.translated(-40, -30)), qPrintable(seen(window)));
    QCOMPARE(m_mutter->geometryBefore(window).size(), normal.size());
    QCOMPARE(m_mutter->maximised(window), 2);
    QCOMPARE(m_mutter->unmaximised(window), 2);
}

void MutterWaylandTest::secondPackageOpensAndEventZeroQuits()
{
    const QString second = openStore(QStringLiteral("mw.second"), QStringLiteral("Second"));
    QVERIFY2(!second.isEmpty(), qPrintable(m_mutter->logTail()));
    QVERIFY(second != m_first);
    QVERIFY(m_driver->waitForMessages(2));
    QCOMPARE(m_driver->messages(),
             (QStringList{QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"mw.first"})"),
                          QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"mw.second"})")}));
    // Asked for again, the first stays one window; Wayland lets no program
    // raise its own, so the program does not ask.
    const int shown = m_driver->logText().count(QLatin1String("Tradory window showNormal"));
    QVERIFY(!m_driver->open(QStringLiteral("-tradory="), QStringLiteral("mw.first"), m_demo, QStringLiteral("First")).isEmpty());
    QVERIFY(m_driver->waitForLog(QStringLiteral("Tradory window showNormal"), shown + 1));
    QTest::qWait(500);
    QCOMPARE(m_driver->messages().size(), 2);

    m_driver->fireEvent(0);
    QTRY_COMPARE_WITH_TIMEOUT(m_driver->programProcesses(), 0, 15000);
    const QString log = m_driver->logText();
    QVERIFY2(!log.contains(QLatin1String("does not support")), qPrintable(log));
    QVERIFY2(!log.contains(QLatin1String("qt.qpa.wayland")), qPrintable(log));
}

QTEST_GUILESS_MAIN(MutterWaylandTest)
#include "tst_mutterwayland.moc"
