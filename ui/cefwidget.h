#pragma once

#include "browser.h"
#include "cefwidgethandler.h"

#include <QSharedPointer>
#include <QWidget>

#include <atomic>

class GifLabel;
class QLabel;
class QTimer;
class SimpleHandler;

// Shows one embedded browser. Until a page has finished loading the browser
// stays hidden under a white loading overlay (animation and text); a failed
// load, or one that takes longer than offlineTimeoutMs, brings the local
// offline page. Sign-in pages that are slow get one reload of the start
// address, and the first page of a sign-in provider is reported to the
// launcher.
class CefWidget : public QWidget, public CefWidgetHandler
{
    Q_OBJECT
public:
    static constexpr int browserStartDelayMs = 10;
    static constexpr int offlineTimeoutMs = 20000;
    static constexpr int loginRetryMs = 10000;
    // The offline page is tried this often in a row before giving up on it.
    static constexpr int maxOfflinePageAttempts = 2;

    explicit CefWidget(QWidget *parent = nullptr);
    ~CefWidget() override;

    void setStartUrl(const QString &url);
    QString startUrl() const { return m_startUrl; }
    void startBrowser();
    void goBack();
    void goForward();
    void reload();
    void setLoginPage(bool loginPage);
    void setCloudLogin(bool cloudLogin);
    void setLoadingText(const QString &text);

    // The browser most recently reported by the engine (a popup of the page
    // becomes it too).
    Browser browser;

    bool pageLoaded() const { return m_pageLoaded; }
    bool isOverlayVisible() const;
    QString loadingText() const;
    QString offlinePageUrl() const;
    SimpleHandler *client() const { return m_handler.data(); }

    // Where the browser window goes for a widget of logicalSize at
    // devicePixelRatio, in device pixels (x 3, y 0, 6 and 3 pixels narrower
    // and lower), and the same in logical pixels for Qt.
    static QRect browserDeviceRect(const QSize &logicalSize, qreal devicePixelRatio);
    static QRect browserLogicalRect(const QSize &logicalSize, qreal devicePixelRatio);
    // Whether a URL is the first page of a sign-in provider.
    static bool isSignInProviderPage(const QString &url);

    // CefWidgetHandler
    void OnFullscreenModeChange(bool fullscreen) override;
    void OnLoadStart(Browser browser, Frame frame, int transitionType) override;
    void OnLoadEnd(Browser browser, Frame frame, int httpStatusCode) override;
    void OnLoadError(Browser browser, Frame frame, int errorCode, const QString &errorText,
                     const QString &failedUrl) override;
    void OnAfterCreated(Browser browser) override;
    bool OnSetFocus() override;
    void OnGotFocus() override;
    void OnProtocolExecution() override;
    void OnRefreshRequest() override;

signals:
    void gameFullscreen(bool fullscreen);
    void loadingTimer(bool on);
    void updateUI();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildLoadingOverlay();
    void createBrowser();
    void showLoading();
    void placeBrowserWindow();
    void nudgeSize();
    void loadOfflinePage(const Frame &frame);
    void reportSignInPage(const Frame &frame, int httpStatusCode);
    QWidget *ownBrowserWindow() const;
    QString startAddress() const;

    bool m_cloudLogin = false;
    bool m_loginPage = false;
    QTimer *m_retryTimer = nullptr;
    std::atomic<bool> m_pageLoaded{false};
    QWidget *m_loadingPanel = nullptr;
    QTimer *m_offlineTimer = nullptr;
    QLabel *m_loadingLabel = nullptr;
    GifLabel *m_loadingGif = nullptr;
    QSharedPointer<SimpleHandler> m_handler;
    QString m_startUrl;
    // The browser in this widget, as opposed to popups of its pages.
    Browser m_ownBrowser;
    int m_offlinePageFailures = 0;
    bool m_watchingScreen = false;
};
