#include "cefwidget.h"

#include "giflabel.h"
#include "language.h"
#include "launchermessages.h"
#include "launchernotice.h"
#include "simplehandler.h"
#include "startengine.h"
#include "vlauncher.h"
#include "windowfront.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleOption>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QScreen>
#include <QWindow>

#include <cmath>

namespace {

const char loadingTextSource[] = QT_TRANSLATE_NOOP("CefWidget", "Loading WebShop. Please wait...");

// Full addresses of the providers' authorisation pages.
const char *const signInProviderPages[] = {
    "https://accounts.google.com/o/oauth2/v2/auth",
    "https://www.facebook.com/login.php",
    "https://discord.com/oauth2/authorize",
};

} // namespace

CefWidget::CefWidget(QWidget *parent)
    : QWidget(parent)
{
    setWindowFlag(Qt::FramelessWindowHint);

    m_handler.reset(new SimpleHandler);
    m_handler->SetWidgetHandler(this);
    // A closed popup would leave the navigation buttons, the refresh request
    // and the timers acting on nothing: they go back to this widget's browser.
    connect(m_handler.data(), &SimpleHandler::popupClosed, this, [this]() {
        if (!browser.isValid()) {
            browser = m_ownBrowser;
            emit updateUI();
        }
    });

    m_offlineTimer = new QTimer(this);
    m_offlineTimer->setObjectName(QStringLiteral("offlineTimer"));
    m_offlineTimer->setSingleShot(true);
    m_offlineTimer->setInterval(offlineTimeoutMs);
    connect(m_offlineTimer, &QTimer::timeout, this, [this]() {
        // The overlay covers this widget's own page, whichever browser is
        // current: the page that is slow is that one.
        const Frame frame = m_ownBrowser.GetFocusedFrame();
        if (frame.isValid())
            loadOfflinePage(frame);
    });
    connect(this, &CefWidget::loadingTimer, this, [this](bool on) {
        if (on)
            m_offlineTimer->start();
        else
            m_offlineTimer->stop();
    });

    m_retryTimer = new QTimer(this);
    m_retryTimer->setObjectName(QStringLiteral("retryTimer"));
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setInterval(loginRetryMs);
    connect(m_retryTimer, &QTimer::timeout, this, [this]() {
        const Frame frame = m_ownBrowser.GetFocusedFrame();
        if (m_loginPage && frame.isValid()) {
            qInfo() << "[Tradory] sign-in page slow, loading it again:" << m_startUrl;
            frame.LoadURL(m_startUrl);
        }
    });
    connect(this, &CefWidget::loadingTimer, this, [this](bool on) {
        if (!on)
            m_retryTimer->stop();
    });

    buildLoadingOverlay();
}

CefWidget::~CefWidget()
{
    // Events of browsers that outlive this widget (popups) must not reach it,
    // and popups opened by its pages close with it.
    m_handler->SetWidgetHandler(nullptr);
    m_handler->CloseAllPopups();
    m_startUrl.clear();
    browser = Browser();
    m_handler.reset();
}

void CefWidget::buildLoadingOverlay()
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(3, 0, 3, 3);
    m_loadingPanel = new QWidget(this);
    m_loadingPanel->setObjectName(QStringLiteral("loadingPanel"));
    m_loadingPanel->setStyleSheet(QStringLiteral("background-color: #FFFFFF;"));
    grid->addWidget(m_loadingPanel);

    auto *column = new QVBoxLayout(m_loadingPanel);
    column->setContentsMargins(0, 0, 0, 0);
    auto *above = new QSpacerItem(40, 20, QSizePolicy::Minimum, QSizePolicy::Expanding);
    auto *below = new QSpacerItem(40, 20, QSizePolicy::Minimum, QSizePolicy::Expanding);

    m_loadingLabel = new QLabel(this);
    m_loadingLabel->setText(tr(loadingTextSource));
    m_loadingLabel->setAlignment(Qt::AlignCenter);
    m_loadingLabel->setFixedHeight(50);
    m_loadingLabel->setStyleSheet(QStringLiteral("QLabel{color: #000000; font-style: normal; font-weight: 400; "
                                                 "font-size: 16px; line-height: 27px; "
                                                 "background-color: transparent;}"));

    m_loadingGif = new GifLabel(this);
    m_loadingGif->setAlignment(Qt::AlignCenter);
    m_loadingGif->setFixedHeight(76);
    m_loadingGif->setGif(QCoreApplication::applicationDirPath() + QStringLiteral("/image/cef_browser_loading.gif"));

    column->addItem(above);
    column->addWidget(m_loadingGif);
    column->addWidget(m_loadingLabel);
    column->addItem(below);
}

