#include "browserpage.h"

#include "neterror.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWidget>

namespace {

// What a committed document says about itself after a failed load.
const char failureProbe[] = R"((function () {
  var code = '';
  try { code = String(loadTimeData.data_.errorCode || ''); } catch (e) {}
  var element = document.querySelector('.error-code');
  return JSON.stringify({
    href: String(location.href),
    code: code,
    text: element ? element.textContent : '',
    body: document.body ? document.body.innerText.slice(0, 200) : ''
  });
})())";

// Page console messages go where the engine's own would: the category "js",
// warnings and errors only unless logging rules ask for more.
Q_LOGGING_CATEGORY(pageConsole, "js", QtWarningMsg)

QtMsgType messageTypeFor(QWebEnginePage::JavaScriptConsoleMessageLevel level)
{
    switch (level) {
    case QWebEnginePage::InfoMessageLevel:
        return QtInfoMsg;
    case QWebEnginePage::WarningMessageLevel:
        return QtWarningMsg;
    default:
        return QtCriticalMsg;
    }
}

} // namespace

BrowserPage::BrowserPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
    , m_gesturelessPopups(new RateBudget(gesturelessPopups, gesturelessPopupRefillMs))
    , m_dialogs(pageDialogs, pageDialogRefillMs)
    , m_consoleLog(this, consoleLines, consoleLineRefillMs)
    , m_refusalLog(this, refusalLines, refusalLineRefillMs)
{
    qRegisterMetaType<ProcessMessage>();
    connect(this, &QWebEnginePage::loadStarted, this, &BrowserPage::onLoadStarted);
    connect(this, &QWebEnginePage::urlChanged, this, &BrowserPage::onUrlChanged);
    connect(this, &QWebEnginePage::loadFinished, this, &BrowserPage::onLoadFinished);
    connect(this, &QWebEnginePage::renderProcessTerminated, this,
            [this](RenderProcessTerminationStatus status, int) {
                m_rendererAlive = false;
                emit rendererGone(status);
            });
    connect(this, &QWebEnginePage::renderProcessPidChanged, this, [this](qint64 pid) {
        if (pid > 0)
            m_rendererAlive = true;
    });
}

bool BrowserPage::isEngineScheme(const QString &scheme)
{
    static const QStringList handled = {
        QStringLiteral("http"),  QStringLiteral("https"),    QStringLiteral("file"),
        QStringLiteral("data"),  QStringLiteral("blob"),     QStringLiteral("about"),
        QStringLiteral("qrc"),   QStringLiteral("chrome"),   QStringLiteral("chrome-error"),
        QStringLiteral("devtools"), QStringLiteral("view-source"), QStringLiteral("filesystem"),
        QStringLiteral("javascript")};
    return handled.contains(scheme.toLower());
}

void BrowserPage::stopLoading()
{
    if (m_loading)
        m_abortedByUs = true;
    triggerAction(QWebEnginePage::Stop);
}

void BrowserPage::noteDownloadStarted()
{
    m_downloadStarted = true;
}

void BrowserPage::runScriptIfAlive(const QString &code, const std::function<void(const QVariant &)> &done)
{
    if (!m_rendererAlive)
        return;
    if (done)
        runJavaScript(code, done);
    else
        runJavaScript(code);
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                           int lineNumber, const QString &sourceId)
{
    ProcessMessage bridged;
    if (ScriptBridge::parseConsoleMessage(message, sourceId, &bridged)) {
        emit processMessageReceived(bridged);
        return;
    }
    m_consoleLog.write(messageTypeFor(level), "page console",
                       PageLog::shortened(message, 350) + QStringLiteral(" at ") + PageLog::shortened(sourceId, 80)
                           + QLatin1Char(':') + QString::number(lineNumber),
                       pageConsole());
}

bool BrowserPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (isEngineScheme(url.scheme()))
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    // Only the window's own page may show the launcher and close the window
    // by it: a frame or a popup may be anybody's.
    if (!isMainFrame || m_isPopup) {
        m_refusalLog.write(QtWarningMsg, isMainFrame ? "unknown scheme refused in a popup" : "unknown scheme refused in a frame",
                           url.toString());
        return false;
    }
    // The refused navigation may be reported as a load of its own, started
    // after this answer: remember what was refused, not just that it was.
    m_refusedUrl = url;
    if (m_loading)
        m_abortedByUs = true;
    emit protocolExecutionRequested(url);
    return false;
}

void BrowserPage::noteUserGesture()
{
    m_userGesture.start();
    m_userGestureUsed = false;
}

bool BrowserPage::admitPopup()
{
    // One popup per gesture: a click handler that opens many gets one.
    if (m_userGesture.isValid() && !m_userGestureUsed && m_userGesture.elapsed() <= userGestureMs) {
        m_userGestureUsed = true;
        return true;
    }
    return m_gesturelessPopups->take();
}

void BrowserPage::becomePopupOf(const BrowserPage &opener)
{
    m_isPopup = true;
    // Otherwise each popup could open a few more of its own without a gesture.
    m_gesturelessPopups = opener.m_gesturelessPopups;
}

QWebEnginePage *BrowserPage::createWindow(WebWindowType type)
{
    if (!m_windowFactory)
        return nullptr;
    if (!admitPopup()) {
        m_refusalLog.write(QtWarningMsg, "popup refused without a user gesture, opener", url().toString());
        return nullptr;
    }
    QWebEnginePage *created = m_windowFactory(type);
    if (auto *popup = qobject_cast<BrowserPage *>(created))
        popup->becomePopupOf(*this);
    return created;
}

