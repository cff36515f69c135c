// Pages and popups in the built program, driven from outside: real mouse
// and keyboard input through xdotool, pages from a local HTTP server, the
// launcher's end of the channel through vellora-launcher.
#include "programdriver.h"
#include "testenvironment.h"
#include "testhttpserver.h"
#include "vlauncher.h"

#include <QDrag>
#include <QElapsedTimer>
#include <QMimeData>
#include <QMouseEvent>
#include <QtTest>
#include <QWidget>

namespace {

// A window of another program, as far as the store program can tell: a drag
// that starts here is a drag from outside.
class DragSource : public QWidget
{
public:
    QUrl url;
    bool dragged = false;
    Qt::DropAction result = Qt::IgnoreAction;

protected:
    void mousePressEvent(QMouseEvent *) override
    {
        auto *data = new QMimeData;
        data->setText(QStringLiteral("dropped from outside"));
        data->setUrls({url});
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        dragged = true;
        result = drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
    }
};

const char dragPage[] =
    "<html><head><title>Drag page</title></head><body style='margin:0'>"
    "<div id='src' draggable='true' style='position:absolute;left:20px;top:20px;width:150px;height:100px;"
    "background:#c33'>drag me</div>"
    "<div id='dst' style='position:absolute;left:300px;top:20px;width:250px;height:200px;background:#3c3'>"
    "drop here</div><script>"
    "function tell(what) { fetch('/event?' + what); }"
    "src.addEventListener('dragstart', function (e) { e.dataTransfer.setData('text/plain', 'x'); tell('dragstart'); });"
    "dst.addEventListener('dragenter', function () { tell('dragenter'); });"
    "dst.addEventListener('dragover', function (e) { e.preventDefault(); });"
    "dst.addEventListener('drop', function (e) { e.preventDefault(); tell('drop'); });"
    "addEventListener('mousedown', function () { tell('mousedown'); });"
    "</script></body></html>";

const char popupPage[] =
    "<html><head><title>Opener</title></head><body style='margin:0'>"
    "<button id='open' style='width:300px;height:100px'>open</button><script>"
    "document.getElementById('open').onclick = function () {"
    "  window.open('/popup-child', 'child', 'width=420,height=300'); };"
    "</script></body></html>";

// Dialogs, popups and console lines a page makes without end. Each tells the
// server through a synchronous request how far it got.
const char pageTraps[] = R"(<script>
function tell(what) { var x = new XMLHttpRequest(); x.open('GET', '/event?' + what, false); x.send(); }
</script>)";

const char alertLoopPage[] = R"(<html><head><title>Alerts</title></head><body>
<script>
onload = function () { setTimeout(function () {
  tell('alerting');
  for (var i = 0; ; ++i) alert('Stay here ' + i);
}, 0); };
</script></body></html>)";

const char alertCountPage[] = R"(<html><head><title>Alerts</title></head><body>
<script>
onload = function () { setTimeout(function () {
  for (var i = 0; i < 30; ++i) { tell('alert'); alert('Message ' + i); }
  tell('done');
}, 0); };
</script></body></html>)";

const char popupFloodPage[] = R"(<html><head><title>Popups</title></head><body style='margin:0'>
<button id='open' style='width:300px;height:100px'>open</button>
<script>
// Small and out of the way: the button stays uncovered.
onload = function () {
  for (var i = 0; i < 20; ++i) window.open('/popup-child?' + i, '', 'width=200,height=100,left=1050,top=880');
  tell('flooded');
};
document.getElementById('open').onclick = function () {
  for (var i = 0; i < 20; ++i) window.open('/popup-child?clicked' + i);
};
</script></body></html>)";

const char consoleFloodPage[] = R"(<html><head><title>Console</title></head><body>
<script>
onload = function () {
  var big = new Array(100 * 1024 + 1).join('x');
  for (var i = 0; i < 100; ++i) console.warn(i + big);
  tell('flooded');
};
</script></body></html>)";

QByteArray withTraps(const char *page)
{
    return QByteArray(pageTraps) + page;
}