void CefWidget::setStartUrl(const QString &url)
{
    m_startUrl = url;
}

void CefWidget::startBrowser()
{
    QTimer::singleShot(browserStartDelayMs, this, &CefWidget::createBrowser);
}

QString CefWidget::startAddress() const
{
    if (!m_startUrl.isEmpty())
        return m_startUrl;
    const QString fromSwitch = engineStartUrl();
    return fromSwitch.isEmpty() ? VLauncher::publicHomePage() : fromSwitch;
}

QRect CefWidget::browserDeviceRect(const QSize &logicalSize, qreal devicePixelRatio)
{
    const double width = logicalSize.width() * double(devicePixelRatio);
    const double height = logicalSize.height() * double(devicePixelRatio);
    return QRect(3, 0, int(std::trunc(width - 6.0)), int(std::trunc(height - 3.0)));
}

QRect CefWidget::browserLogicalRect(const QSize &logicalSize, qreal devicePixelRatio)
{
    const QRect device = browserDeviceRect(logicalSize, devicePixelRatio);
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return QRect(qRound(device.x() / ratio), qRound(device.y() / ratio), qRound(device.width() / ratio),
                 qRound(device.height() / ratio));
}

void CefWidget::createBrowser()
{
    qInfo("[Tradory] browser create start");
    m_ownBrowser = m_handler->CreateBrowser(this, browserLogicalRect(size(), devicePixelRatioF()), startAddress());
    if (m_loginPage)
        m_retryTimer->start();
    showLoading();
}

QWidget *CefWidget::ownBrowserWindow() const
{
    // Popups are top-level windows of their own: they are neither hidden
    // behind the overlay nor moved over this widget, and while one is the
    // current browser this widget's own page still needs its place.
    QWidget *window = m_ownBrowser.window();
    return window && window->parentWidget() == this ? window : nullptr;
}

void CefWidget::showLoading()
{
    m_pageLoaded = false;
    if (QWidget *window = ownBrowserWindow())
        window->hide();
    m_loadingPanel->show();
    m_loadingGif->show();
    m_loadingLabel->show();
    emit loadingTimer(true);
}

void CefWidget::placeBrowserWindow()
{
    QWidget *window = ownBrowserWindow();
    if (!m_pageLoaded || !window)
        return;
    window->setGeometry(browserLogicalRect(size(), devicePixelRatioF()));
}

void CefWidget::nudgeSize()
{
    resize(width() + 1, height() + 1);
    resize(width() - 1, height() - 1);
}

QString CefWidget::offlinePageUrl() const
{
    QUrl url = QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/www/offline_cef.html"));
    url.setQuery(QStringLiteral("location=%1&lang=%2")
                     .arg(QStringLiteral("cefBrowser"), Language::instance()->getCurrentLD().at(2)));
    return url.toString(QUrl::FullyEncoded);
}

void CefWidget::loadOfflinePage(const Frame &frame)
{
    frame.LoadURL(offlinePageUrl());
}

void CefWidget::goBack()
{
    if (browser && browser.CanGoBack())
        browser.GoBack();
}

void CefWidget::goForward()
{
    if (browser && browser.CanGoForward())
        browser.GoForward();
}

void CefWidget::reload()
{
    if (browser)
        browser.Reload();
}

void CefWidget::setLoginPage(bool loginPage)
{
    m_loginPage = loginPage;
}

void CefWidget::setCloudLogin(bool cloudLogin)
{
    m_loginPage = cloudLogin;
    m_cloudLogin = cloudLogin;
}

void CefWidget::setLoadingText(const QString &text)
{
    m_loadingLabel->setText(text.isEmpty() ? QString()
                                           : QCoreApplication::translate("CefWidget", text.toLatin1().constData()));
}

bool CefWidget::isOverlayVisible() const
{
    return !m_loadingPanel->isHidden();
}

