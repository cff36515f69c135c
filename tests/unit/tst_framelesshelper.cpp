// Moving, resizing and maximising frameless windows by their title strip and
// borders, with the store window's settings (title strip 50, border 5). The
// offscreen platform has no window manager, so the platform's move loop is
// unavailable there; where a test needs one, a helper pretends to have it.
#include "framelesshelper.h"

#include <QApplication>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRubberBand>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

namespace {

constexpr int title = 50;
constexpr int border = 5;
const QRect startGeometry(200, 150, 800, 600);
const QSize minimumSize(696, 446);

// A helper on a platform whose window manager takes over the move: the
// release then goes to the window manager, never to the program.
class GrabbingHelper : public FramelessHelper
{
public:
    using FramelessHelper::FramelessHelper;
    int systemMoves = 0;

protected:
    bool startSystemMove(QWidget *) override
    {
        ++systemMoves;
        return true;
    }
};

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &globalPos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    const QPointF local = widget->mapFromGlobal(globalPos);
    QMouseEvent event(type, local, local, QPointF(globalPos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void press(QWidget *widget, const QPoint &globalPos)
{
    sendMouse(widget, QEvent::MouseButtonPress, globalPos, Qt::LeftButton, Qt::LeftButton);
}

void drag(QWidget *widget, const QPoint &globalPos)
{
    sendMouse(widget, QEvent::MouseMove, globalPos, Qt::NoButton, Qt::LeftButton);
}

void release(QWidget *widget, const QPoint &globalPos)
{
    sendMouse(widget, QEvent::MouseButtonRelease, globalPos, Qt::LeftButton, Qt::NoButton);
}

void doubleClick(QWidget *widget, const QPoint &globalPos)
{
    sendMouse(widget, QEvent::MouseButtonDblClick, globalPos, Qt::LeftButton, Qt::LeftButton);
}

void hover(QWidget *widget, const QPoint &globalPos)
{
    const QPoint local = widget->mapFromGlobal(globalPos);
    QHoverEvent event(QEvent::HoverMove, local, local);
    QCoreApplication::sendEvent(widget, &event);
}

// Through the window, as the platform delivers it: Qt then picks the widget
// under the mouse and keeps track of which one holds the press.
void sendToWindow(QWidget *window, QEvent::Type type, const QPoint &local, Qt::MouseButton button,
                  Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, local, window->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(window->windowHandle(), &event);
}

Qt::CursorShape cursorOf(const QWidget *widget)
{
    return widget->cursor().shape();
}

} // namespace

class FramelessHelperTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hitTest_data();
    void hitTest();
    void cursorShapes_data();
    void cursorShapes();
    void resizedRect_data();
    void resizedRect();

    void pressStartsResizeOrMove_data();
    void pressStartsResizeOrMove();
    void hoverCursor_data();
    void hoverCursor();
    void doubleClickInTitleTogglesMaximised();
    void rubberBandResizeHonoursMinimumSize();
    void cornerDragResizesBothEdges();
    void sharedValuesAndZero();
    void destroyingTheHelperRestoresTheWidget_data();
    void destroyingTheHelperRestoresTheWidget();
    void widgetDestroyedFirstIsForgotten();
    void rubberBandFollowsTheOption();
    void platformMoveLeavesNoStuckPress();
    void moveFollowsTheMouseWithoutWindowManager();
    void resizeFollowsTheMouseWithoutWindowManager();
    void lostReleaseEndsTheDrag();

private:
    // A window set up as the store window sets up its own.
    template<typename Helper = FramelessHelper>
    Helper *setUpWindow()
    {
        m_window = new QWidget(nullptr, Qt::FramelessWindowHint);
        m_window->setMinimumSize(minimumSize);
        m_window->setGeometry(startGeometry);
        auto *helper = new Helper(m_window);
        helper->setTitleHeight(title);
        helper->setBorderWidth(border);
        helper->setDoubleClickMaximize(true);
        helper->setMovable(true);
        helper->setResizable(true);
        helper->setRubberBandOnResize(true);
        helper->addWindow(m_window);
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window))
            return nullptr;
        return helper;
    }

    QPoint at(int x, int y) const { return m_window->geometry().topLeft() + QPoint(x, y); }

    QPointer<QWidget> m_window;
};