void BrowserPage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    runDialog(PageDialog::Alert, securityOrigin, msg, QString(), nullptr);
}

bool BrowserPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    return runDialog(PageDialog::Confirm, securityOrigin, msg, QString(), nullptr) == PageDialog::Accepted;
}

bool BrowserPage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                                   QString *result)
{
    return runDialog(PageDialog::Prompt, securityOrigin, msg, defaultValue, result) == PageDialog::Accepted;
}

PageDialog::Answer BrowserPage::runDialog(PageDialog::Kind kind, const QUrl &securityOrigin, const QString &text,
                                          const QString &defaultValue, QString *value)
{
    // A refused dialog answers at once, as if its user had dismissed it.
    if (m_windowClosing || !m_dialogs.take()) {
        m_refusalLog.write(QtWarningMsg, "page dialog refused, page", url().toString());
        return PageDialog::Rejected;
    }
    const QPointer<BrowserPage> self(this);
    PageDialog dialog(kind, view(), securityOrigin, text, defaultValue);
    const PageDialog::Answer answer = dialog.exec();
    if (!self)
        return PageDialog::Rejected;
    if (answer == PageDialog::WindowClosing) {
        m_windowClosing = true;
        // Once the page's script has its answer and this call is over.
        if (QWidget *window = dialog.window())
            QTimer::singleShot(0, window, &QWidget::close);
        return PageDialog::Rejected;
    }
    if (answer == PageDialog::Accepted && value)
        *value = dialog.value();
    return answer;
}

void BrowserPage::onLoadStarted()
{
    ++m_generation;
    m_loading = true;
    m_committed = false;
    m_abortedByUs = false;
    m_downloadStarted = false;
}

void BrowserPage::onUrlChanged()
{
    if (m_loading)
        m_committed = true;
}

void BrowserPage::onLoadFinished(bool ok)
{
    m_loading = false;
    if (ok) {
        m_failedEntries.remove(history()->currentItemIndex());
        emit loadEnded(200);
        return;
    }
    // A navigation that replaced a running one may not have had a
    // loadStarted of its own: ask the page what it was loading now.
    if (m_committed)
        classifyCommittedFailure(m_generation, url());
    else if (m_abortedByUs || (!m_refusedUrl.isEmpty() && requestedUrl() == m_refusedUrl))
        emit loadAborted();
    else
        classifyUncommittedFailure(m_generation, requestedUrl());
}

void BrowserPage::classifyUncommittedFailure(quint64 generation, const QUrl &target)
{
    // A download ends the navigation before the profile reports it.
    QTimer::singleShot(downloadGraceMs, this, [this, generation, target]() {
        if (generation != m_generation)
            return;
        if (m_downloadStarted || m_abortedByUs)
            emit loadAborted();
        else
            emit loadFailed(NetError::Failed, QStringLiteral("net::ERR_FAILED"), target);
    });
}

void BrowserPage::classifyCommittedFailure(quint64 generation, const QUrl &target)
{
    if (!m_rendererAlive) {
        reportCommittedFailure(NetError::RendererGone, QStringLiteral("renderer process gone"), target);
        return;
    }
    runJavaScript(QString::fromLatin1(failureProbe), [this, generation, target](const QVariant &result) {
        if (generation != m_generation)
            return;  // superseded by a newer navigation
        const QJsonObject facts = QJsonDocument::fromJson(result.toString().toUtf8()).object();
        const QString href = facts.value(QStringLiteral("href")).toString();
        if (!href.startsWith(QLatin1String("chrome-error:"))) {
            emit loadEnded(unknownHttpErrorStatus);
            return;
        }
        static const QRegularExpression httpError(QStringLiteral("HTTP ERROR (\\d{3})"));
        const QRegularExpressionMatch match =
            httpError.match(facts.value(QStringLiteral("text")).toString() + QLatin1Char(' ')
                            + facts.value(QStringLiteral("body")).toString());
        const QString code = facts.value(QStringLiteral("code")).toString();
        if (match.hasMatch() && !code.startsWith(QLatin1String("ERR_"))) {
            emit loadEnded(match.captured(1).toInt());
            return;
        }
        QString name = code.startsWith(QLatin1String("ERR_")) ? code : facts.value(QStringLiteral("text")).toString();
        if (!name.startsWith(QLatin1String("ERR_")))
            name = QStringLiteral("ERR_FAILED");
        reportCommittedFailure(NetError::codeForName(name), QStringLiteral("net::") + name, target);
    });
}

void BrowserPage::reportCommittedFailure(int errorCode, const QString &errorText, const QUrl &target)
{
    m_failedEntries.insert(history()->currentItemIndex(), history()->currentItem().url());
    emit loadFailed(errorCode, errorText, target);
}

bool BrowserPage::isFailedEntry(int index) const
{
    // Entries after a new navigation are replaced: an index only still
    // means the failed entry while it holds the same address.
    const auto found = m_failedEntries.constFind(index);
    return found != m_failedEntries.constEnd() && history()->itemAt(index).url() == found.value();
}

int BrowserPage::previousGoodEntry() const
{
    for (int index = history()->currentItemIndex() - 1; index >= 0; --index) {
        if (!isFailedEntry(index))
            return index;
    }
    return -1;
}

int BrowserPage::nextGoodEntry() const
{
    const int count = history()->count();
    for (int index = history()->currentItemIndex() + 1; index < count; ++index) {
        if (!isFailedEntry(index))
            return index;
    }
    return -1;
}