// Every visible window of the store program but the one given.
QStringList otherProgramWindows(const QString &excluded)
{
    const QString found = ProgramDriver::run(QStringLiteral("xdotool"),
                                             {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                              QStringLiteral("--class"), QStringLiteral("tradory")});
    QStringList windows = found.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    windows.removeAll(excluded);
    return windows;
}

// Where a point of the page is on the screen: the page starts 3 pixels in
// and below the 50-pixel title bar (the display runs at 96 DPI).
QPoint onPage(const QRect &window, int x, int y)
{
    return window.topLeft() + QPoint(3 + x, 50 + y);
}

} // namespace

class PagesAndPopupsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void pageDragsWorkAndOutsideDragsAreRefused();
    void popupOpensOverItsWindowAndClosesWithIt();
    void quittingWithPopupAndDeveloperToolsLeavesNoPageBehind();
    void windowClosesWhileItsPageLoopsOverAlerts();
    void pageThatKeepsOpeningDialogsIsStopped();
    void popupsWithoutAClickAreFew();
    void pageConsoleCannotFloodTheLog();

private:
    int pageEvents(const QByteArray &what) const;
    QString openAndWait(const QString &type, const QString &package, const QString &path, const QString &title);
    QString writeRequest(const QString &name, const QString &package, const QString &path, const QString &game);

    TestEnvironment *m_env = nullptr;
    ProgramDriver *m_driver = nullptr;
    TestHttpServer m_server;
};

void PagesAndPopupsTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=pages-launcher\n37=pages-store\n38=pages-instance\n"));
    m_driver = new ProgramDriver(*m_env, QStringLiteral("pages-instance"), this);
    QVERIFY(m_server.start());
    m_server.route("/drag", dragPage);
    m_server.route("/popup", popupPage);
    m_server.route("/popup-child", "<html><head><title>Gift card</title></head><body>child</body></html>");
    m_server.route("/event", "");
    m_server.route("/navigated", "<html><head><title>Navigated</title></head></html>");
    m_server.route("/alert-loop", withTraps(alertLoopPage));
    m_server.route("/alert-count", withTraps(alertCountPage));
    m_server.route("/popup-flood", withTraps(popupFloodPage));
    m_server.route("/console-flood", withTraps(consoleFloodPage));
    QVERIFY(m_driver->startListening());
}

void PagesAndPopupsTest::cleanupTestCase()
{
    delete m_driver;
    m_driver = nullptr;
    delete m_env;
}

void PagesAndPopupsTest::cleanup()
{
    QVERIFY(m_driver->endProgram());
    m_driver->clearMessages();
    QFile::remove(VLauncher::instance()->productDir() + QStringLiteral("/logs/tradory.log"));
}

int PagesAndPopupsTest::pageEvents(const QByteArray &what) const
{
    int count = 0;
    for (const TestHttpServer::Request &request : m_server.requests())
        count += request.path == "/event?" + what ? 1 : 0;
    return count;
}

QString PagesAndPopupsTest::openAndWait(const QString &type, const QString &package, const QString &path,
                                        const QString &title)
{
    if (m_driver->open(type, package, m_server.url(path).toString(), title).isEmpty())
        return QString();
    if (!m_driver->waitForLog(QStringLiteral("load end")))
        return QString();
    QStringList found;
    static_cast<void>(QTest::qWaitFor([&]() { return !(found = ProgramDriver::windows(title)).isEmpty(); }, 10000));
    return found.value(0);
}

QString PagesAndPopupsTest::writeRequest(const QString &name, const QString &package, const QString &path,
                                         const QString &game)
{
    QDir().mkpath(VLauncher::instance()->requestDir());
    QFile request(VLauncher::instance()->requestDir() + name);
    if (!request.open(QIODevice::WriteOnly))
        return QString();
    request.write(QStringLiteral(R"({"type":"-tradory=","package_name":"%1","cloud_app_url":"%2","game_name":"%3"})")
                      .arg(package, m_server.url(path).toString(), game)
                      .toUtf8());
    return name;
}

