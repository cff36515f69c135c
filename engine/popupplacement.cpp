#include "popupplacement.h"

#include <QtGlobal>

namespace PopupPlacement {

QRect keptInside(const QRect &frame, const QRect &available)
{
    if (available.isEmpty())
        return frame;
    QRect placed(frame.topLeft(), frame.size().boundedTo(available.size()));
    if (placed.right() > available.right())
        placed.moveRight(available.right());
    if (placed.bottom() > available.bottom())
        placed.moveBottom(available.bottom());
    // Left and top last: the title bar is what must stay reachable.
    if (placed.left() < available.left())
        placed.moveLeft(available.left());
    if (placed.top() < available.top())
        placed.moveTop(available.top());
    return placed;
}

QRect nearOpener(const QSize &clientSize, const QMargins &frameMargins, const QRect &openerFrame,
                 const QRect &available)
{
    const QSize frameSize = clientSize.grownBy(frameMargins);
    QRect frame(QPoint(0, 0), frameSize);
    frame.moveCenter(openerFrame.isValid() ? openerFrame.center() : available.center());
    return keptInside(frame, available);
}

QRect forRequest(const QRect &requestedClient, const QMargins &frameMargins, const QRect &openerFrame,
                 const QRect &available)
{
    const QSize clientSize = requestedClient.size().isEmpty() ? QSize(defaultWidth, defaultHeight)
                                                              : requestedClient.size();
    if (requestedClient.topLeft().isNull())
        return nearOpener(clientSize, frameMargins, openerFrame, available);
    const QRect frame(requestedClient.topLeft() - QPoint(frameMargins.left(), frameMargins.top()),
                      clientSize.grownBy(frameMargins));
    return keptInside(frame, available);
}

} // namespace PopupPlacement
