// The browser client against real pages: what it forwards to its host, what
// it keeps to itself, and what it does on its own.
#include "browserpage.h"
#include "browserview.h"
#include "cefwidgethandler.h"
#include "devtoolsswitch.h"
#include "enginetesthelpers.h"
#include "enginetestmain.h"
#include "language.h"
#include "neterror.h"
#include "simpleapp.h"
#include "simplehandler.h"
#include "startengine.h"
#include "testenvironment.h"
#include "testpages.h"
#include "vserver.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QInputDialog>
#include <QMessageBox>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QWebEngineView>

namespace {

// A host that writes down what it hears.
class RecordingHost : public CefWidgetHandler
{
public:
    struct Call {
        QString operation;
        int number = 0;
        QString text;
        QString url;
    };
    QList<Call> calls;
    QList<Browser> created;
    bool cancelFocus = false;

    int count(const QString &operation) const
    {
        int n = 0;
        for (const Call &call : calls)
            n += call.operation == operation ? 1 : 0;
        return n;
    }
    Call last(const QString &operation) const
    {
        for (int i = calls.size() - 1; i >= 0; --i) {
            if (calls.at(i).operation == operation)
                return calls.at(i);
        }
        return Call();
    }

    void OnFullscreenModeChange(bool fullscreen) override { calls << Call{QStringLiteral("fullscreen"), fullscreen, {}, {}}; }
    void OnLoadStart(Browser, Frame, int) override { calls << Call{QStringLiteral("start"), 0, {}, {}}; }
    void OnLoadEnd(Browser, Frame frame, int status) override { calls << Call{QStringLiteral("end"), status, {}, frame.GetURL()}; }
    void OnLoadError(Browser, Frame, int code, const QString &text, const QString &url) override
    {
        calls << Call{QStringLiteral("error"), code, text, url};
    }
    void OnAfterCreated(Browser browser) override
    {
        created << browser;
        calls << Call{QStringLiteral("created"), 0, {}, {}};
    }
    bool OnSetFocus() override { return cancelFocus; }
    void OnGotFocus() override { calls << Call{QStringLiteral("gotFocus"), 0, {}, {}}; }
    void OnProtocolExecution() override { calls << Call{QStringLiteral("protocol"), 0, {}, {}}; }
    void OnRefreshRequest() override { calls << Call{QStringLiteral("refresh"), 0, {}, {}}; }
};

} // namespace

class SimpleHandlerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void loadResultsReachTheHost_data();
    void loadResultsReachTheHost();
    void abortedLoadsAreNeverErrors_data();
    void abortedLoadsAreNeverErrors();
    void ignoredLoadErrors_data();
    void ignoredLoadErrors();
    void withoutHostAnErrorPageIsShown();
    void unknownSchemeGoesToLauncherNeverToTheSystem();
    void escapeLeavesFullscreenAndKeysReachThePage();
    void f12OpensDeveloperToolsOnlyWhenSwitchedOn();
    void contextMenuHasNoViewSource();
    void contextMenuWithoutMenuDataShowsNothing();
    void externalDragsAreRefused();
    void popupsShareTheClientAndHaveIconAndTitle();
    void onlyTheRefreshMessageBecomesARefresh();
    void bridgeMessagesCannotBeForged_data();
    void bridgeMessagesCannotBeForged();
    void onlyTheWindowsOwnPageReachesTheLauncher();
    void popupsWithoutUserGestureAreLimited();
    void dialogsAnswerThePage_data();
    void dialogsAnswerThePage();
    void currentInstanceFollowsConstruction();

private:
    Browser openBrowser(const QUrl &url);
    bool waitForCall(const QString &operation, int count = 1, int timeoutMs = 15000);

    TestEnvironment *m_env = nullptr;
    TestHttpServer m_server;
    VServer *m_launcher = nullptr;
    QStringList m_launcherMessages;
    QWidget *m_host = nullptr;
    QSharedPointer<SimpleHandler> m_client;
    RecordingHost m_recorder;
};

void SimpleHandlerTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=test-launcher\n"));
    Language::instance()->init();
    startEngine();
    QVERIFY(m_server.start());
    addTestPages(m_server);
    m_launcher = new VServer;
    QVERIFY(m_launcher->startServer(QStringLiteral("test-launcher")));
    connect(m_launcher, &VServer::playCloudGame, this, [this](const QString &message) { m_launcherMessages << message; });
}