void FramelessHelperTest::init()
{
    FramelessHelper::setTitleHeight(title);
    FramelessHelper::setBorderWidth(border);
}

void FramelessHelperTest::cleanup()
{
    delete m_window;
}

void FramelessHelperTest::hitTest_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("edges");
    QTest::addColumn<bool>("inTitle");
    const int top = Qt::TopEdge, left = Qt::LeftEdge, right = Qt::RightEdge, bottom = Qt::BottomEdge;
    // Frame (100, 100) 800 x 600: right side at 900, bottom at 700.
    QTest::newRow("3 below the top") << QPoint(500, 103) << top << true;
    QTest::newRow("20 below the top") << QPoint(500, 120) << 0 << true;
    QTest::newRow("top border's last line") << QPoint(500, 105) << top << true;
    QTest::newRow("just below the top border") << QPoint(500, 106) << 0 << true;
    QTest::newRow("title's last line") << QPoint(500, 150) << 0 << true;
    QTest::newRow("below the title") << QPoint(500, 151) << 0 << false;
    QTest::newRow("top-left corner") << QPoint(102, 102) << (top | left) << true;
    QTest::newRow("top-right corner") << QPoint(897, 104) << (top | right) << true;
    QTest::newRow("bottom-left corner") << QPoint(105, 695) << (bottom | left) << false;
    QTest::newRow("bottom-right corner") << QPoint(900, 700) << (bottom | right) << false;
    QTest::newRow("left border") << QPoint(100, 400) << left << false;
    QTest::newRow("left border's last column") << QPoint(105, 400) << left << false;
    QTest::newRow("inside the left border") << QPoint(106, 400) << 0 << false;
    QTest::newRow("left border in the title") << QPoint(101, 130) << left << true;
    QTest::newRow("right border") << QPoint(895, 400) << right << false;
    QTest::newRow("inside the right border") << QPoint(894, 400) << 0 << false;
    QTest::newRow("bottom border") << QPoint(500, 695) << bottom << false;
    QTest::newRow("middle") << QPoint(500, 400) << 0 << false;
    QTest::newRow("above the window") << QPoint(500, 99) << 0 << false;
}

void FramelessHelperTest::hitTest()
{
    QFETCH(QPoint, point);
    QFETCH(int, edges);
    QFETCH(bool, inTitle);
    const QRect frame(100, 100, 800, 600);
    const FramelessHelper::EdgeHit hit = FramelessHelper::hitTest(point, frame, border, title);
    QCOMPARE(int(hit.edges), edges);
    QCOMPARE(hit.inTitle, inTitle);
    QCOMPARE(hit.onEdges, edges != 0);
    // The shared values give the same answer.
    const FramelessHelper::EdgeHit shared = FramelessHelper::hitTest(point, frame);
    QCOMPARE(int(shared.edges), edges);
    QCOMPARE(shared.inTitle, inTitle);
}

void FramelessHelperTest::cursorShapes_data()
{
    QTest::addColumn<int>("edges");
    QTest::addColumn<int>("shape");
    QTest::newRow("none") << 0 << int(Qt::ArrowCursor);
    QTest::newRow("top-left") << int(Qt::TopEdge | Qt::LeftEdge) << int(Qt::SizeFDiagCursor);
    QTest::newRow("bottom-right") << int(Qt::BottomEdge | Qt::RightEdge) << int(Qt::SizeFDiagCursor);
    QTest::newRow("top-right") << int(Qt::TopEdge | Qt::RightEdge) << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom-left") << int(Qt::BottomEdge | Qt::LeftEdge) << int(Qt::SizeBDiagCursor);
    QTest::newRow("left") << int(Qt::LeftEdge) << int(Qt::SizeHorCursor);
    QTest::newRow("right") << int(Qt::RightEdge) << int(Qt::SizeHorCursor);
    QTest::newRow("top") << int(Qt::TopEdge) << int(Qt::SizeVerCursor);
    QTest::newRow("bottom") << int(Qt::BottomEdge) << int(Qt::SizeVerCursor);
}

void FramelessHelperTest::cursorShapes()
{
    QFETCH(int, edges);
    QFETCH(int, shape);
    QCOMPARE(int(FramelessHelper::cursorShapeFor(Qt::Edges(edges))), shape);
}

