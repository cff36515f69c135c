#pragma once

#include "scriptbridge.h"

#include <QHash>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

// The page type of every browser of the program. On top of QWebEnginePage it
//  - turns the script bridge's console messages into processMessageReceived;
//  - tells what a failed load was: Qt says only loadFinished(false) for a
//    network error, an HTTP error page, a stop, a download and a navigation
//    we refused, and only the first two are failures;
//  - refuses every navigation to a scheme the engine does not handle, so the
//    operating system is never asked to open it;
//  - hands window creation to whoever set a window factory.
class BrowserPage : public QWebEnginePage
{
    Q_OBJECT
public:
    // Reported for committed HTTP error documents that came with a body: the
    // engine does not tell their status code.
    static constexpr int unknownHttpErrorStatus = 0;
    // How long an uncommitted failure waits for the download it may have been.
    static constexpr int downloadGraceMs = 300;

    explicit BrowserPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    using WindowFactory = std::function<QWebEnginePage *(WebWindowType)>;
    void setWindowFactory(WindowFactory factory) { m_windowFactory = std::move(factory); }

    // Stops loading; the load ends as aborted, not as a failure.
    void stopLoading();
    void noteDownloadStarted();
    bool rendererAlive() const { return m_rendererAlive; }
    // runJavaScript breaks for good on a page whose renderer is gone; this
    // does nothing then.
    void runScriptIfAlive(const QString &code, const std::function<void(const QVariant &)> &done = {});

    static bool isEngineScheme(const QString &scheme);

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

private:
    void onLoadStarted();
    void onUrlChanged();
    void onLoadFinished(bool ok);
    void classifyCommittedFailure(quint64 generation, const QUrl &target);
    void classifyUncommittedFailure(quint64 generation, const QUrl &target);
    void reportCommittedFailure(int errorCode, const QString &errorText, const QUrl &target);

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
};

Q_DECLARE_METATYPE(ProcessMessage)