void SimpleHandlerTest::cleanupTestCase()
{
    delete m_launcher;
    shutdownEngine();
    delete m_env;
}

void SimpleHandlerTest::init()
{
    m_recorder = RecordingHost();
    m_launcherMessages.clear();
    m_client.reset(new SimpleHandler);
    m_client->SetWidgetHandler(&m_recorder);
    m_host = new QWidget;
    m_host->resize(800, 600);
    m_host->show();
}

void SimpleHandlerTest::cleanup()
{
    m_client->SetWidgetHandler(nullptr);
    delete m_host;
    m_client.reset();
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QWebEngineView *>(widget))
            delete widget;
    }
    DevToolsSwitch::setOn(false);
}

Browser SimpleHandlerTest::openBrowser(const QUrl &url)
{
    const Browser browser = m_client->CreateBrowser(m_host, QRect(0, 0, 800, 600), url.toString());
    browser.window()->show();
    return browser;
}

bool SimpleHandlerTest::waitForCall(const QString &operation, int count, int timeoutMs)
{
    return EngineTest::waitFor([&]() { return m_recorder.count(operation) >= count; }, timeoutMs);
}

void SimpleHandlerTest::loadResultsReachTheHost_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("number");
    QTest::newRow("ok") << "/fast" << "end" << 200;
    QTest::newRow("redirect") << "/moved" << "end" << 200;
    QTest::newRow("404 with body") << "/not-found" << "end" << BrowserPage::unknownHttpErrorStatus;
    QTest::newRow("500 with body") << "/broken" << "end" << BrowserPage::unknownHttpErrorStatus;
    QTest::newRow("404 empty body") << "/not-found-empty" << "end" << 404;
    QTest::newRow("iframe page") << "/iframe" << "end" << 200;
}

void SimpleHandlerTest::loadResultsReachTheHost()
{
    QFETCH(QString, path);
    QFETCH(QString, operation);
    QFETCH(int, number);
    openBrowser(m_server.url(path));
    QVERIFY(waitForCall(operation));
    QCOMPARE(m_recorder.last(operation).number, number);
    QVERIFY(m_recorder.count(QStringLiteral("start")) >= 1);
    QCOMPARE(m_recorder.count(QStringLiteral("error")), 0);
    QCOMPARE(m_recorder.count(QStringLiteral("created")), 1);
    EngineTest::settle(300);
    QCOMPARE(m_recorder.count(QStringLiteral("end")), 1);
}

void SimpleHandlerTest::abortedLoadsAreNeverErrors_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("download") << "download";
    QTest::newRow("stop") << "stop";
    QTest::newRow("refused scheme") << "scheme";
}

void SimpleHandlerTest::abortedLoadsAreNeverErrors()
{
    QFETCH(QString, how);
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/fast")));
    QVERIFY(waitForCall(QStringLiteral("end")));
    m_recorder.calls.clear();
    QSignalSpy aborted(browser.page(), &BrowserPage::loadAborted);
    if (how == QLatin1String("download")) {
        browser.GetMainFrame().LoadURL(m_server.url(QStringLiteral("/download")).toString());
    } else if (how == QLatin1String("stop")) {
        browser.GetMainFrame().LoadURL(m_server.url(QStringLiteral("/slow")).toString());
        EngineTest::settle(300);
        browser.page()->stopLoading();
    } else {
        EngineTest::evaluate(browser.page(), QStringLiteral("location.href = 'vellora://library/open'; 1"));
    }
    ENGINE_TRY_VERIFY(aborted.count() > 0);
    EngineTest::settle(500);
    QCOMPARE(m_recorder.count(QStringLiteral("error")), 0);
    QCOMPARE(m_recorder.count(QStringLiteral("end")), 0);
    QCOMPARE(browser.GetMainFrame().GetURL(), m_server.url(QStringLiteral("/fast")).toString());
}

void SimpleHandlerTest::ignoredLoadErrors_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("frameUrl");
    QTest::addColumn<bool>("forwarded");
    QTest::newRow("aborted") << NetError::Aborted << "http://x/" << false;
    QTest::newRow("unknown scheme, vellora frame") << NetError::UnknownUrlScheme << "vellora://a" << false;
    QTest::newRow("unknown scheme, vellora later") << NetError::UnknownUrlScheme << "http://x/?vellora" << true;
    QTest::newRow("unknown scheme, Vellora") << NetError::UnknownUrlScheme << "Vellora://a" << true;
    QTest::newRow("refused") << -102 << "vellora://a" << true;
}