void PagesAndPopupsTest::pageDragsWorkAndOutsideDragsAreRefused()
{
    const QString window = openAndWait(QStringLiteral("page"), QStringLiteral("drag"), QStringLiteral("/drag"),
                                       QStringLiteral("Drag"));
    QVERIFY(!window.isEmpty());
    const QRect placed = ProgramDriver::geometry(window);
    const QPoint target = onPage(placed, 425, 120);

    // Within the page: the page gets its drop. The page may take input a
    // little after its load ended on a busy machine: first a click it hears.
    for (int attempt = 0; attempt < 10 && pageEvents("mousedown") == 0; ++attempt) {
        ProgramDriver::click(onPage(placed, 700, 400));
        static_cast<void>(QTest::qWaitFor([&]() { return pageEvents("mousedown") > 0; }, 1000));
    }
    QVERIFY(pageEvents("mousedown") > 0);
    for (int attempt = 0; attempt < 6 && pageEvents("drop") == 0; ++attempt) {
        QScopedPointer<QProcess> inside(ProgramDriver::dragInBackground(onPage(placed, 95, 70), target));
        QVERIFY(inside->waitForFinished(15000));
        static_cast<void>(QTest::qWaitFor([&]() { return pageEvents("drop") > 0; }, 2000));
    }
    QVERIFY(pageEvents("dragstart") > 0);
    QCOMPARE(pageEvents("drop"), 1);

    // From another program's window onto the page's drop target: refused,
    // the page hears nothing and the dropped address is not opened.
    const int enteredBefore = pageEvents("dragenter");
    DragSource source;
    source.url = m_server.url(QStringLiteral("/navigated"));
    source.setWindowFlags(Qt::FramelessWindowHint);
    source.setGeometry(20, 20, 150, 100);
    source.show();
    QVERIFY(QTest::qWaitForWindowExposed(&source));
    QScopedPointer<QProcess> outside(ProgramDriver::dragInBackground(QPoint(95, 70), target));
    QVERIFY(QTest::qWaitFor([&]() { return outside->state() == QProcess::NotRunning; }, 15000));
    QVERIFY2(source.dragged, "the drag from outside never started");
    QCOMPARE(source.result, Qt::IgnoreAction);
    QTest::qWait(500);
    QCOMPARE(pageEvents("dragenter"), enteredBefore);
    QCOMPARE(pageEvents("drop"), 1);
    QCOMPARE(m_server.requestCount("/navigated"), 0);
    source.hide();
}

void PagesAndPopupsTest::popupOpensOverItsWindowAndClosesWithIt()
{
    const QString window = openAndWait(QStringLiteral("-tradory="), QStringLiteral("gifts"), QStringLiteral("/popup"),
                                       QStringLiteral("Gifts"));
    QVERIFY(!window.isEmpty());
    const QRect opener = ProgramDriver::geometry(window);
    QStringList popups;
    for (int attempt = 0; attempt < 5 && popups.isEmpty(); ++attempt) {
        ProgramDriver::click(onPage(opener, 100, 50));
        static_cast<void>(QTest::qWaitFor([&]() { return !(popups = ProgramDriver::windows(QStringLiteral("Gift card"))).isEmpty(); }, 3000));
    }
    QCOMPARE(popups.size(), 1);

    // At the size the page asked for, over the window that opened it, and
    // wholly on the screen.
    QRect popup;
    static_cast<void>(QTest::qWaitFor([&]() { return (popup = ProgramDriver::geometry(popups.first())).size() == QSize(420, 300); }, 5000));
    QCOMPARE(popup.size(), QSize(420, 300));
    QVERIFY2(QRect(0, 0, 1280, 1024).contains(popup), qPrintable(QStringLiteral("popup at %1,%2").arg(popup.x()).arg(popup.y())));
    QVERIFY2((popup.center() - opener.center()).manhattanLength() <= 2,
             qPrintable(QStringLiteral("popup at %1,%2, its window at %3,%4")
                            .arg(popup.x()).arg(popup.y()).arg(opener.x()).arg(opener.y())));

    // Closing the store window takes its popup along, and with no window
    // left the program ends.
    ProgramDriver::click(opener.topLeft() + QPoint(opener.width() - 11 - 20, 25));
    QVERIFY(m_driver->waitForMessages(2));
    QCOMPARE(m_driver->messages().at(1), QStringLiteral(R"(-tradory={"event":"close","oem":"acme","package_name":"gifts"})"));
    QVERIFY(QTest::qWaitFor([]() { return ProgramDriver::windows(QStringLiteral("Gift card")).isEmpty(); }, 10000));
    QVERIFY(QTest::qWaitFor([this]() { return !m_driver->primaryRuns(); }, 15000));
}

