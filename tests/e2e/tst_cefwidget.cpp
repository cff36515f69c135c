// The browser host widget in a real window: overlay, placement, offline page,
// timers, sign-in notice, refresh, unknown schemes, crashes and teardown.
#include "browserpage.h"
#include "browserview.h"
#include "cefwidget.h"
#include "enginetesthelpers.h"
#include "enginetestmain.h"
#include "language.h"
#include "simplehandler.h"
#include "startengine.h"
#include "testenvironment.h"
#include "testpages.h"
#include "vserver.h"

#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QStyle>
#include <QSignalSpy>
#include <QTimer>
#include <QVBoxLayout>

#include <csignal>

class CefWidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void browserGeometry_data();
    void browserGeometry();
    void browserWaitsUnderOverlayThenIsShownInPlace();
    void browserPlacementFollowsDevicePixelRatio();
    void failedLoadBringsOfflinePage();
    void slowLoadBringsOfflinePageAfterTimeout();
    void slowSignInPageIsLoadedOnceMore_data();
    void slowSignInPageIsLoadedOnceMore();
    void signInProviderPageIsReportedOnceWith200();
    void refreshRequestReloadsStartPageBehindOverlay();
    void unknownSchemeClosesTheWindow();
    void killedRendererRecoversWithOfflinePage();
    void offlinePageThatFailsIsNotRetriedForever();
    void popupBecomesBrowserUntilItCloses();
    void popupOpenedDuringFirstLoadLeavesThePageShown();
    void backFromOfflinePageSkipsTheFailedEntry();
    void firstPageThatFailsLeavesNothingToGoBackTo();
    void contextMenuIsReadableUsefulAndTranslated();
    void eventsAfterWidgetIsGoneNeverReachIt();
    void focusFollowsLoadedPage();
    void languageChangeKeepsEmptyLoadingText();

private:
    CefWidget *makeWidget(const QString &path);
    bool waitForLoadEnd(int count = 1);
    QString currentUrl() const { return m_widget->browser.GetMainFrame().GetURL(); }
    bool offlinePageShown() const { return currentUrl().contains(QLatin1String("/www/offline_cef.html?")); }
    // The widget's own browser view, whichever browser is current.
    BrowserView *ownView() const { return m_widget->findChild<BrowserView *>(QString(), Qt::FindDirectChildrenOnly); }
    bool ownViewInPlace() const;
    static QUrl closedAddress();

    TestEnvironment *m_env = nullptr;
    TestHttpServer m_server;
    VServer *m_launcher = nullptr;
    QStringList m_launcherMessages;
    QWidget *m_window = nullptr;
    CefWidget *m_widget = nullptr;
    QSignalSpy *m_updates = nullptr;
};

void CefWidgetTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=widget-launcher\n"));
    Language::instance()->init();
    startEngine();
    QVERIFY(m_server.start());
    addTestPages(m_server);
    m_server.route("/signin", "<html><body>Sign in</body></html>");
    m_server.route("/signin-missing",
                   TestHttpServer::Response{404, "<html><body>gone</body></html>", "text/html", {}, 0});
    m_launcher = new VServer;
    QVERIFY(m_launcher->startServer(QStringLiteral("widget-launcher")));
    connect(m_launcher, &VServer::playCloudGame, this, [this](const QString &message) { m_launcherMessages << message; });
}

void CefWidgetTest::cleanupTestCase()
{
    delete m_launcher;
    shutdownEngine();
    delete m_env;
}

void CefWidgetTest::init()
{
    m_launcherMessages.clear();
    m_window = new QWidget;
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    m_window->resize(800, 600);
}

void CefWidgetTest::cleanup()
{
    delete m_updates;
    m_updates = nullptr;
    delete m_window;
    m_widget = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<BrowserView *>(widget))
            delete widget;
    }
}

CefWidget *CefWidgetTest::makeWidget(const QString &path)
{
    m_widget = new CefWidget(m_window);
    m_window->layout()->addWidget(m_widget);
    m_updates = new QSignalSpy(m_widget, &CefWidget::updateUI);
    m_widget->setStartUrl(path.startsWith(QLatin1Char('/')) ? m_server.url(path).toString() : path);
    m_window->show();
    return m_widget;
}