void FramelessHelperTest::resizedRect_data()
{
    QTest::addColumn<int>("edges");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QSize>("maximum");
    QTest::addColumn<QRect>("expected");
    // Start (100, 100) 800 x 600; the minimum is 696 x 446.
    const QRect start(100, 100, 800, 600);
    QTest::newRow("left edge outwards") << int(Qt::LeftEdge) << QPoint(50, 300) << QSize() << QRect(50, 100, 850, 600);
    QTest::newRow("left edge inwards") << int(Qt::LeftEdge) << QPoint(180, 300) << QSize() << QRect(180, 100, 720, 600);
    QTest::newRow("left edge past the minimum") << int(Qt::LeftEdge) << QPoint(300, 300) << QSize() << start;
    QTest::newRow("right edge past the minimum") << int(Qt::RightEdge) << QPoint(700, 300) << QSize() << start;
    QTest::newRow("right edge") << int(Qt::RightEdge) << QPoint(999, 300) << QSize() << QRect(100, 100, 900, 600);
    QTest::newRow("top edge") << int(Qt::TopEdge) << QPoint(500, 80) << QSize() << QRect(100, 80, 800, 620);
    QTest::newRow("top edge past the minimum") << int(Qt::TopEdge) << QPoint(500, 300) << QSize() << start;
    QTest::newRow("bottom edge") << int(Qt::BottomEdge) << QPoint(500, 599) << QSize() << QRect(100, 100, 800, 500);
    QTest::newRow("corner, width too small") << int(Qt::TopEdge | Qt::LeftEdge) << QPoint(300, 50) << QSize()
                                             << QRect(100, 50, 800, 650);
    QTest::newRow("past the opposite side") << int(Qt::LeftEdge) << QPoint(950, 300) << QSize() << QRect();
    QTest::newRow("beyond the maximum") << int(Qt::RightEdge) << QPoint(1200, 300) << QSize(1000, 1000) << start;
    QTest::newRow("within the maximum") << int(Qt::RightEdge) << QPoint(1099, 300) << QSize(1000, 1000)
                                        << QRect(100, 100, 1000, 600);
}

void FramelessHelperTest::resizedRect()
{
    QFETCH(int, edges);
    QFETCH(QPoint, point);
    QFETCH(QSize, maximum);
    QFETCH(QRect, expected);
    const QRect start(100, 100, 800, 600);
    QCOMPARE(FramelessHelper::resizedRect(start, Qt::Edges(edges), point, minimumSize, maximum), expected);
}

void FramelessHelperTest::pressStartsResizeOrMove_data()
{
    QTest::addColumn<QPoint>("local");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<bool>("resizing");
    QTest::addColumn<bool>("moving");
    QTest::newRow("3 below the top") << QPoint(400, 3) << false << true << false;
    QTest::newRow("20 below the top") << QPoint(400, 20) << false << false << true;
    QTest::newRow("corner") << QPoint(2, 2) << false << true << false;
    QTest::newRow("bottom border") << QPoint(400, 598) << false << true << false;
    QTest::newRow("body") << QPoint(400, 300) << false << false << false;
    QTest::newRow("maximised, top border") << QPoint(400, 3) << true << false << true;
    QTest::newRow("maximised, title") << QPoint(400, 20) << true << false << true;
    QTest::newRow("maximised, bottom border") << QPoint(400, -3) << true << false << false;
}

void FramelessHelperTest::pressStartsResizeOrMove()
{
    QFETCH(QPoint, local);
    QFETCH(bool, maximised);
    QFETCH(bool, resizing);
    QFETCH(bool, moving);
    FramelessHelper *helper = setUpWindow();
    QVERIFY(helper);
    if (maximised) {
        m_window->showMaximized();
        QTRY_VERIFY(m_window->isMaximized());
    }
    // Negative coordinates count from the bottom.
    const QRect frame = m_window->frameGeometry();
    const QPoint point = frame.topLeft() + QPoint(local.x(), local.y() >= 0 ? local.y() : frame.height() + local.y());
    const QRect before = m_window->geometry();
    press(m_window, point);
    QCOMPARE(helper->isResizing(m_window), resizing);
    QCOMPARE(helper->isMoving(m_window), moving);
    QCOMPARE(helper->rubberBand(m_window)->isVisible(), resizing);
    if (resizing)
        QCOMPARE(helper->rubberBand(m_window)->geometry(), frame);
    release(m_window, point);
    QVERIFY(!helper->isResizing(m_window));
    QVERIFY(!helper->isMoving(m_window));
    QVERIFY(!helper->rubberBand(m_window)->isVisible());
    QCOMPARE(m_window->geometry(), before);
}

