#include "browserview.h"

#include "browserpage.h"
#include "browserviewclient.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMenu>

BrowserView::BrowserView(const QSharedPointer<BrowserViewClient> &client, QWebEngineProfile *profile, QWidget *parent)
    : QWebEngineView(parent)
    , m_client(client)
{
    m_page = new BrowserPage(profile, this);
    setPage(m_page);
    // Drags are looked at one by one: the page's own drags must work.
    setAcceptDrops(true);
    // The engine replaces its input widget with each new renderer process.
    connect(m_page, &QWebEnginePage::renderProcessPidChanged, this, &BrowserView::watchFocusProxy);
    watchFocusProxy();
}

BrowserView::~BrowserView()
{
    reportClose();
}

void BrowserView::reportClose()
{
    if (!m_closeReported && m_client) {
        m_closeReported = true;
        m_client->viewClosing(this);
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
        proxy->setAcceptDrops(true);
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
            if (!static_cast<QKeyEvent *>(event)->isAutoRepeat())
                m_page->noteUserGesture();
            // Seen, never swallowed: the page still gets the key.
            m_client->viewKeyPressed(this, *static_cast<QKeyEvent *>(event));
            break;
        case QEvent::MouseButtonPress:
            m_page->noteUserGesture();
            break;
        case QEvent::FocusIn:
            if (m_client->viewFocusRequested(this)) {
                m_watchedProxy->clearFocus();
                return true;
            }
            m_client->viewFocused(this);
            break;
        case QEvent::DragEnter:
            if (!startedHere(static_cast<QDragEnterEvent *>(event))) {
                event->ignore();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QWebEngineView::eventFilter(watched, event);
}

void BrowserView::contextMenuEvent(QContextMenuEvent *event)
{
    // The engine has no menu data for some targets; then there is no menu.
    QMenu *menu = page()->createStandardContextMenu();
    if (!menu)
        return;
    // Without a parent the menu keeps the platform's look: the host widget's
    // style sheet (dark background, no hover row) would reach it otherwise.
    menu->setParent(nullptr, menu->windowFlags());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &QObject::destroyed, menu, &QObject::deleteLater);
    if (m_client)
        m_client->viewMenuRequested(this, menu);
    if (menu->actions().isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(event->globalPos());
}

bool BrowserView::startedHere(const QDropEvent *event) const
{
    // A drag from another program has no source in this process; one from
    // another window of ours comes from a widget outside this view.
    const QObject *source = event->source();
    for (const QObject *object = source; object; object = object->parent()) {
        if (object == this)
            return true;
    }
    return false;
}

void BrowserView::dragEnterEvent(QDragEnterEvent *event)
{
    if (startedHere(event))
        QWebEngineView::dragEnterEvent(event);
    else
        event->ignore();
}

void BrowserView::closeEvent(QCloseEvent *event)
{
    QWebEngineView::closeEvent(event);
    if (event->isAccepted())
        reportClose();
}
