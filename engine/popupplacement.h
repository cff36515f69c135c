#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

// Where a popup window goes. Pages ask for a size and sometimes a position;
// the window must open where its user can reach it: near the window whose
// page opened it, with its frame (a window manager's title bar included)
// wholly inside the screen's available area.
namespace PopupPlacement {

// The size a popup gets until its page asks for one.
constexpr int defaultWidth = 800;
constexpr int defaultHeight = 600;

// The frame rectangle moved (and if need be shrunk) into available.
QRect keptInside(const QRect &frame, const QRect &available);

// The frame rectangle of a popup of clientSize: centred over the opener's
// frame, kept inside available.
QRect nearOpener(const QSize &clientSize, const QMargins &frameMargins, const QRect &openerFrame,
                 const QRect &available);

// The frame rectangle for a page's geometry request (client area, in screen
// coordinates). Chromium gives 0,0 when the page named no position; the
// popup then stays near its opener.
QRect forRequest(const QRect &requestedClient, const QMargins &frameMargins, const QRect &openerFrame,
                 const QRect &available);

} // namespace PopupPlacement