void SimpleHandlerTest::ignoredLoadErrors()
{
    QFETCH(int, code);
    QFETCH(QString, frameUrl);
    QFETCH(bool, forwarded);
    QCOMPARE(!SimpleHandler::isIgnoredLoadError(code, frameUrl), forwarded);
}

void SimpleHandlerTest::withoutHostAnErrorPageIsShown()
{
    m_client->SetWidgetHandler(nullptr);
    QUrl gone;
    {
        // A port that was just free: nobody listens there any more.
        TestHttpServer closed;
        QVERIFY(closed.start());
        gone = closed.url(QStringLiteral("/"));
    }

    const Browser browser = openBrowser(m_server.url(QStringLiteral("/fast")));
    QSignalSpy ended(browser.page(), &BrowserPage::loadEnded);
    ENGINE_TRY_VERIFY(ended.count() > 0);
    QSignalSpy failed(browser.page(), &BrowserPage::loadFailed);
    browser.GetMainFrame().LoadURL(gone.toString());
    ENGINE_TRY_VERIFY(failed.count() > 0);
    QCOMPARE(failed.first().at(0).toInt(), -102);
    ENGINE_TRY_VERIFY(browser.page()->url().scheme() == QLatin1String("data"));
    ENGINE_TRY_COMPARE(EngineTest::evaluate(browser.page(), QStringLiteral("document.body.innerText")).toString(),
                              QStringLiteral("Failed to load URL %1 with error net::ERR_CONNECTION_REFUSED (-102).")
                                  .arg(gone.toString()));
    QCOMPARE(m_recorder.calls.size(), 0);
}

void SimpleHandlerTest::unknownSchemeGoesToLauncherNeverToTheSystem()
{
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/scheme-link")));
    QVERIFY(waitForCall(QStringLiteral("end")));
    QVERIFY(EngineTest::clickElement(browser.view(), QStringLiteral("#launcher")));
    QVERIFY(waitForCall(QStringLiteral("protocol")));
    ENGINE_TRY_COMPARE(m_launcherMessages, QStringList{QStringLiteral("-showMainwindow")});
    EngineTest::settle(300);
    QCOMPARE(m_recorder.count(QStringLiteral("error")), 0);
    QCOMPARE(browser.GetMainFrame().GetURL(), m_server.url(QStringLiteral("/scheme-link")).toString());
}

void SimpleHandlerTest::escapeLeavesFullscreenAndKeysReachThePage()
{
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/fullscreen")));
    QVERIFY(waitForCall(QStringLiteral("end")));
    QVERIFY(EngineTest::clickElement(browser.view(), QStringLiteral("#stage")));
    QVERIFY(waitForCall(QStringLiteral("fullscreen")));
    QCOMPARE(m_recorder.last(QStringLiteral("fullscreen")).number, 1);

    QWidget *input = browser.view()->focusProxy();
    QVERIFY(input);
    QTest::keyClick(input, Qt::Key_Escape);
    QVERIFY(waitForCall(QStringLiteral("fullscreen"), 2));
    QCOMPARE(m_recorder.last(QStringLiteral("fullscreen")).number, 0);
    QTest::keyClick(input, Qt::Key_A);
    ENGINE_TRY_COMPARE(EngineTest::evaluate(browser.page(), QStringLiteral("window.keys")).toInt(), 2);
}

void SimpleHandlerTest::f12OpensDeveloperToolsOnlyWhenSwitchedOn()
{
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/fast")));
    QVERIFY(waitForCall(QStringLiteral("end")));
    QWidget *input = browser.view()->focusProxy();
    QTest::keyClick(input, Qt::Key_F12);
    EngineTest::settle(500);
    QVERIFY(!EngineTest::topLevelWithTitle(QStringLiteral("DevTools")));
    ENGINE_TRY_COMPARE(EngineTest::evaluate(browser.page(), QStringLiteral("window.keys")).toInt(), 1);

    DevToolsSwitch::setOn(true);
    QTest::keyClick(input, Qt::Key_F12);
    ENGINE_TRY_VERIFY(EngineTest::topLevelWithTitle(QStringLiteral("DevTools")));
    const QPointer<QWebEngineView> tools = qobject_cast<QWebEngineView *>(EngineTest::topLevelWithTitle(QStringLiteral("DevTools")));
    QVERIFY(tools && tools->isWindow());
    ENGINE_TRY_VERIFY(tools->url().scheme() == QLatin1String("devtools"));
    // A second F12 brings the same window back instead of a new one.
    QTest::keyClick(input, Qt::Key_F12);
    EngineTest::settle(300);
    QVERIFY(tools);
    int toolsWindows = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        toolsWindows += widget->windowTitle() == QLatin1String("DevTools") ? 1 : 0;
    QCOMPARE(toolsWindows, 1);
}

