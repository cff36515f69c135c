#pragma once

class BrowserView;
class QKeyEvent;
class QMenu;

// What a browser's view reports to the client it was made for. The view
// knows nothing of that client but this, so the client can build on views.
// Called on the GUI thread, with the view still alive.
class BrowserViewClient
{
public:
    // Once per view: when its window closes, or when it is deleted unclosed.
    virtual void viewClosing(BrowserView *view) = 0;
    // Seen, never swallowed: the page gets the key either way.
    virtual void viewKeyPressed(BrowserView *view, const QKeyEvent &event) = 0;
    // true refuses the view the keyboard focus.
    virtual bool viewFocusRequested(BrowserView *view) = 0;
    virtual void viewFocused(BrowserView *view) = 0;
    // The menu may be trimmed; one left without entries is not shown.
    virtual void viewMenuRequested(BrowserView *view, QMenu *menu) = 0;

protected:
    // Never deleted through this interface: the view only shares ownership.
    ~BrowserViewClient() = default;
};
