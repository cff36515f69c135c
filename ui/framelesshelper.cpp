#include "framelesshelper.h"

#include "windowfront.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QRubberBand>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

int sharedBorderWidth = 5;
int sharedTitleHeight = 30;

constexpr Qt::WindowStates notResizableStates = Qt::WindowFullScreen | Qt::WindowMaximized;

// The positions a frame of size may take on area with its title strip still
// to be grabbed there.
QRect reachableOrigins(const QSize &size, const QRect &area, int titleHeight)
{
    const int grip = qMin(qMin(size.width(), FramelessHelper::reachableTitleWidth), area.width());
    const int strip = qMax(1, qMin(qMin(size.height(), titleHeight), area.height()));
    return QRect(QPoint(area.left() - (size.width() - grip), area.top()),
                 QPoint(area.right() + 1 - grip, area.bottom() + 1 - strip));
}

} // namespace

struct FramelessHelper::Private
{
    QHash<QWidget *, WindowData *> windows;
    bool doubleClickMaximize = false;
    bool movable = false;
    bool resizable = false;
    bool rubberBandOnResize = false;
};

struct FramelessHelper::WindowData
{
    Private *helper = nullptr;
    QRubberBand *rubberBand = nullptr;
    QWidget *widget = nullptr;
    EdgeHit pressHit;
    EdgeHit hoverHit;
    bool cursorChanged = false;
    Qt::WindowFlags savedFlags;
    bool savedMouseTracking = false;
    bool savedHover = false;
    bool movePressed = false;
    bool resizePressed = false;
    // The platform has no loop of its own: the helper follows the mouse.
    bool followingMouse = false;
    QPoint pressGlobalPos;
    QPoint pressWindowPos;
    // The native window whose reports are watched, and its last report.
    QPointer<QWindow> window;
    Qt::WindowStates reportedState;

    void createRubberBand()
    {
        if (!rubberBand)
            rubberBand = new QRubberBand(QRubberBand::Rectangle);
    }
    void deleteRubberBand()
    {
        delete rubberBand;
        rubberBand = nullptr;
    }
};

FramelessHelper::FramelessHelper(QObject *parent)
    : QObject(parent)
    , d(new Private)
{
}

FramelessHelper::~FramelessHelper()
{
    const QList<QWidget *> widgets = d->windows.keys();
    for (QWidget *widget : widgets) {
        WindowData *data = d->windows.take(widget);
        widget->removeEventFilter(this);
        if (data->window)
            data->window->removeEventFilter(this);
        widget->setAttribute(Qt::WA_MouseTracking, data->savedMouseTracking);
        // Changing the flags re-creates the native window and hides it; only
        // flags that someone changed since the registration are put back.
        if (widget->windowFlags() != data->savedFlags) {
            const bool visible = widget->isVisible();
            widget->setWindowFlags(data->savedFlags);
            if (visible)
                widget->show();
        }
        widget->setAttribute(Qt::WA_Hover, data->savedHover);
        if (data->cursorChanged)
            widget->unsetCursor();
        data->deleteRubberBand();
        delete data;
    }
}

void FramelessHelper::setBorderWidth(int width)
{
    if (width != 0)
        sharedBorderWidth = width;
}

int FramelessHelper::borderWidth()
{
    return sharedBorderWidth;
}

void FramelessHelper::setTitleHeight(int height)
{
    if (height != 0)
        sharedTitleHeight = height;
}

int FramelessHelper::titleHeight()
{
    return sharedTitleHeight;
}

void FramelessHelper::setDoubleClickMaximize(bool on)
{
    d->doubleClickMaximize = on;
}

bool FramelessHelper::doubleClickMaximize() const
{
    return d->doubleClickMaximize;
}

void FramelessHelper::setMovable(bool on)
{
    d->movable = on;
}

bool FramelessHelper::isMovable() const
{
    return d->movable;
}

void FramelessHelper::setResizable(bool on)
{
    d->resizable = on;
}

bool FramelessHelper::isResizable() const
{
    return d->resizable;
}