QString CefWidget::loadingText() const
{
    return m_loadingLabel->text();
}

bool CefWidget::isSignInProviderPage(const QString &url)
{
    for (const char *page : signInProviderPages) {
        if (url.contains(QLatin1String(page)))
            return true;
    }
    return false;
}

void CefWidget::OnFullscreenModeChange(bool fullscreen)
{
    emit gameFullscreen(fullscreen);
}

void CefWidget::OnLoadStart(Browser, Frame frame, int)
{
    qInfo() << "[Tradory] load start, url:" << frame.GetURL();
}

void CefWidget::OnLoadEnd(Browser loaded, Frame frame, int httpStatusCode)
{
    qInfo() << "[Tradory] load end, url:" << frame.GetURL();
    m_offlinePageFailures = 0;
    if (loaded.isValid() && !loaded.IsSame(m_ownBrowser)) {
        // A popup's page: the overlay and its timers wait for this widget's
        // own page, which may still be loading.
        emit updateUI();
        reportSignInPage(frame, httpStatusCode);
        return;
    }
    m_loginPage = false;
    m_pageLoaded = true;
    if (QWidget *window = ownBrowserWindow()) {
        window->show();
        window->raise();
    }
    m_loadingPanel->hide();
    m_loadingGif->hide();
    m_loadingLabel->hide();
    emit loadingTimer(false);
    placeBrowserWindow();
    nudgeSize();
    emit updateUI();
    reportSignInPage(frame, httpStatusCode);
}

void CefWidget::reportSignInPage(const Frame &frame, int httpStatusCode)
{
    if (!m_cloudLogin || httpStatusCode != 200 || !isSignInProviderPage(frame.GetURL()))
        return;
    m_cloudLogin = false;
    sendLauncherNotice(LauncherMessages::loginPageShow());
}

void CefWidget::OnLoadError(Browser, Frame frame, int errorCode, const QString &errorText, const QString &failedUrl)
{
    qInfo() << "[Tradory] load error" << errorCode << errorText << "url:" << failedUrl;
    const QString offline = offlinePageUrl();
    if (QUrl(failedUrl).adjusted(QUrl::RemoveQuery) == QUrl(offline).adjusted(QUrl::RemoveQuery)) {
        // The page that should stand in for every failure fails itself (file
        // missing, say): loading it again would go on without end.
        if (++m_offlinePageFailures >= maxOfflinePageAttempts) {
            qWarning() << "[Tradory] offline page failed to load" << m_offlinePageFailures << "times, giving up:"
                       << offline;
            return;
        }
    }
    loadOfflinePage(frame);
}

void CefWidget::OnAfterCreated(Browser created)
{
    browser = created;
    qInfo("[Tradory] browser create end");
    if (!created.isPopup())
        m_ownBrowser = created;
}

bool CefWidget::OnSetFocus()
{
    return !(m_pageLoaded && browser.isValid());
}

void CefWidget::OnGotFocus()
{
    if (m_pageLoaded) {
        if (browser)
            browser.SendFocusEvent(true);
        return;
    }
    if (browser)
        browser.SendFocusEvent(false);
    WindowFront::activate(parentWidget());
}

void CefWidget::OnProtocolExecution()
{
    if (QWidget *parent = parentWidget())
        parent->close();
}

void CefWidget::OnRefreshRequest()
{
    // The overlay goes over this widget's own page, so that is the page that
    // must load again for it to go away.
    const Frame frame = m_ownBrowser.GetFocusedFrame();
    if (frame.isValid())
        frame.LoadURL(m_startUrl.isEmpty() ? startAddress() : m_startUrl);
    showLoading();
}

void CefWidget::resizeEvent(QResizeEvent *event)
{
    placeBrowserWindow();
    QWidget::resizeEvent(event);
}

void CefWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Moving to a screen with another pixel ratio re-places the browser.
    QWindow *handle = window()->windowHandle();
    if (handle && !m_watchingScreen) {
        m_watchingScreen = true;
        connect(handle, &QWindow::screenChanged, this, &CefWidget::nudgeSize);
    }
}

void CefWidget::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && !m_loadingLabel->text().isEmpty())
        m_loadingLabel->setText(tr(loadingTextSource));
    QWidget::changeEvent(event);
}

void CefWidget::paintEvent(QPaintEvent *)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
