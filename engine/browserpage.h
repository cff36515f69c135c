#pragma once

#include "pagedialog.h"
#include "pagelog.h"
#include "ratebudget.h"
#include "scriptbridge.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSharedPointer>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

// The page type of every browser of the program. On top of QWebEnginePage it
//  - turns the script bridge's console messages into processMessageReceived;
//  - tells what a failed load was: Qt says only loadFinished(false) for a
//    network error, an HTTP error page, a stop, a download and a navigation
//    we refused, and only the first two are failures;
//  - refuses every navigation to a scheme the engine does not handle, so the
//    operating system is never asked to open it; only the main frame of a
//    window's own page passes such a request on;
//  - hands window creation to whoever set a window factory, for popups a
//    user asked for and a few more;
//  - shows the page's dialogs without trapping the user in them, and stops
//    a page that keeps opening them;
//  - bounds what the page's console puts into the log.
class BrowserPage : public QWebEnginePage
{
    Q_OBJECT
public:
    // Reported for committed HTTP error documents that came with a body: the
    // engine does not tell their status code.
    static constexpr int unknownHttpErrorStatus = 0;
    // How long an uncommitted failure waits for the download it may have been.
    static constexpr int downloadGraceMs = 300;
    // A click or key press in the page's view lets it open one popup this
    // long afterwards, as in browsers.
    static constexpr int userGestureMs = 5000;
    // Popups without a user gesture: a few, then one a minute, for a window
    // and all the popups it opened together.
    static constexpr int gesturelessPopups = 3;
    static constexpr int gesturelessPopupRefillMs = 60000;
    // Dialogs: a few, then one every half minute.
    static constexpr int pageDialogs = 3;
    static constexpr int pageDialogRefillMs = 30000;
    // Console lines in the log: a burst, then five a second.
    static constexpr int consoleLines = 20;
    static constexpr int consoleLineRefillMs = 200;
    // The program's own lines about what it refused a page.
    static constexpr int refusalLines = 5;
    static constexpr int refusalLineRefillMs = 10000;

    explicit BrowserPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    using WindowFactory = std::function<QWebEnginePage *(WebWindowType)>;
    void setWindowFactory(WindowFactory factory) { m_windowFactory = std::move(factory); }

    // Stops loading; the load ends as aborted, not as a failure.
    void stopLoading();
    void noteDownloadStarted();
    // runJavaScript breaks for good on a page whose renderer is gone; this
    // does nothing then.
    void runScriptIfAlive(const QString &code, const std::function<void(const QVariant &)> &done = {});

    static bool isEngineScheme(const QString &scheme);

    // The view saw its user click or press a key.
    void noteUserGesture();

    // History entries whose load failed: going back or forward to one would
    // only fail again (and bring the offline page back), so navigation skips
    // them. -1 when there is no entry to go to.
    bool isFailedEntry(int index) const;
    int previousGoodEntry() const;
    int nextGoodEntry() const;

signals:
    void processMessageReceived(const ProcessMessage &message);
    void loadEnded(int httpStatusCode);
    void loadFailed(int errorCode, const QString &errorText, const QUrl &failedUrl);
    void loadAborted();
    void protocolExecutionRequested(const QUrl &url);
    void rendererGone(QWebEnginePage::RenderProcessTerminationStatus status);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                  const QString &sourceId) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;

private:
    void onLoadStarted();
    void onUrlChanged();
    void onLoadFinished(bool ok);
    void classifyCommittedFailure(quint64 generation, const QUrl &target);
    void classifyUncommittedFailure(quint64 generation, const QUrl &target);
    void reportCommittedFailure(int errorCode, const QString &errorText, const QUrl &target);
    bool admitPopup();
    void becomePopupOf(const BrowserPage &opener);
    PageDialog::Answer runDialog(PageDialog::Kind kind, const QUrl &securityOrigin, const QString &text,
                                 const QString &defaultValue, QString *value);

    WindowFactory m_windowFactory;
    quint64 m_generation = 0;
    QUrl m_refusedUrl;
    bool m_loading = false;
    bool m_committed = false;
    bool m_abortedByUs = false;
    bool m_downloadStarted = false;
    bool m_rendererAlive = true;
    // History index -> the address that failed there.
    QHash<int, QUrl> m_failedEntries;

    bool m_isPopup = false;
    QElapsedTimer m_userGesture;
    bool m_userGestureUsed = false;
    QSharedPointer<RateBudget> m_gesturelessPopups;
    RateBudget m_dialogs;
    // Set once the window asked to close while a dialog was up.
    bool m_windowClosing = false;
    PageLog m_consoleLog;
    PageLog m_refusalLog;
};

Q_DECLARE_METATYPE(ProcessMessage)
