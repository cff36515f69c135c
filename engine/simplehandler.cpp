#include "simplehandler.h"

#include "browserpage.h"
#include "browserview.h"
#include "cefwidgethandler.h"
#include "devtoolsswitch.h"
#include "launchermessages.h"
#include "launchernotice.h"
#include "neterror.h"
#include "popupplacement.h"
#include "simpleapp.h"
#include "vlauncher.h"
#include "windowfront.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWebEngineFullScreenRequest>

namespace {

SimpleHandler *currentHandler = nullptr;

} // namespace

SimpleHandler::SimpleHandler()
{
    currentHandler = this;
    const QString iconPath = QCoreApplication::applicationDirPath() + QStringLiteral("/app.ico");
    if (QFileInfo::exists(iconPath))
        m_icon = QIcon(iconPath);
}

SimpleHandler::~SimpleHandler()
{
    // Whichever client it was: the engine then has no default client.
    currentHandler = nullptr;
}

SimpleHandler *SimpleHandler::CurrentInstance()
{
    return currentHandler;
}

BrowserView *SimpleHandler::makeView(QWidget *parent)
{
    auto *view = new BrowserView(sharedFromThis(), SimpleApp::instance()->profile(), parent);
    wire(view);
    const Browser browser(view);
    QTimer::singleShot(0, this, [this, browser]() {
        if (browser)
            OnAfterCreated(browser);
    });
    return view;
}

Browser SimpleHandler::CreateBrowser(QWidget *parent, const QRect &geometry, const QString &url)
{
    BrowserView *view = makeView(parent);
    view->hide();
    view->setGeometry(geometry);
    view->browserPage()->load(QUrl::fromUserInput(url));
    return Browser(view);
}

void SimpleHandler::wire(BrowserView *view)
{
    BrowserPage *page = view->browserPage();
    const Browser browser(view);
    const Frame frame(page);
    view->setWindowIcon(m_icon);
    const QPointer<BrowserView> opener(view);
    page->setWindowFactory([this, opener](QWebEnginePage::WebWindowType type) { return createPopup(type, opener); });
    connect(page, &QWebEnginePage::titleChanged, this, [this, browser](const QString &title) {
        OnTitleChange(browser, title);
    });
    connect(page, &QWebEnginePage::fullScreenRequested, this, [this](QWebEngineFullScreenRequest request) {
        // A refused request leaves the page's promise pending for good.
        request.accept();
        OnFullscreenModeChange(request.toggleOn());
    });
    connect(page, &QWebEnginePage::loadStarted, this, [this, browser, frame]() { OnLoadStart(browser, frame, 0); });
    connect(page, &BrowserPage::loadEnded, this, [this, browser, frame](int status) { OnLoadEnd(browser, frame, status); });
    connect(page, &BrowserPage::loadFailed, this,
            [this, browser, frame](int code, const QString &text, const QUrl &failedUrl) {
                OnLoadError(browser, frame, code, text, failedUrl.toString(QUrl::FullyEncoded));
            });
    connect(page, &BrowserPage::rendererGone, this,
            [this, browser, frame](QWebEnginePage::RenderProcessTerminationStatus status) {
                if (status == QWebEnginePage::NormalTerminationStatus)
                    return;
                qInfo() << "[Tradory] renderer process ended abnormally, status" << int(status);
                // Not from inside the engine's own notice: loading a page there
                // trips the engine's checks.
                QTimer::singleShot(0, this, [this, browser, frame]() {
                    if (browser)
                        OnLoadError(browser, frame, NetError::RendererGone, QStringLiteral("renderer process gone"),
                                    frame.GetURL());
                });
            });
    connect(page, &BrowserPage::processMessageReceived, this, [this, browser, frame](const ProcessMessage &message) {
        OnProcessMessageReceived(browser, frame, message);
    });
    connect(page, &BrowserPage::protocolExecutionRequested, this, [this, browser](const QUrl &url) {
        bool allowOsExecution = false;
        OnProtocolExecution(browser, url, &allowOsExecution);
    });
    connect(page, &QWebEnginePage::windowCloseRequested, view, [view]() {
        if (view->isWindow())
            view->close();
    });
}

