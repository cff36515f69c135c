#pragma once

#include <QPointer>
#include <QSharedPointer>
#include <QWebEngineView>

class BrowserPage;
class BrowserViewClient;
class QDropEvent;
class QWebEngineProfile;

// The widget of one browser: a hidden child of its host widget, or a
// top-level window for a popup. It keeps its browser client alive for as long
// as it lives and reports the view-level events (keys, focus, context menu,
// close) to it. Drags from outside the page are refused; the page's own
// drags work as in any browser.
class BrowserView : public QWebEngineView
{
    Q_OBJECT
public:
    BrowserView(const QSharedPointer<BrowserViewClient> &client, QWebEngineProfile *profile, QWidget *parent);
    ~BrowserView() override;

    BrowserPage *browserPage() const { return m_page; }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void watchFocusProxy();
    // Whether a drag began in this browser's own page.
    bool startedHere(const QDropEvent *event) const;
    void reportClose();

    QSharedPointer<BrowserViewClient> m_client;
    QPointer<QWidget> m_watchedProxy;
    bool m_closeReported = false;
    BrowserPage *m_page = nullptr;
};
