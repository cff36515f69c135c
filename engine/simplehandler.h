#pragma once

#include "browser.h"
#include "browserviewclient.h"
#include "ratebudget.h"
#include "scriptbridge.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSharedPointer>
#include <QUrl>
#include <QWebEnginePage>

class CefWidgetHandler;
class QKeyEvent;
class QMenu;
class QWebEngineView;

// The browser client: every browser a host widget creates, and every popup
// its pages open, reports its events here. The client does the little work
// that belongs to the browser itself (icon and title of popup windows, the
// built-in error page, Escape and F12, the trimmed context menu, refused
// drags, unknown schemes) and passes what the host cares about on through
// CefWidgetHandler.
//
// Shared by the host widget and by each of its browsers' views, so a popup
// outliving its host widget keeps a working client.
class SimpleHandler : public QObject, public QEnableSharedFromThis<SimpleHandler>, public BrowserViewClient
{
    Q_OBJECT
public:
    SimpleHandler();
    ~SimpleHandler() override;

    // The most recently made client, or none once any client has gone.
    static SimpleHandler *CurrentInstance();

    // The host that hears of events; none detaches it (a host that goes away
    // does so, and nothing reaches it afterwards).
    void SetWidgetHandler(CefWidgetHandler *handler) { m_widgetHandler = handler; }

    // Makes a browser as a hidden child of parent at geometry (logical
    // pixels) and starts loading url. It is reported through OnAfterCreated
    // once the event loop runs again, like every other browser.
    Browser CreateBrowser(QWidget *parent, const QRect &geometry, const QString &url);

    QList<Browser> browserList() const { return m_browsers; }
    // Closes every popup window of this client's pages and every developer
    // tools window it opened: they go with the window that opened them.
    void CloseAllPopups();

    // Engine events, in the engine's terms; the views and pages of this
    // client's browsers report to them.
    void OnAfterCreated(Browser browser);
    void OnBeforeClose(Browser browser);
    void OnTitleChange(Browser browser, const QString &title);
    void OnFullscreenModeChange(bool fullscreen);
    void OnLoadStart(Browser browser, Frame frame, int transitionType);
    void OnLoadEnd(Browser browser, Frame frame, int httpStatusCode);
    void OnLoadError(Browser browser, Frame frame, int errorCode, const QString &errorText, const QString &failedUrl);
    // Always false: keys are looked at, never consumed.
    bool OnPreKeyEvent(Browser browser, const QKeyEvent &event);
    bool OnProcessMessageReceived(Browser browser, Frame frame, const ProcessMessage &message);
    void OnProtocolExecution(Browser browser, const QUrl &url, bool *allowOsExecution);
    bool OnSetFocus();
    void OnGotFocus();
    void OnBeforeContextMenu(Browser browser, QMenu *menu);

    // Errors that never reach the host nor bring an error page: aborted
    // loads, and unknown schemes in a frame that is itself a launcher page.
    static bool isIgnoredLoadError(int errorCode, const QString &frameUrl);
    static QString BuildDataUri(const QByteArray &body, const QString &mimeType);
    static QString errorPageHtml(const QString &failedUrl, const QString &errorText, int errorCode);
    static bool ChromeRuntimeActive();
    // Entries of the engine's context menu that do nothing in this program.
    static QList<QWebEnginePage::WebAction> unofferedMenuActions();

signals:
    // A popup of this client's pages is gone and its window deleted: a
    // Browser that referred to it reads invalid by now.
    void popupClosed();

private:
    // BrowserViewClient
    void viewClosing(BrowserView *view) override;
    void viewKeyPressed(BrowserView *view, const QKeyEvent &event) override;
    bool viewFocusRequested(BrowserView *view) override;
    void viewFocused(BrowserView *view) override;
    void viewMenuRequested(BrowserView *view, QMenu *menu) override;

    BrowserView *makeView(QWidget *parent);
    void wire(BrowserView *view);
    QWebEnginePage *createPopup(QWebEnginePage::WebWindowType type, const QPointer<BrowserView> &opener);
    void OpenDeveloperTools(const Browser &browser);
    // The top-level developer tools window of a browser, if open.
    QWebEngineView *devToolsWindow(const Browser &browser) const;
    void reportWhenPopupGone(const Browser &popup);
    void SetNativeWindowTitle(const Browser &browser, const QString &title);
    static void tidySeparators(QMenu *menu);

    CefWidgetHandler *m_widgetHandler = nullptr;
    // Each refresh loads the start page again: a page calling it in a loop
    // would keep the window reloading and the network busy. An ordinary page
    // asks once, after a sign-in.
    RateBudget m_refreshBudget{3, 5000};
    QHash<const QObject *, QPointer<QWebEngineView>> m_devTools;
    QList<Browser> m_browsers;
    QIcon m_icon;
};