void FramelessHelper::setRubberBandOnResize(bool on)
{
    d->rubberBandOnResize = on;
    for (WindowData *data : qAsConst(d->windows)) {
        if (on)
            data->createRubberBand();
        else
            data->deleteRubberBand();
    }
}

bool FramelessHelper::rubberBandOnResize() const
{
    return d->rubberBandOnResize;
}

void FramelessHelper::addWindow(QWidget *widget)
{
    if (!widget || d->windows.contains(widget))
        return;
    auto *data = new WindowData;
    data->helper = d.get();
    data->widget = widget;
    data->savedFlags = widget->windowFlags();
    data->savedMouseTracking = widget->testAttribute(Qt::WA_MouseTracking);
    data->savedHover = widget->testAttribute(Qt::WA_Hover);
    widget->setAttribute(Qt::WA_MouseTracking, true);
    widget->setAttribute(Qt::WA_Hover, true);
    if (d->rubberBandOnResize)
        data->createRubberBand();
    d->windows.insert(widget, data);
    widget->installEventFilter(this);
    watchWindowHandle(data);
    // A widget emits this before its children go, so the helper learns of it
    // before anything of the widget is torn down.
    connect(widget, &QObject::destroyed, this, &FramelessHelper::forgetWindow);
}

bool FramelessHelper::hasWindow(const QWidget *widget) const
{
    return dataFor(widget) != nullptr;
}

bool FramelessHelper::isMoving(const QWidget *widget) const
{
    const WindowData *data = dataFor(widget);
    return data && data->movePressed;
}

bool FramelessHelper::isResizing(const QWidget *widget) const
{
    const WindowData *data = dataFor(widget);
    return data && data->resizePressed;
}

QRubberBand *FramelessHelper::rubberBand(const QWidget *widget) const
{
    const WindowData *data = dataFor(widget);
    return data ? data->rubberBand : nullptr;
}

Qt::WindowStates FramelessHelper::shownState(const QWidget *widget) const
{
    const WindowData *data = dataFor(widget);
    if (!data || !WindowFront::platformDecidesWindowStates())
        return widget ? widget->windowState() & ~Qt::WindowActive : Qt::WindowNoState;
    return data->reportedState;
}

void FramelessHelper::watchWindowHandle(WindowData *data)
{
    QWindow *window = data->widget->windowHandle();
    if (window == data->window)
        return;
    if (data->window)
        data->window->removeEventFilter(this);
    data->window = window;
    // A new native window starts unshown; its compositor reports soon.
    data->reportedState = Qt::WindowNoState;
    if (window)
        window->installEventFilter(this);
}

void FramelessHelper::handleReportedState(WindowData *data)
{
    // Qt has already taken the report into the native window's state; the
    // widget hears of it only when it differs from what it requested.
    data->reportedState = data->window->windowStates() & ~Qt::WindowActive;
    emit shownStateChanged(data->widget);
}

FramelessHelper::WindowData *FramelessHelper::dataForWindow(const QObject *window) const
{
    for (WindowData *data : qAsConst(d->windows)) {
        if (data->window && static_cast<const QObject *>(data->window.data()) == window)
            return data;
    }
    return nullptr;
}

FramelessHelper::WindowData *FramelessHelper::dataFor(const QObject *object) const
{
    // Compared as objects: the object may be a dying widget, no longer safe
    // to cast.
    for (auto it = d->windows.constBegin(); it != d->windows.constEnd(); ++it) {
        if (static_cast<const QObject *>(it.key()) == object)
            return it.value();
    }
    return nullptr;
}

void FramelessHelper::forgetWindow(QObject *object)
{
    WindowData *data = dataFor(object);
    if (!data)
        return;
    d->windows.remove(data->widget);
    data->deleteRubberBand();
    delete data;
}