bool CefWidgetTest::ownViewInPlace() const
{
    const BrowserView *view = ownView();
    return view && view->isVisible()
        && view->geometry() == CefWidget::browserLogicalRect(m_widget->size(), m_widget->devicePixelRatioF());
}

QUrl CefWidgetTest::closedAddress()
{
    TestHttpServer closed;
    if (!closed.start())
        return QUrl();
    return closed.url(QStringLiteral("/"));
}

bool CefWidgetTest::waitForLoadEnd(int count)
{
    return EngineTest::waitFor([&]() { return m_updates->count() >= count; });
}

void CefWidgetTest::browserGeometry_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QRect>("device");
    QTest::addColumn<QRect>("logical");
    QTest::newRow("800x600 at 1.5") << QSize(800, 600) << 1.5 << QRect(3, 0, 1194, 897) << QRect(2, 0, 796, 598);
    QTest::newRow("800x600 at 1") << QSize(800, 600) << 1.0 << QRect(3, 0, 794, 597) << QRect(3, 0, 794, 597);
    QTest::newRow("1052x585 at 1.25") << QSize(1052, 585) << 1.25 << QRect(3, 0, 1309, 728) << QRect(2, 0, 1047, 582);
}

void CefWidgetTest::browserGeometry()
{
    QFETCH(QSize, size);
    QFETCH(double, ratio);
    QFETCH(QRect, device);
    QFETCH(QRect, logical);
    QCOMPARE(CefWidget::browserDeviceRect(size, ratio), device);
    QCOMPARE(CefWidget::browserLogicalRect(size, ratio), logical);
}

void CefWidgetTest::browserWaitsUnderOverlayThenIsShownInPlace()
{
    makeWidget(QStringLiteral("/slow"));
    QSignalSpy timers(m_widget, &CefWidget::loadingTimer);
    m_widget->startBrowser();
    QVERIFY(!m_widget->browser.isValid());
    ENGINE_TRY_VERIFY(m_widget->browser.isValid());
    QVERIFY(m_widget->isOverlayVisible());
    QVERIFY(!m_widget->browser.window()->isVisible());
    QCOMPARE(m_widget->loadingText(), QStringLiteral("Loading WebShop. Please wait..."));
    EngineTest::settle(300);
    const QImage overlay = QImage(EngineTest::saveShot(m_window, QStringLiteral("loading-overlay")));
    QVERIFY(!overlay.isNull());
    // White panel, with the animation and the text drawn dark on it.
    QCOMPARE(overlay.pixelColor(20, 20), QColor(Qt::white));
    int dark = 0;
    for (int y = 0; y < overlay.height(); ++y)
        dark += qGray(overlay.pixel(overlay.width() / 2, y)) < 128 ? 1 : 0;
    QVERIFY2(dark > 3, "neither animation nor text on the overlay");

    QVERIFY(waitForLoadEnd());
    QVERIFY(!m_widget->isOverlayVisible());
    QVERIFY(m_widget->browser.window()->isVisible());
    QCOMPARE(m_widget->browser.window()->geometry(),
             CefWidget::browserLogicalRect(m_widget->size(), m_widget->devicePixelRatioF()));
    QCOMPARE(timers.first().first().toBool(), true);
    QCOMPARE(timers.last().first().toBool(), false);

    // Resizing the window keeps the browser placed.
    m_window->resize(900, 700);
    ENGINE_TRY_COMPARE(m_widget->browser.window()->geometry(),
                       CefWidget::browserLogicalRect(m_widget->size(), m_widget->devicePixelRatioF()));
}

void CefWidgetTest::browserPlacementFollowsDevicePixelRatio()
{
    makeWidget(QStringLiteral("/fast"));
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    m_window->resize(800, 600);
    const qreal ratio = m_widget->devicePixelRatioF();
    ENGINE_TRY_COMPARE(m_widget->size(), QSize(800, 600));
    ENGINE_TRY_COMPARE(m_widget->browser.window()->geometry(), CefWidget::browserLogicalRect(QSize(800, 600), ratio));
    if (qgetenv("QT_SCALE_FACTOR") == "1.5")
        QCOMPARE(ratio, 1.5);
    if (qFuzzyCompare(ratio, 1.5)) {
        const QRect placed = m_widget->browser.window()->geometry();
        QCOMPARE(QSize(qRound(placed.width() * ratio), qRound(placed.height() * ratio)), QSize(1194, 897));
    }
}

