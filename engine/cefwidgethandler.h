#pragma once

#include "browser.h"

#include <QString>

// What a browser's host widget hears of its browsers. The browser client
// (SimpleHandler) calls these on the GUI thread; the host implements them.
class CefWidgetHandler
{
public:
    virtual void OnFullscreenModeChange(bool fullscreen) = 0;
    virtual void OnLoadStart(Browser browser, Frame frame, int transitionType) = 0;
    virtual void OnLoadEnd(Browser browser, Frame frame, int httpStatusCode) = 0;
    virtual void OnLoadError(Browser browser, Frame frame, int errorCode, const QString &errorText,
                             const QString &failedUrl) = 0;
    virtual void OnAfterCreated(Browser browser) = 0;
    // true cancels the focus change.
    virtual bool OnSetFocus() = 0;
    virtual void OnGotFocus() = 0;
    virtual void OnProtocolExecution() = 0;
    virtual void OnRefreshRequest() = 0;

protected:
    // Not deleted through this interface: the host owns itself.
    ~CefWidgetHandler() = default;
};