void SimpleHandlerTest::contextMenuHasNoViewSource()
{
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/fast")));
    QVERIFY(waitForCall(QStringLiteral("end")));
    EngineTest::click(browser.view(), QPoint(100, 100), Qt::RightButton);
    QMenu *menu = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((menu = [] {
                                 for (QWidget *widget : QApplication::topLevelWidgets()) {
                                     if (auto *found = qobject_cast<QMenu *>(widget); found && found->isVisible())
                                         return found;
                                 }
                                 return static_cast<QMenu *>(nullptr);
                             }()),
                             10000);
    const QList<QAction *> actions = menu->actions();
    QVERIFY(!actions.contains(browser.page()->action(QWebEnginePage::ViewSource)));
    QVERIFY(actions.contains(browser.page()->action(QWebEnginePage::Reload)));
    QVERIFY(actions.contains(browser.page()->action(QWebEnginePage::Back)));
    menu->close();
}

namespace {
// Lets the test hand the view a context menu request directly: the engine
// delivers its own requests that way, and may have no menu data for one.
class MenuProbeView : public BrowserView
{
public:
    using BrowserView::BrowserView;
    void requestMenu(QContextMenuEvent *event) { contextMenuEvent(event); }
};
} // namespace

void SimpleHandlerTest::contextMenuWithoutMenuDataShowsNothing()
{
    auto *view = new MenuProbeView(m_client, SimpleApp::instance()->profile(), m_host);
    QSignalSpy loaded(view->page(), &QWebEnginePage::loadFinished);
    view->setUrl(m_server.url(QStringLiteral("/fast")));
    view->show();
    QVERIFY(EngineTest::waitFor([&]() { return loaded.count() > 0; }));
    QVERIFY(view->page()->createStandardContextMenu() == nullptr);
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(10, 10), view->mapToGlobal(QPoint(10, 10)));
    view->requestMenu(&event);
    EngineTest::settle(200);
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!(qobject_cast<QMenu *>(widget) && widget->isVisible()));
}

void SimpleHandlerTest::externalDragsAreRefused()
{
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/fast")));
    QVERIFY(waitForCall(QStringLiteral("end")));
    QMimeData data;
    data.setUrls({m_server.url(QStringLiteral("/broken"))});
    data.setText(QStringLiteral("dropped text"));
    for (QWidget *target : {static_cast<QWidget *>(browser.view()), browser.view()->focusProxy()}) {
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
    }
    EngineTest::settle(800);
    QCOMPARE(browser.GetMainFrame().GetURL(), m_server.url(QStringLiteral("/fast")).toString());
    QCOMPARE(m_recorder.count(QStringLiteral("created")), 1);
}

void SimpleHandlerTest::popupsShareTheClientAndHaveIconAndTitle()
{
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/popup")));
    QVERIFY(waitForCall(QStringLiteral("end")));
    QVERIFY(EngineTest::clickElement(browser.view(), QStringLiteral("#open")));
    QVERIFY(waitForCall(QStringLiteral("created"), 2));
    const Browser popup = m_recorder.created.last();
    QVERIFY(popup.isPopup());
    QVERIFY(!popup.IsSame(browser));
    // Its view reports to the opener's client, which lists it.
    QCOMPARE(m_client->browserList().size(), 2);
    QVERIFY(m_client->browserList().last().IsSame(popup));
    QVERIFY(!popup.window()->windowIcon().isNull());
    ENGINE_TRY_COMPARE(popup.window()->windowTitle(), QStringLiteral("Gift card"));
    QVERIFY(popup.window()->isVisible());

    // The popup closes itself; the opener's browser stays listed, and the
    // host hears of it once the popup's window is gone.
    QVERIFY(waitForCall(QStringLiteral("end"), 2));
    QSignalSpy popupClosed(m_client.data(), &SimpleHandler::popupClosed);
    EngineTest::evaluate(popup.page(), QStringLiteral("window.closeSoon(); 1"));
    ENGINE_TRY_VERIFY(!popup.isValid());
    ENGINE_TRY_COMPARE(popupClosed.count(), 1);
    QVERIFY(browser.isValid());
    QCOMPARE(m_client->browserList().size(), 1);
    QVERIFY(m_client->browserList().first().IsSame(browser));
}