void FramelessHelperTest::hoverCursor_data()
{
    QTest::addColumn<QPoint>("local");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<int>("shape");
    QTest::newRow("top-left corner") << QPoint(2, 2) << false << int(Qt::SizeFDiagCursor);
    QTest::newRow("top-right corner") << QPoint(797, 3) << false << int(Qt::SizeBDiagCursor);
    QTest::newRow("left border") << QPoint(1, 300) << false << int(Qt::SizeHorCursor);
    QTest::newRow("top border") << QPoint(400, 4) << false << int(Qt::SizeVerCursor);
    QTest::newRow("title") << QPoint(400, 20) << false << int(Qt::ArrowCursor);
    QTest::newRow("maximised, corner") << QPoint(2, 2) << true << int(Qt::ArrowCursor);
    QTest::newRow("maximised, left border") << QPoint(1, 300) << true << int(Qt::ArrowCursor);
}

void FramelessHelperTest::hoverCursor()
{
    QFETCH(QPoint, local);
    QFETCH(bool, maximised);
    QFETCH(int, shape);
    QVERIFY(setUpWindow());
    if (maximised) {
        m_window->showMaximized();
        QTRY_VERIFY(m_window->isMaximized());
    }
    hover(m_window, at(local.x(), local.y()));
    QCOMPARE(int(cursorOf(m_window)), shape);
    // Back in the body the window's own cursor returns.
    hover(m_window, at(400, 300));
    QCOMPARE(cursorOf(m_window), Qt::ArrowCursor);
}

void FramelessHelperTest::doubleClickInTitleTogglesMaximised()
{
    QVERIFY(setUpWindow());
    hover(m_window, at(400, 2));
    QCOMPARE(cursorOf(m_window), Qt::SizeVerCursor);

    doubleClick(m_window, at(400, 20));
    QTRY_VERIFY(m_window->isMaximized());
    QCOMPARE(cursorOf(m_window), Qt::ArrowCursor);

    // Below the title nothing happens.
    doubleClick(m_window, at(400, 300));
    QVERIFY(m_window->isMaximized());

    doubleClick(m_window, at(400, 20));
    QTRY_VERIFY(!m_window->isMaximized());

    // Fullscreen is left for the normal state, not for maximised.
    m_window->setWindowState(Qt::WindowFullScreen);
    QTRY_VERIFY(m_window->isFullScreen());
    doubleClick(m_window, at(400, 20));
    QTRY_VERIFY(m_window->isMaximized());
    QVERIFY(!m_window->isFullScreen());
}

void FramelessHelperTest::rubberBandResizeHonoursMinimumSize()
{
    FramelessHelper *helper = setUpWindow();
    QVERIFY(helper);
    const QRect before = m_window->geometry();
    QRubberBand *band = helper->rubberBand(m_window);

    // The dragged side goes to the mouse.
    const QRect dragged(before.x() + 60, before.y(), before.width() - 60, before.height());
    press(m_window, at(2, 300));
    drag(m_window, at(60, 300));
    QCOMPARE(band->geometry(), dragged);
    // Past the minimum width the left edge stays where it was.
    drag(m_window, at(300, 300));
    QCOMPARE(band->geometry(), dragged);
    // The window itself changes only at the release.
    QCOMPARE(m_window->geometry(), before);
    release(m_window, at(300, 300));
    QTRY_COMPARE(m_window->geometry(), dragged);
    QVERIFY(m_window->width() >= minimumSize.width());

    // Straight past the minimum: nothing changes at all.
    const QRect second = m_window->geometry();
    press(m_window, at(1, 300));
    drag(m_window, at(400, 300));
    release(m_window, at(400, 300));
    QTRY_COMPARE(m_window->geometry(), second);
}

void FramelessHelperTest::cornerDragResizesBothEdges()
{
    FramelessHelper *helper = setUpWindow();
    QVERIFY(helper);
    const QRect before = m_window->geometry();
    press(m_window, at(799, 599));
    drag(m_window, at(849, 629));
    QCOMPARE(helper->rubberBand(m_window)->geometry().size(), before.size() + QSize(50, 30));
    release(m_window, at(849, 629));
    QTRY_COMPARE(m_window->geometry(), QRect(before.topLeft(), before.size() + QSize(50, 30)));
}