FramelessHelper::EdgeHit FramelessHelper::hitTest(const QPoint &globalPos, const QRect &frame, int borderWidth,
                                                  int titleHeight)
{
    const int x = frame.x();
    const int y = frame.y();
    const int w = frame.width();
    const int h = frame.height();
    EdgeHit hit;
    hit.inTitle = y <= globalPos.y() && globalPos.y() <= y + titleHeight;
    if (x <= globalPos.x() && globalPos.x() <= x + borderWidth)
        hit.edges |= Qt::LeftEdge;
    if (x + w - borderWidth <= globalPos.x() && globalPos.x() <= x + w)
        hit.edges |= Qt::RightEdge;
    if (y <= globalPos.y() && globalPos.y() <= y + borderWidth)
        hit.edges |= Qt::TopEdge;
    if (y + h - borderWidth <= globalPos.y() && globalPos.y() <= y + h)
        hit.edges |= Qt::BottomEdge;
    hit.onEdges = hit.edges != Qt::Edges();
    return hit;
}

FramelessHelper::EdgeHit FramelessHelper::hitTest(const QPoint &globalPos, const QRect &frame)
{
    return hitTest(globalPos, frame, sharedBorderWidth, sharedTitleHeight);
}

QRect FramelessHelper::resizedRect(const QRect &start, Qt::Edges edges, const QPoint &globalPos,
                                   const QSize &minimumSize, const QSize &maximumSize)
{
    QPoint topLeft = start.topLeft();
    QPoint bottomRight = start.bottomRight();
    if (edges & Qt::TopEdge)
        topLeft.setY(globalPos.y());
    if (edges & Qt::BottomEdge)
        bottomRight.setY(globalPos.y());
    if (edges & Qt::LeftEdge)
        topLeft.setX(globalPos.x());
    if (edges & Qt::RightEdge)
        bottomRight.setX(globalPos.x());
    QRect rect(topLeft, bottomRight);
    if (!rect.isValid())
        return QRect();
    const bool tooNarrow = minimumSize.width() > rect.width();
    const bool tooWide = maximumSize.width() > 0 && rect.width() > maximumSize.width();
    if (tooNarrow || tooWide) {
        if (edges & Qt::LeftEdge)
            rect.setLeft(start.left());
        else
            rect.setRight(start.right());
    }
    const bool tooLow = minimumSize.height() > rect.height();
    const bool tooHigh = maximumSize.height() > 0 && rect.height() > maximumSize.height();
    if (tooLow || tooHigh) {
        if (edges & Qt::TopEdge)
            rect.setTop(start.top());
        else
            rect.setBottom(start.bottom());
    }
    return rect;
}

