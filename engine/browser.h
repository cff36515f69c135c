#pragma once

#include <QPointer>
#include <QString>

class BrowserView;
class BrowserPage;
class QWidget;

// The main frame of one browser. Qt WebEngine has no frame objects and
// reports every load of the main frame, so this is all a frame can be here.
class Frame
{
public:
    Frame() = default;
    explicit Frame(BrowserPage *page);

    bool isValid() const;
    QString GetURL() const;
    void LoadURL(const QString &url) const;
    // Runs script in the frame's document; skipped while the renderer is gone.
    void ExecuteJavaScript(const QString &code) const;

private:
    QPointer<BrowserPage> m_page;
};

// A reference to one browser (a page in its view). Copies refer to the same
// browser; a reference to a browser that has closed is still safe to use and
// does nothing.
class Browser
{
public:
    Browser() = default;
    explicit Browser(BrowserView *view);

    bool isValid() const;
    explicit operator bool() const { return isValid(); }
    bool IsSame(const Browser &other) const;

    // Entries whose load failed are skipped: going back from the offline
    // page reaches the page before the failure.
    bool CanGoBack() const;
    void GoBack() const;
    bool CanGoForward() const;
    void GoForward() const;
    void Reload() const;
    Frame GetMainFrame() const;
    Frame GetFocusedFrame() const;

    // The browser's own widget ("native window"): a child of its host widget,
    // or a top-level window for popups and developer tools.
    QWidget *window() const;
    bool isPopup() const;
    // Gives the browser the keyboard focus, or takes it away.
    void SendFocusEvent(bool focus) const;

    BrowserView *view() const;
    BrowserPage *page() const;

private:
    void goToEntry(int index) const;

    QPointer<BrowserView> m_view;
};