void CefWidgetTest::failedLoadBringsOfflinePage()
{
    QUrl gone;
    {
        TestHttpServer closed;
        QVERIFY(closed.start());
        gone = closed.url(QStringLiteral("/"));
    }
    makeWidget(gone.toString());
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    QVERIFY2(offlinePageShown(), qPrintable(currentUrl()));
    QVERIFY(currentUrl().endsWith(QLatin1String("?location=cefBrowser&lang=en")));
    QVERIFY(!m_widget->isOverlayVisible());
    ENGINE_TRY_COMPARE(EngineTest::evaluate(m_widget->browser.page(), QStringLiteral("document.documentElement.lang")).toString(),
                       QStringLiteral("en"));
    EngineTest::settle(300);
    EngineTest::saveShot(m_window, QStringLiteral("offline-page"));

    // Its retry button asks for the start page again.
    const int before = m_updates->count();
    QVERIFY(EngineTest::clickElement(m_widget->browser.view(), QStringLiteral("#retry")));
    QVERIFY(waitForLoadEnd(before + 1));
    QVERIFY(offlinePageShown());
}

void CefWidgetTest::slowLoadBringsOfflinePageAfterTimeout()
{
    makeWidget(QStringLiteral("/slow"));
    m_widget->findChild<QTimer *>(QStringLiteral("offlineTimer"))->setInterval(600);
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    QVERIFY(offlinePageShown());
    EngineTest::settle(2500);
    QVERIFY2(offlinePageShown(), "the slow page must not replace the offline page once it is shown");
}

void CefWidgetTest::slowSignInPageIsLoadedOnceMore_data()
{
    QTest::addColumn<bool>("signIn");
    QTest::addColumn<int>("requests");
    QTest::newRow("sign-in page") << true << 2;
    QTest::newRow("store page") << false << 1;
}

void CefWidgetTest::slowSignInPageIsLoadedOnceMore()
{
    QFETCH(bool, signIn);
    QFETCH(int, requests);
    makeWidget(QStringLiteral("/slow"));
    m_widget->setLoginPage(signIn);
    // The retry comes once the first request has surely reached the server
    // (a busy machine starts the engine slowly), and the offline page before
    // the slow page (2.5 s) can end.
    m_widget->findChild<QTimer *>(QStringLiteral("retryTimer"))->setInterval(1000);
    m_widget->findChild<QTimer *>(QStringLiteral("offlineTimer"))->setInterval(2000);
    const int before = m_server.requestCount("/slow");
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    QVERIFY(offlinePageShown());
    QCOMPARE(m_server.requestCount("/slow") - before, requests);
}

void CefWidgetTest::signInProviderPageIsReportedOnceWith200()
{
    const QString address = QStringLiteral("?next=https://accounts.google.com/o/oauth2/v2/auth&client=x");
    makeWidget(m_server.url(QStringLiteral("/signin-missing")).toString() + address);
    m_widget->setCloudLogin(true);
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    EngineTest::settle(300);
    QCOMPARE(m_launcherMessages, QStringList());

    const QString page = m_server.url(QStringLiteral("/signin")).toString() + address;
    m_widget->browser.GetMainFrame().LoadURL(page);
    QVERIFY(waitForLoadEnd(2));
    ENGINE_TRY_COMPARE(m_launcherMessages, QStringList{QStringLiteral("-loginPageShow")});
    m_widget->browser.GetMainFrame().LoadURL(page + QStringLiteral("&again=1"));
    QVERIFY(waitForLoadEnd(3));
    EngineTest::settle(300);
    QCOMPARE(m_launcherMessages.size(), 1);

    QVERIFY(CefWidget::isSignInProviderPage(QStringLiteral("https://www.facebook.com/login.php?x")));
    QVERIFY(CefWidget::isSignInProviderPage(QStringLiteral("https://discord.com/oauth2/authorize?x")));
    QVERIFY(!CefWidget::isSignInProviderPage(QStringLiteral("https://discord.com/OAuth2/authorize")));
}

