#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <memory>

class QMouseEvent;
class QRubberBand;
class QWidget;

// Gives frameless top-level widgets back what the system frame did: a left
// press in the title strip moves the window, one on a border strip resizes it
// (through a rubber band or the platform's resize), a double-click in the
// title strip toggles maximise, and hovering a border strip shows the resize
// cursor. The helper only watches: it never consumes an event.
//
// The platform's move and resize loops take the mouse away from the program,
// which then never sees the button go up (X11 does this), so the helper ends
// the press itself as soon as such a loop has started. Where the platform has
// no such loop (no window manager), the helper moves or resizes the window
// itself, following the mouse until the release. Whatever the helper moves
// or resizes itself keeps its title strip where it can be grabbed again.
//
// Where the compositor decides a window's state (Wayland), a request changes
// the widget's state at once whether or not the compositor follows it: the
// helper keeps the state the compositor reported, and its double-click, its
// resizing and shownState() go by that.
//
// A registered widget must outlive the helper, or at least not be destroyed
// while it is being dragged; a widget that is destroyed first is forgotten.
class FramelessHelper : public QObject
{
    Q_OBJECT
public:
    struct EdgeHit
    {
        Qt::Edges edges;
        bool inTitle = false;
        bool onEdges = false;
    };

    explicit FramelessHelper(QObject *parent = nullptr);
    ~FramelessHelper() override;

    // Shared by every helper in the process; 0 keeps the current value.
    static void setBorderWidth(int width);
    static int borderWidth();
    static void setTitleHeight(int height);
    static int titleHeight();

    void setDoubleClickMaximize(bool on);
    bool doubleClickMaximize() const;
    void setMovable(bool on);
    bool isMovable() const;
    void setResizable(bool on);
    bool isResizable() const;
    void setRubberBandOnResize(bool on);
    bool rubberBandOnResize() const;

    // Registers a top-level widget; a second call for the same one does
    // nothing.
    void addWindow(QWidget *widget);
    bool hasWindow(const QWidget *widget) const;

    bool isMoving(const QWidget *widget) const;
    bool isResizing(const QWidget *widget) const;
    QRubberBand *rubberBand(const QWidget *widget) const;

    // The state the window is shown in: the compositor's last word where it
    // decides, else the widget's own state.
    Qt::WindowStates shownState(const QWidget *widget) const;

    // The strips a global point falls in for a window frame. Every bound is
    // inclusive, and only one coordinate is tested per strip: the top border
    // lies inside the title strip.
    static EdgeHit hitTest(const QPoint &globalPos, const QRect &frame, int borderWidth, int titleHeight);
    static EdgeHit hitTest(const QPoint &globalPos, const QRect &frame);

    // The frame after dragging the given edges of start to globalPos. An
    // invalid (null) result means the drag went past the opposite side and the
    // frame should stay as it is. A side whose move would break the minimum or
    // maximum size stays where it was.
    static QRect resizedRect(const QRect &start, Qt::Edges edges, const QPoint &globalPos,
                             const QSize &minimumSize, const QSize &maximumSize = QSize());

    // Where frame has to go so that its title strip can still be grabbed:
    // the whole strip's height, and reachableTitleWidth of its width (all of
    // a narrower one), on one of the available areas. The nearest such
    // place; frame itself when it is reachable or there are no areas.
    static QRect reachableFrame(const QRect &frame, const QList<QRect> &availableAreas, int titleHeight);
    static bool isReachable(const QRect &frame, const QList<QRect> &availableAreas, int titleHeight);
    static constexpr int reachableTitleWidth = 100;

    // The resize cursor for edges; Qt::ArrowCursor where there is none.
    static Qt::CursorShape cursorShapeFor(Qt::Edges edges);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // The compositor reported a state for widget's window (also one that
    // only confirms the request).
    void shownStateChanged(QWidget *widget);

protected:
    // The platform's loops; false where the platform has none. Overridable so
    // that a helper can be driven without a window manager.
    virtual bool startSystemMove(QWidget *widget);
    virtual bool startSystemResize(QWidget *widget, Qt::Edges edges);

private:
    struct Private;
    struct WindowData;

    WindowData *dataFor(const QObject *object) const;
    WindowData *dataForWindow(const QObject *window) const;
    void watchWindowHandle(WindowData *data);
    void handleReportedState(WindowData *data);
    void forgetWindow(QObject *object);
    bool usesRubberBand(const WindowData *data) const;
    void handlePress(WindowData *data, QMouseEvent *event);
    void handleMove(WindowData *data, QMouseEvent *event);
    void handleRelease(WindowData *data, const QPoint &globalPos);
    void handleDoubleClick(WindowData *data, QMouseEvent *event);
    void endAfterPlatformLoop(WindowData *data, const QPoint &globalPos);
    void moveTo(WindowData *data, const QPoint &globalPos);
    void resizeTo(WindowData *data, const QPoint &globalPos);
    void updateCursor(WindowData *data, const QPoint &globalPos);
    static QList<QRect> availableAreas();
    static QRect keepTitleReachable(const QRect &start, const QRect &resized, Qt::Edges edges,
                                    const QSize &minimumSize);

    std::unique_ptr<Private> d;
};