void SimpleHandlerTest::onlyTheRefreshMessageBecomesARefresh()
{
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/strict")));
    QVERIFY(waitForCall(QStringLiteral("refresh")));
    QCOMPARE(EngineTest::evaluate(browser.page(), QStringLiteral("window.answer")).toString(), QStringLiteral("Refresh Test"));

    const Frame frame = browser.GetMainFrame();
    QVERIFY(!m_client->OnProcessMessageReceived(browser, frame, ProcessMessage{QStringLiteral("other"), {QStringLiteral("refresh")}}));
    QVERIFY(!m_client->OnProcessMessageReceived(browser, frame, ProcessMessage{QStringLiteral("msg_from_render"), {}}));
    QVERIFY(!m_client->OnProcessMessageReceived(browser, frame, ProcessMessage{QStringLiteral("msg_from_render"), {QStringLiteral("Refresh")}}));
    QVERIFY(m_client->OnProcessMessageReceived(browser, frame, ProcessMessage{QStringLiteral("msg_from_render"), {QStringLiteral("refresh")}}));
    QCOMPARE(m_recorder.count(QStringLiteral("refresh")), 2);

    // A page that asks in a loop gets a few, not one reload per call.
    for (int i = 0; i < 20; ++i)
        QVERIFY(m_client->OnProcessMessageReceived(browser, frame, ProcessMessage{QStringLiteral("msg_from_render"), {QStringLiteral("refresh")}}));
    QCOMPARE(m_recorder.count(QStringLiteral("refresh")), 3);
}

void SimpleHandlerTest::bridgeMessagesCannotBeForged_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("refreshes");
    QTest::newRow("named after the bridge") << "/forged-bridge" << 0;
    // The frame's own call counts; what its parent caught of it does not.
    QTest::newRow("caught in a prepared frame") << "/bridge-thief" << 1;
}

void SimpleHandlerTest::bridgeMessagesCannotBeForged()
{
    QFETCH(QString, path);
    QFETCH(int, refreshes);
    const Browser browser = openBrowser(m_server.url(path));
    QVERIFY(waitForCall(QStringLiteral("end")));
    ENGINE_TRY_VERIFY(EngineTest::evaluate(browser.page(), QStringLiteral("window.done")).toBool());
    EngineTest::settle(500);
    QCOMPARE(m_recorder.count(QStringLiteral("refresh")), refreshes);
}

void SimpleHandlerTest::onlyTheWindowsOwnPageReachesTheLauncher()
{
    EngineTest::LogCapture log;
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/frame-scheme")));
    QVERIFY(waitForCall(QStringLiteral("end")));
    ENGINE_TRY_VERIFY(EngineTest::evaluate(browser.page(), QStringLiteral("frames[1].tried")).toBool()
                      || m_recorder.count(QStringLiteral("protocol")) > 0);
    EngineTest::settle(500);
    QCOMPARE(m_recorder.count(QStringLiteral("protocol")), 0);
    QCOMPARE(m_recorder.count(QStringLiteral("error")), 0);
    QVERIFY(m_launcherMessages.isEmpty());
    // One frame asked by its address, the other by script.
    QCOMPARE(log.count(QStringLiteral("[Tradory] unknown scheme refused")), 2);

    browser.GetMainFrame().LoadURL(m_server.url(QStringLiteral("/popup")).toString());
    QVERIFY(waitForCall(QStringLiteral("end"), 2));
    QVERIFY(EngineTest::clickElement(browser.view(), QStringLiteral("#open")));
    QVERIFY(waitForCall(QStringLiteral("created"), 2));
    const Browser popup = m_recorder.created.last();
    QVERIFY(waitForCall(QStringLiteral("end"), 3));
    const int refusedBefore = log.count(QStringLiteral("[Tradory] unknown scheme refused"));
    EngineTest::evaluate(popup.page(), QStringLiteral("location.href = 'vellora://library/popup'; 1"));
    EngineTest::settle(500);
    QCOMPARE(m_recorder.count(QStringLiteral("protocol")), 0);
    QVERIFY(m_launcherMessages.isEmpty());
    QCOMPARE(log.count(QStringLiteral("[Tradory] unknown scheme refused")), refusedBefore + 1);
    QVERIFY(popup.isValid());

    // The window's own page still does.
    EngineTest::evaluate(browser.page(), QStringLiteral("location.href = 'vellora://library/open'; 1"));
    QVERIFY(waitForCall(QStringLiteral("protocol")));
    ENGINE_TRY_COMPARE(m_launcherMessages, QStringList{QStringLiteral("-showMainwindow")});
}