void CefWidgetTest::refreshRequestReloadsStartPageBehindOverlay()
{
    makeWidget(QStringLiteral("/fast"));
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    m_widget->browser.GetMainFrame().LoadURL(m_server.url(QStringLiteral("/iframe")).toString());
    QVERIFY(waitForLoadEnd(2));
    const int before = m_server.requestCount("/fast");
    QSignalSpy timers(m_widget, &CefWidget::loadingTimer);
    EngineTest::evaluate(m_widget->browser.page(), QStringLiteral("window.refresh(); 1"));
    ENGINE_TRY_VERIFY(timers.count() >= 1);
    QCOMPARE(timers.first().first().toBool(), true);
    QVERIFY(waitForLoadEnd(3));
    QVERIFY(!m_widget->isOverlayVisible());
    QCOMPARE(currentUrl(), m_server.url(QStringLiteral("/fast")).toString());
    QVERIFY(m_server.requestCount("/fast") > before);
}

void CefWidgetTest::unknownSchemeClosesTheWindow()
{
    makeWidget(QStringLiteral("/scheme-link"));
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    QPointer<QWidget> window = m_window;
    QVERIFY(EngineTest::clickElement(m_widget->browser.view(), QStringLiteral("#launcher")));
    ENGINE_TRY_VERIFY(window.isNull());
    m_window = nullptr;
    m_widget = nullptr;
    ENGINE_TRY_COMPARE(m_launcherMessages, QStringList{QStringLiteral("-showMainwindow")});
}

void CefWidgetTest::killedRendererRecoversWithOfflinePage()
{
    makeWidget(QStringLiteral("/fast"));
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    const qint64 renderer = m_widget->browser.page()->renderProcessPid();
    QVERIFY(renderer > 0);
    ::kill(pid_t(renderer), SIGKILL);
    QVERIFY(waitForLoadEnd(2));
    QVERIFY(offlinePageShown());
    QVERIFY(m_widget->browser.page()->renderProcessPid() != renderer);
    ENGINE_TRY_VERIFY(!EngineTest::evaluate(m_widget->browser.page(), QStringLiteral("document.title")).toString().isEmpty());
}

void CefWidgetTest::offlinePageThatFailsIsNotRetriedForever()
{
    if (QFileInfo::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/www/offline_cef.html")))
        QSKIP("runs from a copy of this test without the offline page beside it");
    QUrl gone;
    {
        TestHttpServer closed;
        QVERIFY(closed.start());
        gone = closed.url(QStringLiteral("/"));
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("offline page failed to load 2 times")));
    makeWidget(gone.toString());
    m_widget->startBrowser();
    ENGINE_TRY_VERIFY(m_widget->browser.isValid());
    QSignalSpy failed(m_widget->browser.page(), &BrowserPage::loadFailed);
    ENGINE_TRY_VERIFY(failed.count() >= 3);
    EngineTest::settle(1500);
    // The start page, then the offline page twice: then it stops.
    QCOMPARE(failed.count(), 3);
}

void CefWidgetTest::popupBecomesBrowserUntilItCloses()
{
    makeWidget(QStringLiteral("/popup"));
    m_window->move(200, 150);
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    const Browser own = m_widget->browser;
    QVERIFY(EngineTest::clickElement(own.view(), QStringLiteral("#open")));
    ENGINE_TRY_VERIFY(m_widget->browser.isPopup());
    const Browser popup = m_widget->browser;
    QVERIFY(waitForLoadEnd(2));
    // A popup is a window of its own: not moved over the widget, not hidden.
    QVERIFY(popup.window()->isVisible());
    QVERIFY(popup.window()->isWindow());
    QVERIFY(own.window()->isVisible());
    // It opens over its opener at the size the page asked for, on screen.
    ENGINE_TRY_COMPARE(popup.window()->size(), QSize(420, 300));
    const QRect available = m_window->screen()->availableGeometry();
    QVERIFY(available.contains(popup.window()->frameGeometry()));
    QVERIFY2((popup.window()->frameGeometry().center() - m_window->frameGeometry().center()).manhattanLength() <= 2,
             "the popup is not over the window that opened it");

    // While the popup is the current browser, the window's own page keeps
    // its place when the window is resized.
    m_window->resize(900, 700);
    ENGINE_TRY_VERIFY(ownViewInPlace());

    EngineTest::evaluate(popup.page(), QStringLiteral("window.closeSoon(); 1"));
    ENGINE_TRY_VERIFY(!popup.isValid());
    ENGINE_TRY_VERIFY(m_widget->browser.IsSame(own));
    m_window->resize(820, 640);
    ENGINE_TRY_VERIFY(ownViewInPlace());
}