namespace {

QMargins frameMarginsOf(const QWidget *window)
{
    // Known only once a window manager has framed the shown window.
    if (!window->isVisible())
        return QMargins();
    const QRect client = window->geometry();
    const QRect frame = window->frameGeometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

QRect availableAreaFor(const QWidget *window)
{
    const QScreen *screen = window ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void placePopup(QWidget *popup, const QRect &frame, const QMargins &margins)
{
    popup->resize(frame.size().shrunkBy(margins));
    // move() places the frame: its title bar lands where it was put.
    popup->move(frame.topLeft());
}

} // namespace

QWebEnginePage *SimpleHandler::createPopup(QWebEnginePage::WebWindowType type, const QPointer<BrowserView> &opener)
{
    Q_UNUSED(type)
    BrowserView *popup = makeView(nullptr);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<QWidget> openerWindow(opener ? opener->window() : nullptr);
    const auto openerFrame = [openerWindow]() { return openerWindow ? openerWindow->frameGeometry() : QRect(); };
    const QRect available = availableAreaFor(openerWindow);
    placePopup(popup,
               PopupPlacement::nearOpener(QSize(PopupPlacement::defaultWidth, PopupPlacement::defaultHeight),
                                          QMargins(), openerFrame(), available),
               QMargins());
    connect(popup->browserPage(), &QWebEnginePage::geometryChangeRequested, popup,
            [popup, openerFrame](const QRect &geometry) {
                const QMargins margins = frameMarginsOf(popup);
                placePopup(popup,
                           PopupPlacement::forRequest(geometry, margins, openerFrame(), availableAreaFor(popup)),
                           margins);
            });
    popup->show();
    return popup->browserPage();
}

void SimpleHandler::CloseAllPopups()
{
    for (const QPointer<QWebEngineView> &tools : qAsConst(m_devTools)) {
        if (tools)
            tools->close();
    }
    m_devTools.clear();
    // Closing one takes it off the list.
    const QList<Browser> browsers = m_browsers;
    for (const Browser &browser : browsers) {
        if (browser.isPopup())
            browser.window()->close();
    }
}

void SimpleHandler::OnAfterCreated(Browser browser)
{
    m_browsers.append(browser);
    if (browser.isPopup())
        reportWhenPopupGone(browser);
    if (m_widgetHandler)
        m_widgetHandler->OnAfterCreated(browser);
    if (QWidget *window = browser.window())
        window->setWindowIcon(m_icon);
}

void SimpleHandler::reportWhenPopupGone(const Browser &popup)
{
    connect(popup.window(), &QObject::destroyed, this, [this]() {
        // Guards of the dying window are only cleared once it is fully gone.
        QTimer::singleShot(0, this, &SimpleHandler::popupClosed);
    });
}

void SimpleHandler::OnBeforeClose(Browser browser)
{
    m_devTools.remove(browser.page());
    for (int i = 0; i < m_browsers.size(); ++i) {
        if (m_browsers.at(i).view() == browser.view()) {
            m_browsers.removeAt(i);
            break;
        }
    }
}

void SimpleHandler::OnTitleChange(Browser browser, const QString &title)
{
    if (ChromeRuntimeActive())
        return;
    SetNativeWindowTitle(browser, title);
}

void SimpleHandler::SetNativeWindowTitle(const Browser &browser, const QString &title)
{
    if (QWidget *window = browser.window())
        window->setWindowTitle(title);
}

void SimpleHandler::OnFullscreenModeChange(bool fullscreen)
{
    if (m_widgetHandler)
        m_widgetHandler->OnFullscreenModeChange(fullscreen);
}

void SimpleHandler::OnLoadStart(Browser browser, Frame frame, int transitionType)
{
    if (m_widgetHandler)
        m_widgetHandler->OnLoadStart(browser, frame, transitionType);
}

void SimpleHandler::OnLoadEnd(Browser browser, Frame frame, int httpStatusCode)
{
    if (m_widgetHandler)
        m_widgetHandler->OnLoadEnd(browser, frame, httpStatusCode);
}

void SimpleHandler::OnLoadError(Browser browser, Frame frame, int errorCode, const QString &errorText,
                                const QString &failedUrl)
{
    if (ChromeRuntimeActive())
        return;
    if (isIgnoredLoadError(errorCode, frame.GetURL()))
        return;
    if (m_widgetHandler) {
        m_widgetHandler->OnLoadError(browser, frame, errorCode, errorText, failedUrl);
        return;
    }
    frame.LoadURL(BuildDataUri(errorPageHtml(failedUrl, errorText, errorCode).toUtf8(), QStringLiteral("text/html")));
}

bool SimpleHandler::isIgnoredLoadError(int errorCode, const QString &frameUrl)
{
    if (errorCode == NetError::Aborted)
        return true;
    return errorCode == NetError::UnknownUrlScheme && frameUrl.startsWith(QLatin1String("vellora"));
}

QString SimpleHandler::errorPageHtml(const QString &failedUrl, const QString &errorText, int errorCode)
{
    return QStringLiteral("<html><body bgcolor=\"white\"><h2>Failed to load URL ") + failedUrl
        + QStringLiteral(" with error ") + errorText + QStringLiteral(" (") + QString::number(errorCode)
        + QStringLiteral(").</h2></body></html>");
}

QString SimpleHandler::BuildDataUri(const QByteArray &body, const QString &mimeType)
{
    return QStringLiteral("data:") + mimeType + QStringLiteral(";base64,")
        + QString::fromLatin1(QUrl::toPercentEncoding(QString::fromLatin1(body.toBase64()), "+"));
}

bool SimpleHandler::OnPreKeyEvent(Browser browser, const QKeyEvent &event)
{
    if (event.type() != QEvent::KeyPress)
        return false;
    if (event.key() == Qt::Key_Escape) {
        browser.GetMainFrame().ExecuteJavaScript(QStringLiteral("{document.webkitExitFullscreen()}"));
    } else if (event.key() == Qt::Key_F12) {
        if (DevToolsSwitch::isOn())
            OpenDeveloperTools(browser);
    }
    return false;
}

void SimpleHandler::OpenDeveloperTools(const Browser &browser)
{
    BrowserPage *inspected = browser.page();
    if (!inspected)
        return;
    if (QWebEngineView *open = devToolsWindow(browser)) {
        open->show();
        WindowFront::bringToFront(open);
        return;
    }
    auto *window = new QWebEngineView;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("DevTools"));
    window->setWindowIcon(m_icon);
    auto *tools = new QWebEnginePage(SimpleApp::instance()->profile(), window);
    window->setPage(tools);
    inspected->setDevToolsPage(tools);
    m_devTools.insert(inspected, window);
    window->resize(1000, 700);
    window->show();
}

QWebEngineView *SimpleHandler::devToolsWindow(const Browser &browser) const
{
    // Closed tools windows delete themselves; the guard then reads null.
    return m_devTools.value(browser.page());
}

bool SimpleHandler::OnProcessMessageReceived(Browser browser, Frame frame, const ProcessMessage &message)
{
    Q_UNUSED(browser)
    Q_UNUSED(frame)
    if (message.name != QLatin1String(ScriptBridge::messageName))
        return false;
    if (message.arguments.value(0) != QLatin1String(ScriptBridge::refreshFunction))
        return false;
    if (!m_refreshBudget.take()) {
        if (m_refreshBudget.refusedSinceGranted() == 1)
            qWarning("[Tradory] page asks to refresh too often, further refreshes refused for now");
        return true;
    }
    if (m_widgetHandler)
        m_widgetHandler->OnRefreshRequest();
    return true;
}

void SimpleHandler::OnProtocolExecution(Browser browser, const QUrl &url, bool *allowOsExecution)
{
    Q_UNUSED(browser)
    Q_UNUSED(url)
    if (allowOsExecution)
        *allowOsExecution = false;
    sendLauncherNotice(LauncherMessages::showMainWindow());
    if (m_widgetHandler)
        m_widgetHandler->OnProtocolExecution();
}

void SimpleHandler::viewClosing(BrowserView *view)
{
    OnBeforeClose(Browser(view));
}

void SimpleHandler::viewKeyPressed(BrowserView *view, const QKeyEvent &event)
{
    OnPreKeyEvent(Browser(view), event);
}

bool SimpleHandler::viewFocusRequested(BrowserView *view)
{
    Q_UNUSED(view)
    return OnSetFocus();
}

void SimpleHandler::viewFocused(BrowserView *view)
{
    Q_UNUSED(view)
    OnGotFocus();
}

void SimpleHandler::viewMenuRequested(BrowserView *view, QMenu *menu)
{
    OnBeforeContextMenu(Browser(view), menu);
}

bool SimpleHandler::OnSetFocus()
{
    return m_widgetHandler ? m_widgetHandler->OnSetFocus() : false;
}

void SimpleHandler::OnGotFocus()
{
    if (m_widgetHandler)
        m_widgetHandler->OnGotFocus();
}

void SimpleHandler::OnBeforeContextMenu(Browser browser, QMenu *menu)
{
    BrowserPage *page = browser.page();
    if (!menu || !page)
        return;
    // The menu holds the page's own actions; find them by role, not by label
    // (labels are translated). This engine's menu has no Print entry.
    for (QWebEnginePage::WebAction action : unofferedMenuActions())
        menu->removeAction(page->action(action));
    tidySeparators(menu);
}

QList<QWebEnginePage::WebAction> SimpleHandler::unofferedMenuActions()
{
    // View Source is never offered. Saving and downloading go nowhere: the
    // program takes no downloads. There are no tabs to open a link in.
    return {QWebEnginePage::ViewSource,           QWebEnginePage::SavePage,
            QWebEnginePage::DownloadLinkToDisk,   QWebEnginePage::DownloadImageToDisk,
            QWebEnginePage::DownloadMediaToDisk,  QWebEnginePage::OpenLinkInNewTab,
            QWebEnginePage::OpenLinkInNewBackgroundTab};
}

void SimpleHandler::tidySeparators(QMenu *menu)
{
    // Removed entries leave separators at the ends or two in a row.
    QAction *previous = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator() && (!previous || previous->isSeparator()))
            menu->removeAction(action);
        else
            previous = action;
    }
    const QList<QAction *> left = menu->actions();
    if (!left.isEmpty() && left.last()->isSeparator())
        menu->removeAction(left.last());
}

bool SimpleHandler::ChromeRuntimeActive()
{
    static const bool active = QCoreApplication::arguments().contains(QStringLiteral("--enable-chrome-runtime"));
    return active;
}