QRect FramelessHelper::reachableFrame(const QRect &frame, const QList<QRect> &availableAreas, int titleHeight)
{
    QPoint best = frame.topLeft();
    int bestDistance = -1;
    for (const QRect &area : availableAreas) {
        if (area.isEmpty())
            continue;
        const QRect origins = reachableOrigins(frame.size(), area, titleHeight);
        const QPoint candidate(qBound(origins.left(), frame.x(), origins.right()),
                               qBound(origins.top(), frame.y(), origins.bottom()));
        const int distance = (candidate - frame.topLeft()).manhattanLength();
        if (bestDistance < 0 || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return QRect(best, frame.size());
}

bool FramelessHelper::isReachable(const QRect &frame, const QList<QRect> &availableAreas, int titleHeight)
{
    return reachableFrame(frame, availableAreas, titleHeight) == frame;
}

QList<QRect> FramelessHelper::availableAreas()
{
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    return areas;
}

QRect FramelessHelper::keepTitleReachable(const QRect &start, const QRect &resized, Qt::Edges edges,
                                          const QSize &minimumSize)
{
    const QList<QRect> areas = availableAreas();
    // A window that was out of reach already is not held back.
    if (isReachable(resized, areas, sharedTitleHeight) || !isReachable(start, areas, sharedTitleHeight))
        return resized;
    if (edges & Qt::TopEdge) {
        // The top follows the mouse: it stops where the strip is still in reach.
        QRect stopped = resized;
        stopped.setTop(reachableFrame(resized, areas, sharedTitleHeight).top());
        if (stopped.height() >= minimumSize.height() && isReachable(stopped, areas, sharedTitleHeight))
            return stopped;
    }
    return start;
}

Qt::CursorShape FramelessHelper::cursorShapeFor(Qt::Edges edges)
{
    const bool top = edges & Qt::TopEdge;
    const bool bottom = edges & Qt::BottomEdge;
    const bool left = edges & Qt::LeftEdge;
    const bool right = edges & Qt::RightEdge;
    if ((top && left) || (bottom && right))
        return Qt::SizeFDiagCursor;
    if ((top && right) || (bottom && left))
        return Qt::SizeBDiagCursor;
    if (left || right)
        return Qt::SizeHorCursor;
    if (top || bottom)
        return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

bool FramelessHelper::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::HoverMove:
        break;
    case QEvent::WindowStateChange:
        // Only the platform's own reports come spontaneously: the widget's
        // requests reach its native window as plain calls.
        if (event->spontaneous() && watched->isWindowType()) {
            if (WindowData *data = dataForWindow(watched))
                handleReportedState(data);
        }
        return QObject::eventFilter(watched, event);
    case QEvent::Show:
        // The native window exists by the time the widget is shown, and is
        // made anew when the widget's flags change.
        if (WindowData *data = dataFor(watched))
            watchWindowHandle(data);
        return QObject::eventFilter(watched, event);
    default:
        return QObject::eventFilter(watched, event);
    }
    WindowData *data = dataFor(watched);
    if (!data)
        return QObject::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress:
        handlePress(data, static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            handleRelease(data, data->widget->mapToGlobal(mouse->pos()));
        break;
    }
    case QEvent::MouseButtonDblClick:
        handleDoubleClick(data, static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseMove:
        handleMove(data, static_cast<QMouseEvent *>(event));
        break;
    case QEvent::HoverMove:
        // The cursor keeps the shape it had at the press while dragging.
        if (d->resizable && !data->movePressed && !data->resizePressed)
            updateCursor(data, data->widget->mapToGlobal(static_cast<QHoverEvent *>(event)->pos()));
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool FramelessHelper::usesRubberBand(const WindowData *data) const
{
    // Where only the compositor may size windows (Wayland), a band and a
    // setGeometry at the end would grow the window on the wrong side: the
    // platform's own interactive resize does it.
    return d->rubberBandOnResize && data->rubberBand && WindowFront::platformPlacesWindows();
}

void FramelessHelper::handlePress(WindowData *data, QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !(d->movable || d->resizable))
        return;
    QWidget *widget = data->widget;
    data->pressHit = hitTest(event->globalPos(), widget->frameGeometry());
    data->pressGlobalPos = event->globalPos();
    data->pressWindowPos = widget->pos();
    data->followingMouse = false;
    const bool canResize = !(shownState(widget) & notResizableStates);
    if (canResize && data->pressHit.onEdges && d->resizable)
        data->resizePressed = true;
    else if (data->pressHit.inTitle && d->movable)
        data->movePressed = true;
    if (!data->resizePressed)
        return;
    if (usesRubberBand(data)) {
        data->rubberBand->setGeometry(widget->frameGeometry());
        data->rubberBand->show();
    } else if (startSystemResize(widget, data->pressHit.edges)) {
        endAfterPlatformLoop(data, event->globalPos());
    } else {
        data->followingMouse = true;
    }
}

void FramelessHelper::handleMove(WindowData *data, QMouseEvent *event)
{
    if (!data->movePressed && !data->resizePressed)
        return;
    if (!(event->buttons() & Qt::LeftButton)) {
        // The release went elsewhere (a grab, a popup): it is over all the
        // same, and a stale press would start a move on a mere hover.
        handleRelease(data, event->globalPos());
        return;
    }
    if (data->resizePressed) {
        resizeTo(data, event->globalPos());
        return;
    }
    if (data->followingMouse) {
        moveTo(data, event->globalPos());
    } else if (startSystemMove(data->widget)) {
        endAfterPlatformLoop(data, event->globalPos());
    } else {
        data->followingMouse = true;
        moveTo(data, event->globalPos());
    }
}

void FramelessHelper::handleRelease(WindowData *data, const QPoint &globalPos)
{
    data->movePressed = false;
    data->resizePressed = false;
    data->followingMouse = false;
    updateCursor(data, globalPos);
    data->pressHit = EdgeHit();
    if (data->rubberBand && data->rubberBand->isVisible()) {
        data->rubberBand->hide();
        // The band outlines the frame; a window with a frame of its own gets
        // its client area inside that outline.
        QWidget *widget = data->widget;
        const QRect frame = widget->frameGeometry();
        const QRect client = widget->geometry();
        const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                               frame.right() - client.right(), frame.bottom() - client.bottom());
        widget->setGeometry(data->rubberBand->geometry().marginsRemoved(margins));
    }
}

void FramelessHelper::handleDoubleClick(WindowData *data, QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !d->doubleClickMaximize)
        return;
    data->pressHit = hitTest(event->globalPos(), data->widget->frameGeometry());
    if (!data->pressHit.inTitle)
        return;
    QWidget *widget = data->widget;
    // From the state shown, not the last request: a request the compositor
    // ignored must not turn the next double-click into its undoing.
    widget->setWindowState((shownState(widget) ^ Qt::WindowMaximized) & ~Qt::WindowFullScreen);
    widget->unsetCursor();
    data->cursorChanged = false;
}