void FramelessHelperTest::sharedValuesAndZero()
{
    FramelessHelper *first = setUpWindow();
    QVERIFY(first);
    FramelessHelper other;

    other.setBorderWidth(9);
    QCOMPARE(FramelessHelper::borderWidth(), 9);
    first->setBorderWidth(0);
    QCOMPARE(FramelessHelper::borderWidth(), 9);
    other.setTitleHeight(0);
    QCOMPARE(FramelessHelper::titleHeight(), title);

    // The first helper's window now resizes from 9 pixels in.
    press(m_window, at(400, 8));
    QVERIFY(first->isResizing(m_window));
    release(m_window, at(400, 8));

    other.setTitleHeight(12);
    press(m_window, at(400, 20));
    QVERIFY(!first->isMoving(m_window));
    release(m_window, at(400, 20));
}

void FramelessHelperTest::destroyingTheHelperRestoresTheWidget_data()
{
    QTest::addColumn<bool>("hadAttributes");
    QTest::addColumn<bool>("flagsChanged");
    QTest::newRow("plain widget") << false << false;
    QTest::newRow("flags changed after registration") << false << true;
    QTest::newRow("widget tracked the mouse before") << true << false;
}

void FramelessHelperTest::destroyingTheHelperRestoresTheWidget()
{
    QFETCH(bool, hadAttributes);
    QFETCH(bool, flagsChanged);
    QWidget widget(nullptr, Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    const Qt::WindowFlags flags = widget.windowFlags();
    widget.setAttribute(Qt::WA_MouseTracking, hadAttributes);
    widget.setAttribute(Qt::WA_Hover, hadAttributes);
    widget.resize(400, 300);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));

    auto *helper = new FramelessHelper;
    helper->setResizable(true);
    helper->setRubberBandOnResize(true);
    helper->addWindow(&widget);
    QVERIFY(widget.testAttribute(Qt::WA_MouseTracking));
    QVERIFY(widget.testAttribute(Qt::WA_Hover));
    QPointer<QRubberBand> band = helper->rubberBand(&widget);
    QVERIFY(band);
    hover(&widget, widget.mapToGlobal(QPoint(1, 1)));
    QCOMPARE(cursorOf(&widget), Qt::SizeFDiagCursor);
    if (flagsChanged) {
        widget.setWindowFlags(flags | Qt::WindowStaysOnTopHint);
        widget.show();
    }

    delete helper;
    QCOMPARE(widget.windowFlags(), flags);
    QCOMPARE(widget.testAttribute(Qt::WA_MouseTracking), hadAttributes);
    QCOMPARE(widget.testAttribute(Qt::WA_Hover), hadAttributes);
    QCOMPARE(cursorOf(&widget), Qt::ArrowCursor);
    QVERIFY(band.isNull());
    QVERIFY(widget.isVisible());
}

void FramelessHelperTest::widgetDestroyedFirstIsForgotten()
{
    FramelessHelper helper;
    helper.setRubberBandOnResize(true);
    auto *widget = new QWidget;
    helper.addWindow(widget);
    helper.addWindow(widget);
    QPointer<QRubberBand> band = helper.rubberBand(widget);
    QVERIFY(band);
    delete widget;
    QVERIFY(!helper.hasWindow(widget));
    QVERIFY(band.isNull());
}

void FramelessHelperTest::rubberBandFollowsTheOption()
{
    FramelessHelper *helper = setUpWindow();
    QVERIFY(helper);
    QVERIFY(helper->rubberBand(m_window));
    helper->setRubberBandOnResize(false);
    QVERIFY(!helper->rubberBand(m_window));
    helper->setRubberBandOnResize(true);
    QVERIFY(helper->rubberBand(m_window));
    QVERIFY(!helper->rubberBand(m_window)->parent());
}

