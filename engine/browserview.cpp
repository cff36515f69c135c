#include "browserview.h"

#include "browserpage.h"
#include "simplehandler.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMenu>

BrowserView::BrowserView(const QSharedPointer<SimpleHandler> &client, QWebEngineProfile *profile, QWidget *parent)
    : QWebEngineView(parent)
    , m_client(client)
{
    m_page = new BrowserPage(profile, this);
    setPage(m_page);
    setAcceptDrops(false);
    // The engine replaces its input widget with each new renderer process.
    connect(m_page, &QWebEnginePage::renderProcessPidChanged, this, &BrowserView::watchFocusProxy);
    watchFocusProxy();
}

BrowserView::~BrowserView()
{
    if (!m_closeReported && m_client) {
        m_closeReported = true;
        m_client->OnBeforeClose(Browser(this));
    }
}

void BrowserView::watchFocusProxy()
{
    QWidget *proxy = focusProxy();
    if (proxy == m_watchedProxy)
        return;
    if (m_watchedProxy)
        m_watchedProxy->removeEventFilter(this);
    m_watchedProxy = proxy;
    if (proxy) {
        proxy->installEventFilter(this);
        proxy->setAcceptDrops(false);
    }
}

bool BrowserView::event(QEvent *event)
{
    if (m_page && (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished))
        watchFocusProxy();
    return QWebEngineView::event(event);
}

bool BrowserView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedProxy && m_client) {
        switch (event->type()) {
        case QEvent::KeyPress:
            // Seen, never swallowed: the page still gets the key.
            m_client->OnPreKeyEvent(Browser(this), *static_cast<QKeyEvent *>(event));
            break;
        case QEvent::FocusIn:
            if (m_client->OnSetFocus()) {
                m_watchedProxy->clearFocus();
                return true;
            }
            m_client->OnGotFocus();
            break;
        case QEvent::DragEnter:
            event->ignore();
            return true;
        default:
            break;
        }
    }
    return QWebEngineView::eventFilter(watched, event);
}

void BrowserView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = page()->createStandardContextMenu();
    if (m_client)
        m_client->OnBeforeContextMenu(Browser(this), menu);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void BrowserView::dragEnterEvent(QDragEnterEvent *event)
{
    event->ignore();
}

void BrowserView::closeEvent(QCloseEvent *event)
{
    QWebEngineView::closeEvent(event);
    if (event->isAccepted() && !m_closeReported && m_client) {
        m_closeReported = true;
        m_client->OnBeforeClose(Browser(this));
    }
}