void CefWidgetTest::popupOpenedDuringFirstLoadLeavesThePageShown()
{
    m_server.route("/popup-at-load", "<html><head><title>Opens at once</title><script>"
                                     "window.open('/popup-child', 'child', 'width=420,height=300');</script></head>"
                                     "<body>opener</body></html>");
    makeWidget(QStringLiteral("/popup-at-load"));
    m_widget->startBrowser();
    ENGINE_TRY_VERIFY(m_widget->browser.isPopup());
    // Both pages end their loads; the window's own page is what the
    // overlay waited for, and it is shown in place.
    ENGINE_TRY_VERIFY(ownViewInPlace());
    QVERIFY(!m_widget->isOverlayVisible());
    QVERIFY(m_widget->pageLoaded());
}

void CefWidgetTest::backFromOfflinePageSkipsTheFailedEntry()
{
    const QUrl gone = closedAddress();
    QVERIFY(gone.isValid());
    makeWidget(QStringLiteral("/fast"));
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    m_widget->browser.GetMainFrame().LoadURL(gone.toString());
    ENGINE_TRY_VERIFY(offlinePageShown());
    QVERIFY(m_widget->browser.CanGoBack());

    // Back reaches the page before the failure, not the failed address
    // (which would only fail and bring the offline page again).
    m_widget->goBack();
    ENGINE_TRY_COMPARE(currentUrl(), m_server.url(QStringLiteral("/fast")).toString());
    EngineTest::settle(1000);
    QCOMPARE(currentUrl(), m_server.url(QStringLiteral("/fast")).toString());
    QVERIFY(!offlinePageShown());
    // And forward again goes past the failed address to the offline page.
    QVERIFY(m_widget->browser.CanGoForward());
    m_widget->goForward();
    ENGINE_TRY_VERIFY(offlinePageShown());
    QVERIFY(!m_widget->browser.CanGoForward());
}

void CefWidgetTest::contextMenuIsReadableUsefulAndTranslated()
{
    m_server.route("/link", "<html><body style='margin:0'><a id='link' href='/fast' "
                            "style='display:block;width:300px;height:120px'>a link</a></body></html>");
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=widget-launcher\n[Language]\ncurrent=de\n"));
    Language::instance()->updateLanguageFromCache();
    makeWidget(QStringLiteral("/link"));
    // The store window's dark body style, as the window gives it.
    m_widget->setStyleSheet(QStringLiteral("background-color: #252A3E;"));
    m_window->move(100, 100);
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    m_window->raise();
    m_window->activateWindow();

    QMenu *menu = nullptr;
    const auto openMenu = [&]() {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *found = qobject_cast<QMenu *>(widget); found && found->isVisible())
                return found;
        }
        return static_cast<QMenu *>(nullptr);
    };
    // A real right-click on the link; the page may take input a little
    // after its load ended.
    const QPoint onLink = ownView()->mapToGlobal(QPoint(50, 40));
    for (int attempt = 0; attempt < 5 && !menu; ++attempt) {
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(onLink.x()),
                                                      QString::number(onLink.y()), QStringLiteral("click"),
                                                      QStringLiteral("3")});
        EngineTest::waitFor([&]() { return (menu = openMenu()) != nullptr; }, 3000);
    }
    QVERIFY(menu);
    const BrowserPage *page = m_widget->browser.page();
    const QList<QAction *> actions = menu->actions();
    for (QWebEnginePage::WebAction unoffered : SimpleHandler::unofferedMenuActions())
        QVERIFY2(!actions.contains(page->action(unoffered)), qPrintable(page->action(unoffered)->text()));
    QVERIFY(actions.contains(page->action(QWebEnginePage::CopyLinkToClipboard)));
    QVERIFY(actions.contains(page->action(QWebEnginePage::OpenLinkInNewWindow)));
    QVERIFY(!actions.first()->isSeparator() && !actions.last()->isSeparator());
    // Qt's own German catalogue names the engine's entries.
    QCOMPARE(page->action(QWebEnginePage::CopyLinkToClipboard)->text(), QStringLiteral("Adresse des Links kopieren"));

    // No style sheet of the window reaches the menu: it is drawn in the
    // platform's colours, dark text on a light background.
    QVERIFY(!menu->style()->inherits("QStyleSheetStyle"));
    const QImage drawn = menu->grab().toImage();
    const QColor background = drawn.pixelColor(drawn.width() - 3, drawn.height() / 2);
    QVERIFY2(background != QColor(0x25, 0x2A, 0x3E), "the window's dark body colour reached the menu");
    QVERIFY(qAbs(qGray(menu->palette().color(QPalette::WindowText).rgb()) - qGray(background.rgb())) > 100);
    menu->close();

    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=widget-launcher\n"));
    Language::instance()->updateLanguageFromCache();
}

