#include "browser.h"

#include "browserpage.h"
#include "browserview.h"

#include "windowfront.h"

#include <QWebEngineHistory>

Frame::Frame(BrowserPage *page)
    : m_page(page)
{
}

bool Frame::isValid() const
{
    return !m_page.isNull();
}

QString Frame::GetURL() const
{
    return m_page ? m_page->url().toString(QUrl::FullyEncoded) : QString();
}

void Frame::LoadURL(const QString &url) const
{
    if (m_page)
        m_page->load(QUrl::fromUserInput(url));
}

void Frame::ExecuteJavaScript(const QString &code) const
{
    if (m_page)
        m_page->runScriptIfAlive(code);
}

Browser::Browser(BrowserView *view)
    : m_view(view)
{
}

bool Browser::isValid() const
{
    return !m_view.isNull();
}

bool Browser::IsSame(const Browser &other) const
{
    return m_view && m_view == other.m_view;
}

bool Browser::CanGoBack() const
{
    return m_view && m_view->browserPage()->previousGoodEntry() >= 0;
}

void Browser::GoBack() const
{
    goToEntry(m_view ? m_view->browserPage()->previousGoodEntry() : -1);
}

bool Browser::CanGoForward() const
{
    return m_view && m_view->browserPage()->nextGoodEntry() >= 0;
}

void Browser::GoForward() const
{
    goToEntry(m_view ? m_view->browserPage()->nextGoodEntry() : -1);
}

void Browser::goToEntry(int index) const
{
    if (!m_view || index < 0)
        return;
    QWebEngineHistory *history = m_view->history();
    history->goToItem(history->itemAt(index));
}

void Browser::Reload() const
{
    if (m_view)
        m_view->reload();
}

Frame Browser::GetMainFrame() const
{
    return Frame(page());
}

Frame Browser::GetFocusedFrame() const
{
    return Frame(page());
}

QWidget *Browser::window() const
{
    return m_view;
}

bool Browser::isPopup() const
{
    return m_view && m_view->isWindow();
}

void Browser::SendFocusEvent(bool focus) const
{
    if (!m_view)
        return;
    if (focus) {
        // Not while the window's activation is still queued: the activation
        // itself hands the focus on (the window's focus widget gets it), and
        // focusing now would only ask for an activation already under way.
        if (!WindowFront::focusAsksForActivation(m_view))
            m_view->setFocus(Qt::OtherFocusReason);
    } else if (m_view->hasFocus() || (m_view->focusProxy() && m_view->focusProxy()->hasFocus()))
        m_view->clearFocus();
}

BrowserView *Browser::view() const
{
    return m_view;
}

BrowserPage *Browser::page() const
{
    return m_view ? m_view->browserPage() : nullptr;
}