void FramelessHelper::endAfterPlatformLoop(WindowData *data, const QPoint &globalPos)
{
    // From here the platform owns the mouse and the release goes to it, not
    // to this program. Without a release Qt keeps the pressed widget as the
    // receiver of every later mouse event, so hover and clicks on the other
    // widgets would stay dead until the next click: give Qt the release it
    // will not get.
    data->movePressed = false;
    data->resizePressed = false;
    data->followingMouse = false;
    data->pressHit = EdgeHit();
    QWindow *window = data->widget->windowHandle();
    if (!window)
        return;
    const QPointF local = window->mapFromGlobal(globalPos);
    QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonRelease, local, local, QPointF(globalPos),
                                                        Qt::LeftButton, Qt::NoButton,
                                                        QGuiApplication::keyboardModifiers()));
}

void FramelessHelper::moveTo(WindowData *data, const QPoint &globalPos)
{
    // Without a window manager a maximised window has nowhere to go.
    if (data->widget->windowState() & notResizableStates)
        return;
    // The mouse can leave every screen's usable area (a panel, the corner
    // of a smaller screen): the window stays where its title can be grabbed.
    const QRect wanted(data->pressWindowPos + (globalPos - data->pressGlobalPos), data->widget->frameGeometry().size());
    data->widget->move(reachableFrame(wanted, availableAreas(), sharedTitleHeight).topLeft());
}

void FramelessHelper::resizeTo(WindowData *data, const QPoint &globalPos)
{
    QWidget *widget = data->widget;
    const bool banded = usesRubberBand(data);
    // The band's geometry, not its frame: a band given the frame geometry of
    // the window would otherwise grow by its own frame margins at every step.
    const QRect start = banded ? data->rubberBand->geometry() : widget->frameGeometry();
    QRect rect = resizedRect(start, data->pressHit.edges, globalPos, widget->minimumSize(), widget->maximumSize());
    if (!rect.isValid())
        return;
    rect = keepTitleReachable(start, rect, data->pressHit.edges, widget->minimumSize());
    if (banded)
        data->rubberBand->setGeometry(rect);
    else if (data->followingMouse)
        widget->setGeometry(rect);
}

void FramelessHelper::updateCursor(WindowData *data, const QPoint &globalPos)
{
    QWidget *widget = data->widget;
    if (!d->resizable || (shownState(widget) & notResizableStates)) {
        if (data->cursorChanged) {
            widget->unsetCursor();
            data->cursorChanged = false;
        }
        return;
    }
    data->hoverHit = hitTest(globalPos, widget->frameGeometry());
    const Qt::CursorShape shape = cursorShapeFor(data->hoverHit.edges);
    if (shape != Qt::ArrowCursor) {
        widget->setCursor(shape);
        data->cursorChanged = true;
    } else if (data->cursorChanged) {
        widget->unsetCursor();
        data->cursorChanged = false;
    }
}

bool FramelessHelper::startSystemMove(QWidget *widget)
{
    QWindow *window = widget->windowHandle();
    return window && window->startSystemMove();
}

bool FramelessHelper::startSystemResize(QWidget *widget, Qt::Edges edges)
{
    QWindow *window = widget->windowHandle();
    return window && window->startSystemResize(edges);
}