void CefWidgetTest::firstPageThatFailsLeavesNothingToGoBackTo()
{
    const QUrl gone = closedAddress();
    QVERIFY(gone.isValid());
    makeWidget(gone.toString());
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    QVERIFY(offlinePageShown());
    QVERIFY(!m_widget->browser.CanGoBack());
}

void CefWidgetTest::eventsAfterWidgetIsGoneNeverReachIt()
{
    makeWidget(QStringLiteral("/popup"));
    m_widget->startBrowser();
    QVERIFY(waitForLoadEnd());
    QVERIFY(EngineTest::clickElement(m_widget->browser.view(), QStringLiteral("#open")));
    ENGINE_TRY_VERIFY(m_widget->browser.isPopup());
    const Browser popup = m_widget->browser;
    QVERIFY(waitForLoadEnd(2));
    QPointer<SimpleHandler> client = m_widget->client();
    const EngineTest::LogCapture log;

    delete m_window;
    m_window = nullptr;
    m_widget = nullptr;
    QVERIFY(client);
    // A popup still loading when its widget went reports to nobody, and it
    // closes with the widget: nothing of the window is left on screen.
    const QString late = m_server.url(QStringLiteral("/fast")).toString();
    popup.GetMainFrame().LoadURL(late);
    ENGINE_TRY_VERIFY(!popup.isValid());
    QCOMPARE(log.count(QStringLiteral("url: \"%1\"").arg(late)), 0);
    // The last browser gone, its client goes too.
    ENGINE_TRY_VERIFY(client.isNull());
}

void CefWidgetTest::focusFollowsLoadedPage()
{
    makeWidget(QStringLiteral("/slow"));
    m_widget->startBrowser();
    ENGINE_TRY_VERIFY(m_widget->browser.isValid());
    QVERIFY(m_widget->OnSetFocus());
    QVERIFY(waitForLoadEnd());
    QVERIFY(!m_widget->OnSetFocus());
    m_window->activateWindow();
    m_widget->OnGotFocus();
    ENGINE_TRY_VERIFY(m_widget->browser.window()->hasFocus() || m_widget->browser.view()->focusProxy()->hasFocus());
}

void CefWidgetTest::languageChangeKeepsEmptyLoadingText()
{
    makeWidget(QStringLiteral("/fast"));
    QEvent change(QEvent::LanguageChange);
    m_widget->setLoadingText(QString());
    QApplication::sendEvent(m_widget, &change);
    QCOMPARE(m_widget->loadingText(), QString());
    m_widget->setLoadingText(QStringLiteral("Signing in"));
    QCOMPARE(m_widget->loadingText(), QStringLiteral("Signing in"));
    QApplication::sendEvent(m_widget, &change);
    QCOMPARE(m_widget->loadingText(), QStringLiteral("Loading WebShop. Please wait..."));
}

TRADORY_ENGINE_TEST_MAIN(CefWidgetTest)
#include "tst_cefwidget.moc"