void SimpleHandlerTest::popupsWithoutUserGestureAreLimited()
{
    EngineTest::LogCapture log;
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/popup-flood")));
    QVERIFY(waitForCall(QStringLiteral("end")));
    EngineTest::settle(800);
    // The page's script gets a window object either way: count real windows.
    const int opened = m_recorder.count(QStringLiteral("created")) - 1;
    QVERIFY2(opened >= 1 && opened <= 5, qPrintable(QStringLiteral("%1 of 20 opened").arg(opened)));
    // Refused and said so, in a few lines, not one a refusal.
    const int refusalLines = log.count(QStringLiteral("[Tradory] popup refused"));
    QVERIFY2(refusalLines >= 1 && refusalLines <= 10, qPrintable(log.lines().join(QLatin1Char('\n'))));

    // A click is still a click: its handler gets one popup.
    QVERIFY(EngineTest::clickElement(browser.view(), QStringLiteral("#open")));
    QVERIFY(waitForCall(QStringLiteral("created"), 2 + opened));
    EngineTest::settle(300);
    QCOMPARE(m_recorder.count(QStringLiteral("created")), 2 + opened);
}

void SimpleHandlerTest::dialogsAnswerThePage_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("answer");
    QTest::newRow("confirm, ok") << "String(confirm('<b>Buy?</b>'))" << true << "" << "true";
    QTest::newRow("confirm, cancel") << "String(confirm('<b>Buy?</b>'))" << false << "" << "false";
    QTest::newRow("prompt, typed") << "String(prompt('<b>Name?</b>', 'guest'))" << true << "Ada" << "Ada";
    QTest::newRow("prompt, cancel") << "String(prompt('<b>Name?</b>', 'guest'))" << false << "Ada" << "null";
    QTest::newRow("alert") << "String(alert('<b>Hello</b>'))" << true << "" << "undefined";
}

void SimpleHandlerTest::dialogsAnswerThePage()
{
    QFETCH(QString, script);
    QFETCH(bool, accept);
    QFETCH(QString, typed);
    QFETCH(QString, answer);
    const Browser browser = openBrowser(m_server.url(QStringLiteral("/fast")));
    QVERIFY(waitForCall(QStringLiteral("end")));

    // The page's script waits for its dialog: answer it from the dialog's
    // own event loop.
    QString shownText;
    QTimer answering;
    connect(&answering, &QTimer::timeout, this, [&]() {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible())
                continue;
            if (auto *box = qobject_cast<QMessageBox *>(widget)) {
                shownText = box->textFormat() == Qt::PlainText ? box->text() : QStringLiteral("rich: ") + box->text();
                QAbstractButton *button = box->button(accept ? QMessageBox::Ok : QMessageBox::Cancel);
                if (!button)
                    button = box->button(QMessageBox::Ok);
                button->click();
            } else if (auto *input = qobject_cast<QInputDialog *>(widget)) {
                shownText = input->labelText();
                input->setTextValue(typed);
                accept ? input->accept() : input->reject();
            }
        }
    });
    answering.start(50);
    QCOMPARE(EngineTest::evaluate(browser.page(), script).toString(), answer);
    QVERIFY(shownText.startsWith(QLatin1String("<b>")));
    QVERIFY(!browser.window()->window()->isHidden());
}

void SimpleHandlerTest::currentInstanceFollowsConstruction()
{
    QCOMPARE(SimpleHandler::CurrentInstance(), m_client.data());
    {
        SimpleHandler newer;
        QCOMPARE(SimpleHandler::CurrentInstance(), &newer);
    }
    // Any client going clears it, even one that was not current any more.
    QCOMPARE(SimpleHandler::CurrentInstance(), nullptr);
}

TRADORY_ENGINE_TEST_MAIN(SimpleHandlerTest)
#include "tst_simplehandler.moc"