void FramelessHelperTest::platformMoveLeavesNoStuckPress()
{
    auto *helper = setUpWindow<GrabbingHelper>();
    QVERIFY(helper);
    auto *button = new QPushButton(QStringLiteral("title button"), m_window);
    button->setGeometry(700, 5, 40, 40);
    button->show();
    QSignalSpy clicked(button, &QPushButton::clicked);

    sendToWindow(m_window, QEvent::MouseButtonPress, QPoint(300, 20), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(helper->isMoving(m_window));
    sendToWindow(m_window, QEvent::MouseMove, QPoint(305, 22), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(helper->systemMoves, 1);
    // The window manager has the mouse now and keeps the release.
    QVERIFY(!helper->isMoving(m_window));
    QCoreApplication::processEvents();

    // Plain moves afterwards start nothing and reach the widget under them.
    sendToWindow(m_window, QEvent::MouseMove, QPoint(400, 25), Qt::NoButton, Qt::NoButton);
    sendToWindow(m_window, QEvent::MouseMove, QPoint(720, 25), Qt::NoButton, Qt::NoButton);
    QCOMPARE(helper->systemMoves, 1);
    QVERIFY(button->underMouse());

    // Hover cursors work at once.
    hover(m_window, at(1, 300));
    QCOMPARE(cursorOf(m_window), Qt::SizeHorCursor);

    // And so do clicks.
    sendToWindow(m_window, QEvent::MouseButtonPress, QPoint(720, 25), Qt::LeftButton, Qt::LeftButton);
    sendToWindow(m_window, QEvent::MouseButtonRelease, QPoint(720, 25), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(clicked.count(), 1);
    QVERIFY(!helper->isMoving(m_window));
}

void FramelessHelperTest::moveFollowsTheMouseWithoutWindowManager()
{
    FramelessHelper *helper = setUpWindow();
    QVERIFY(helper);
    QVERIFY(!m_window->windowHandle()->startSystemMove());
    const QPoint start = m_window->pos();
    const QPoint grip = at(300, 20);

    press(m_window, grip);
    drag(m_window, grip + QPoint(30, 40));
    QTRY_COMPARE(m_window->pos(), start + QPoint(30, 40));
    QVERIFY(helper->isMoving(m_window));
    // Each step is measured from the press, not added up.
    drag(m_window, grip + QPoint(-20, 10));
    QTRY_COMPARE(m_window->pos(), start + QPoint(-20, 10));
    release(m_window, grip + QPoint(-20, 10));
    QVERIFY(!helper->isMoving(m_window));

    // After the release the mouse moves freely again.
    sendMouse(m_window, QEvent::MouseMove, grip + QPoint(200, 200), Qt::NoButton, Qt::NoButton);
    QCoreApplication::processEvents();
    QCOMPARE(m_window->pos(), start + QPoint(-20, 10));
}

void FramelessHelperTest::resizeFollowsTheMouseWithoutWindowManager()
{
    FramelessHelper *helper = setUpWindow();
    QVERIFY(helper);
    helper->setRubberBandOnResize(false);
    const QRect before = m_window->geometry();
    press(m_window, at(799, 300));
    QVERIFY(helper->isResizing(m_window));
    drag(m_window, at(839, 300));
    QTRY_COMPARE(m_window->geometry(), QRect(before.topLeft(), before.size() + QSize(40, 0)));
    release(m_window, at(839, 300));
    QVERIFY(!helper->isResizing(m_window));
}

void FramelessHelperTest::lostReleaseEndsTheDrag()
{
    FramelessHelper *helper = setUpWindow();
    QVERIFY(helper);
    const QRect before = m_window->geometry();

    press(m_window, at(300, 20));
    QVERIFY(helper->isMoving(m_window));
    // A move with no button held: the release went somewhere else.
    sendMouse(m_window, QEvent::MouseMove, at(340, 60), Qt::NoButton, Qt::NoButton);
    QVERIFY(!helper->isMoving(m_window));
    QCOMPARE(m_window->geometry(), before);

    press(m_window, at(2, 300));
    QVERIFY(helper->isResizing(m_window));
    drag(m_window, at(-20, 300));
    sendMouse(m_window, QEvent::MouseMove, at(-40, 300), Qt::NoButton, Qt::NoButton);
    QVERIFY(!helper->isResizing(m_window));
    QVERIFY(!helper->rubberBand(m_window)->isVisible());
    // What was dragged before the release got lost still counts.
    QTRY_COMPARE(m_window->geometry(), QRect(before.x() - 20, before.y(), before.width() + 20, before.height()));
}

QTEST_MAIN(FramelessHelperTest)
#include "tst_framelesshelper.moc"