void PagesAndPopupsTest::quittingWithPopupAndDeveloperToolsLeavesNoPageBehind()
{
    m_env->writeConfig(QStringLiteral("[AppConfig]\n6=8263\n35=pages-launcher\n37=pages-store\n38=pages-instance\n"));
    QProcess program;
    program.start(m_driver->buildDir() + QStringLiteral("/tradory"),
                  {writeRequest(QStringLiteral("tools.json"), QStringLiteral("tools"), QStringLiteral("/popup"),
                                QStringLiteral("Tools"))});
    QVERIFY(program.waitForStarted());
    QVERIFY(m_driver->waitForLog(QStringLiteral("load end")));
    QStringList found;
    QVERIFY(QTest::qWaitFor([&]() { return !(found = ProgramDriver::windows(QStringLiteral("Tools"))).isEmpty(); }, 10000));
    const QRect window = ProgramDriver::geometry(found.first());
    for (int attempt = 0; attempt < 5 && ProgramDriver::windows(QStringLiteral("Gift card")).isEmpty(); ++attempt) {
        ProgramDriver::click(onPage(window, 100, 50));
        static_cast<void>(QTest::qWaitFor([]() { return !ProgramDriver::windows(QStringLiteral("Gift card")).isEmpty(); }, 3000));
    }
    QVERIFY(!ProgramDriver::windows(QStringLiteral("Gift card")).isEmpty());
    // F12 on the store page opens its developer tools.
    // Outside the popup, which opens over the middle of the window.
    ProgramDriver::click(onPage(window, 700, 520));
    for (int attempt = 0; attempt < 5 && ProgramDriver::windows(QStringLiteral("DevTools")).isEmpty(); ++attempt) {
        ProgramDriver::run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("F12")});
        static_cast<void>(QTest::qWaitFor([]() { return !ProgramDriver::windows(QStringLiteral("DevTools")).isEmpty(); }, 3000));
    }
    QVERIFY(!ProgramDriver::windows(QStringLiteral("DevTools")).isEmpty());

    m_driver->fireEvent(0);
    QVERIFY(program.waitForFinished(20000));
    const QString errors = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(!errors.contains(QLatin1String("Release of profile requested")), qPrintable(errors.right(2000)));
    QVERIFY2(!errors.contains(QLatin1String("AddressSanitizer")), qPrintable(errors.right(4000)));
}

void PagesAndPopupsTest::windowClosesWhileItsPageLoopsOverAlerts()
{
    const QString window = openAndWait(QStringLiteral("-tradory="), QStringLiteral("alerts"),
                                       QStringLiteral("/alert-loop"), QStringLiteral("Alerts"));
    QVERIFY(!window.isEmpty());
    QVERIFY(QTest::qWaitFor([this]() { return pageEvents("alerting") > 0; }, 10000));
    QVERIFY(QTest::qWaitFor([&]() { return !otherProgramWindows(window).isEmpty(); }, 10000));

    // The close button, three times at most, as its user would.
    const QRect placed = ProgramDriver::geometry(window);
    for (int attempt = 0; attempt < 3 && !ProgramDriver::windows(QStringLiteral("Alerts")).isEmpty(); ++attempt) {
        ProgramDriver::click(placed.topLeft() + QPoint(placed.width() - 11 - 20, 25));
        static_cast<void>(QTest::qWaitFor([]() { return ProgramDriver::windows(QStringLiteral("Alerts")).isEmpty(); }, 3000));
    }
    QVERIFY(ProgramDriver::windows(QStringLiteral("Alerts")).isEmpty());
    QVERIFY(m_driver->waitForMessages(2));
    QCOMPARE(m_driver->messages().at(1), QStringLiteral(R"(-tradory={"event":"close","oem":"acme","package_name":"alerts"})"));
    QVERIFY(QTest::qWaitFor([this]() { return !m_driver->primaryRuns(); }, 15000));
}

void PagesAndPopupsTest::pageThatKeepsOpeningDialogsIsStopped()
{
    const QString window = openAndWait(QStringLiteral("page"), QStringLiteral("alerts"),
                                       QStringLiteral("/alert-count"), QStringLiteral("Alerts"));
    QVERIFY(!window.isEmpty());
    // Each dialog that comes is answered with Return; a page that gets its
    // way needs thirty.
    QStringList answered;
    QElapsedTimer clock;
    clock.start();
    while (pageEvents("done") == 0 && answered.size() < 30 && clock.elapsed() < 20000) {
        for (const QString &dialog : otherProgramWindows(window)) {
            if (answered.contains(dialog))
                continue;
            answered << dialog;
            ProgramDriver::run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                                           dialog, QStringLiteral("key"), QStringLiteral("Return")});
        }
        QTest::qWait(100);
    }
    QVERIFY2(pageEvents("done") == 1, qPrintable(QStringLiteral("%1 dialogs answered, the page still waits").arg(answered.size())));
    QCOMPARE(pageEvents("alert"), 30);
    QVERIFY2(answered.size() >= 1 && answered.size() <= 3, qPrintable(QString::number(answered.size())));
    QVERIFY(m_driver->logText().contains(QLatin1String("[Tradory] page dialog refused")));
    // The window is still there and its page goes on.
    QVERIFY(!ProgramDriver::windows(QStringLiteral("Alerts")).isEmpty());
}

void PagesAndPopupsTest::popupsWithoutAClickAreFew()
{
    const QString window = openAndWait(QStringLiteral("page"), QStringLiteral("popups"),
                                       QStringLiteral("/popup-flood"), QStringLiteral("Popups"));
    QVERIFY(!window.isEmpty());
    QVERIFY(QTest::qWaitFor([this]() { return pageEvents("flooded") > 0; }, 10000));
    QTest::qWait(1500);
    const int opened = ProgramDriver::windows(QStringLiteral("Gift card")).size();
    QVERIFY2(opened >= 1 && opened <= 5, qPrintable(QStringLiteral("%1 popups of 20").arg(opened)));
    QVERIFY(m_driver->logText().contains(QLatin1String("[Tradory] popup refused")));

    // A click on the page opens one more, however many its handler asks for.
    const QRect placed = ProgramDriver::geometry(window);
    for (int attempt = 0; attempt < 5 && ProgramDriver::windows(QStringLiteral("Gift card")).size() == opened; ++attempt) {
        ProgramDriver::click(onPage(placed, 100, 50));
        static_cast<void>(QTest::qWaitFor([&]() { return ProgramDriver::windows(QStringLiteral("Gift card")).size() > opened; }, 3000));
    }
    QTest::qWait(1000);
    QCOMPARE(ProgramDriver::windows(QStringLiteral("Gift card")).size(), opened + 1);
}

void PagesAndPopupsTest::pageConsoleCannotFloodTheLog()
{
    const QString window = openAndWait(QStringLiteral("page"), QStringLiteral("console"),
                                       QStringLiteral("/console-flood"), QStringLiteral("Console"));
    QVERIFY(!window.isEmpty());
    QVERIFY(QTest::qWaitFor([this]() { return pageEvents("flooded") > 0; }, 20000));
    QTest::qWait(1000);
    const QString log = m_driver->logText();
    // What was written before the flood is still there.
    QVERIFY(log.contains(QLatin1String("[Tradory] browser create start")));
    const QStringList lines = log.split(QLatin1Char('\n'));
    int consoleLines = 0;
    for (const QString &line : lines) {
        consoleLines += line.contains(QLatin1String("page console")) ? 1 : 0;
        QVERIFY2(line.size() < 2000, qPrintable(line.left(200)));
    }
    QVERIFY2(consoleLines >= 1 && consoleLines <= 40, qPrintable(QString::number(consoleLines)));
}

QTEST_MAIN(PagesAndPopupsTest)
#include "tst_pagesandpopups.moc"
