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
#include <QScreen>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

namespace {

constexpr int title = 50;
constexpr int border = 5;
const QRect startGeometry(200, 150, 800, 600);
const QSize minimumSize(696, 446);

// On a platform whose window manager takes over the move, the release goes
// to the window manager, never to the program.
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

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &globalPos, Qt::MouseButtons buttons)
{
    const QPointF local = widget->mapFromGlobal(globalPos);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, local, QPointF(globalPos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void press(QWidget *widget, const QPoint &globalPos)
{
    sendMouse(widget, QEvent::MouseButtonPress, globalPos, Qt::LeftButton);
}

void drag(QWidget *widget, const QPoint &globalPos)
{
    sendMouse(widget, QEvent::MouseMove, globalPos, Qt::LeftButton);
}

void release(QWidget *widget, const QPoint &globalPos)
{
    sendMouse(widget, QEvent::MouseButtonRelease, globalPos, Qt::NoButton);
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

} // namespace

class FramelessHelperTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FramelessHelper::setTitleHeight(title);
        FramelessHelper::setBorderWidth(border);
    }

    void cleanup() { delete m_window; }

    void hitTestAndCursor_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("edges");
        QTest::addColumn<bool>("inTitle");
        QTest::addColumn<Qt::CursorShape>("cursor");
        const int top = Qt::TopEdge, left = Qt::LeftEdge, right = Qt::RightEdge, bottom = Qt::BottomEdge;
        // Frame (100, 100) 800 x 600: the right side is 900, the bottom 700,
        // and every bound counts as inside.
        QTest::newRow("3 below the top") << QPoint(500, 103) << top << true << Qt::SizeVerCursor;
        QTest::newRow("20 below the top") << QPoint(500, 120) << 0 << true << Qt::ArrowCursor;
        QTest::newRow("top border's last line") << QPoint(500, 105) << top << true << Qt::SizeVerCursor;
        QTest::newRow("just below it") << QPoint(500, 106) << 0 << true << Qt::ArrowCursor;
        QTest::newRow("title's last line") << QPoint(500, 150) << 0 << true << Qt::ArrowCursor;
        QTest::newRow("below the title") << QPoint(500, 151) << 0 << false << Qt::ArrowCursor;
        QTest::newRow("top-left") << QPoint(102, 102) << (top | left) << true << Qt::SizeFDiagCursor;
        QTest::newRow("top-right") << QPoint(897, 104) << (top | right) << true << Qt::SizeBDiagCursor;
        QTest::newRow("bottom-left") << QPoint(105, 695) << (bottom | left) << false << Qt::SizeBDiagCursor;
        QTest::newRow("bottom-right") << QPoint(900, 700) << (bottom | right) << false << Qt::SizeFDiagCursor;
        QTest::newRow("left border's last column") << QPoint(105, 400) << left << false << Qt::SizeHorCursor;
        QTest::newRow("just right of it") << QPoint(106, 400) << 0 << false << Qt::ArrowCursor;
        QTest::newRow("right border") << QPoint(895, 400) << right << false << Qt::SizeHorCursor;
        QTest::newRow("bottom border") << QPoint(500, 695) << bottom << false << Qt::SizeVerCursor;
        QTest::newRow("above the window") << QPoint(500, 99) << 0 << false << Qt::ArrowCursor;
    }

    void hitTestAndCursor()
    {
        QFETCH(QPoint, point);
        QFETCH(int, edges);
        QFETCH(bool, inTitle);
        QFETCH(Qt::CursorShape, cursor);
        const QRect frame(100, 100, 800, 600);
        for (const FramelessHelper::EdgeHit &hit :
             {FramelessHelper::hitTest(point, frame, border, title), FramelessHelper::hitTest(point, frame)}) {
            QCOMPARE(int(hit.edges), edges);
            QCOMPARE(hit.inTitle, inTitle);
            QCOMPARE(hit.onEdges, edges != 0);
        }
        QCOMPARE(FramelessHelper::cursorShapeFor(Qt::Edges(edges)), cursor);
    }

    void resizedRect_data()
    {
        QTest::addColumn<int>("edges");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QSize>("maximum");
        QTest::addColumn<QRect>("expected");
        // From (100, 100) 800 x 600 with a minimum of 696 x 446.
        const QRect start(100, 100, 800, 600);
        QTest::newRow("left outwards") << int(Qt::LeftEdge) << QPoint(50, 300) << QSize() << QRect(50, 100, 850, 600);
        QTest::newRow("left inwards") << int(Qt::LeftEdge) << QPoint(180, 300) << QSize() << QRect(180, 100, 720, 600);
        QTest::newRow("left past the minimum") << int(Qt::LeftEdge) << QPoint(300, 300) << QSize() << start;
        QTest::newRow("right past the minimum") << int(Qt::RightEdge) << QPoint(700, 300) << QSize() << start;
        QTest::newRow("top past the minimum") << int(Qt::TopEdge) << QPoint(500, 300) << QSize() << start;
        QTest::newRow("bottom") << int(Qt::BottomEdge) << QPoint(500, 599) << QSize() << QRect(100, 100, 800, 500);
        QTest::newRow("corner, only the height fits") << int(Qt::TopEdge | Qt::LeftEdge) << QPoint(300, 50)
                                                      << QSize() << QRect(100, 50, 800, 650);
        QTest::newRow("past the opposite side") << int(Qt::LeftEdge) << QPoint(950, 300) << QSize() << QRect();
        QTest::newRow("beyond the maximum") << int(Qt::RightEdge) << QPoint(1200, 300) << QSize(1000, 1000) << start;
    }

    void resizedRect()
    {
        QFETCH(int, edges);
        QFETCH(QPoint, point);
        QFETCH(QSize, maximum);
        QFETCH(QRect, expected);
        QCOMPARE(FramelessHelper::resizedRect(QRect(100, 100, 800, 600), Qt::Edges(edges), point, minimumSize, maximum),
                 expected);
    }

    void pressAndHover_data()
    {
        QTest::addColumn<QPoint>("local");
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<bool>("resizing");
        QTest::addColumn<bool>("moving");
        QTest::addColumn<Qt::CursorShape>("cursor");
        // A negative y counts from the bottom.
        QTest::newRow("3 below the top") << QPoint(400, 3) << false << true << false << Qt::SizeVerCursor;
        QTest::newRow("20 below the top") << QPoint(400, 20) << false << false << true << Qt::ArrowCursor;
        QTest::newRow("corner") << QPoint(2, 2) << false << true << false << Qt::SizeFDiagCursor;
        QTest::newRow("bottom border") << QPoint(400, -2) << false << true << false << Qt::SizeVerCursor;
        QTest::newRow("body") << QPoint(400, 300) << false << false << false << Qt::ArrowCursor;
        QTest::newRow("maximised, top border") << QPoint(400, 3) << true << false << true << Qt::ArrowCursor;
        QTest::newRow("maximised, corner") << QPoint(2, 2) << true << false << true << Qt::ArrowCursor;
        QTest::newRow("maximised, bottom border") << QPoint(400, -2) << true << false << false << Qt::ArrowCursor;
    }

    void pressAndHover()
    {
        QFETCH(QPoint, local);
        QFETCH(bool, maximised);
        QFETCH(bool, resizing);
        QFETCH(bool, moving);
        QFETCH(Qt::CursorShape, cursor);
        FramelessHelper *helper = setUpWindow();
        QVERIFY(helper);
        if (maximised) {
            m_window->showMaximized();
            QTRY_VERIFY(m_window->isMaximized());
        }
        const QRect frame = m_window->frameGeometry();
        const QPoint point = frame.topLeft() + QPoint(local.x(), local.y() >= 0 ? local.y() : frame.height() + local.y());

        hover(m_window, point);
        QCOMPARE(m_window->cursor().shape(), cursor);
        press(m_window, point);
        QCOMPARE(helper->isResizing(m_window), resizing);
        QCOMPARE(helper->isMoving(m_window), moving);
        QCOMPARE(helper->rubberBand(m_window)->isVisible(), resizing);
        if (resizing)
            QCOMPARE(helper->rubberBand(m_window)->geometry(), frame);
        release(m_window, point);
        QVERIFY(!helper->isResizing(m_window) && !helper->isMoving(m_window));
        QVERIFY(!helper->rubberBand(m_window)->isVisible());
        QCOMPARE(m_window->frameGeometry(), frame);
        // Back in the body the window's own cursor returns.
        hover(m_window, frame.topLeft() + QPoint(400, 300));
        QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
    }

    void doubleClickInTitleTogglesMaximised()
    {
        QVERIFY(setUpWindow());
        hover(m_window, at(400, 2));
        QCOMPARE(m_window->cursor().shape(), Qt::SizeVerCursor);
        auto doubleClick = [this](int y) { sendMouse(m_window, QEvent::MouseButtonDblClick, at(400, y), Qt::LeftButton); };

        doubleClick(20);
        QTRY_VERIFY(m_window->isMaximized());
        QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
        doubleClick(300);
        QVERIFY(m_window->isMaximized());
        doubleClick(20);
        QTRY_VERIFY(!m_window->isMaximized());

        // From fullscreen it goes to maximised, not fullscreen and maximised.
        m_window->setWindowState(Qt::WindowFullScreen);
        QTRY_VERIFY(m_window->isFullScreen());
        doubleClick(20);
        QTRY_VERIFY(m_window->isMaximized());
        QVERIFY(!m_window->isFullScreen());
    }

    void dragEdges_data()
    {
        QTest::addColumn<bool>("rubberBand");
        QTest::addColumn<QPoint>("grip");
        QTest::addColumn<QList<QPoint>>("path");
        QTest::addColumn<QRect>("change");
        // Change: added to x, y, width and height of the window.
        QTest::newRow("left edge inwards") << true << QPoint(0, 300) << QList<QPoint>{{60, 300}} << QRect(60, 0, -60, 0);
        QTest::newRow("left edge past the minimum keeps it")
            << true << QPoint(2, 300) << QList<QPoint>{{60, 300}, {300, 300}} << QRect(60, 0, -60, 0);
        QTest::newRow("straight past the minimum") << true << QPoint(1, 300) << QList<QPoint>{{400, 300}} << QRect();
        QTest::newRow("corner outwards") << true << QPoint(799, 599) << QList<QPoint>{{849, 629}} << QRect(0, 0, 50, 30);
        QTest::newRow("right edge, no band") << false << QPoint(799, 300) << QList<QPoint>{{839, 300}} << QRect(0, 0, 40, 0);
    }

    void dragEdges()
    {
        QFETCH(bool, rubberBand);
        QFETCH(QPoint, grip);
        QFETCH(QList<QPoint>, path);
        QFETCH(QRect, change);
        FramelessHelper *helper = setUpWindow();
        QVERIFY(helper);
        helper->setRubberBandOnResize(rubberBand);
        const QRect before = m_window->geometry();
        const QRect after = before.adjusted(change.x(), change.y(), change.x() + change.width(),
                                            change.y() + change.height());
        press(m_window, at(grip.x(), grip.y()));
        QVERIFY(helper->isResizing(m_window));
        for (const QPoint &point : path)
            drag(m_window, at(point.x(), point.y()));
        if (rubberBand) {
            // The band shows the new frame; the window follows at the release.
            QCOMPARE(helper->rubberBand(m_window)->geometry(), after);
            QCOMPARE(m_window->geometry(), before);
        } else {
            // Without a window manager's resize the window follows the mouse.
            QTRY_COMPARE(m_window->geometry(), after);
        }
        release(m_window, at(path.last().x(), path.last().y()));
        QTRY_COMPARE(m_window->geometry(), after);
        QVERIFY(m_window->width() >= minimumSize.width());
    }

    void sharedValuesAndZero()
    {
        FramelessHelper *first = setUpWindow();
        QVERIFY(first);
        FramelessHelper other;
        other.setBorderWidth(9);
        first->setBorderWidth(0);
        other.setTitleHeight(0);
        QCOMPARE(FramelessHelper::borderWidth(), 9);
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

    void destroyingTheHelperRestoresTheWidget_data()
    {
        QTest::addColumn<bool>("hadAttributes");
        QTest::addColumn<bool>("flagsChanged");
        QTest::newRow("plain widget") << false << false;
        QTest::newRow("flags changed after registration") << false << true;
        QTest::newRow("widget tracked the mouse before") << true << false;
    }

    void destroyingTheHelperRestoresTheWidget()
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
        QVERIFY(widget.testAttribute(Qt::WA_MouseTracking) && widget.testAttribute(Qt::WA_Hover));
        QPointer<QRubberBand> band = helper->rubberBand(&widget);
        QVERIFY(band && !band->parent());
        hover(&widget, widget.mapToGlobal(QPoint(1, 1)));
        QCOMPARE(widget.cursor().shape(), Qt::SizeFDiagCursor);
        if (flagsChanged) {
            widget.setWindowFlags(flags | Qt::WindowStaysOnTopHint);
            widget.show();
        }

        delete helper;
        QCOMPARE(widget.windowFlags(), flags);
        QCOMPARE(widget.testAttribute(Qt::WA_MouseTracking), hadAttributes);
        QCOMPARE(widget.testAttribute(Qt::WA_Hover), hadAttributes);
        QCOMPARE(widget.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(band.isNull());
        QVERIFY(widget.isVisible());
    }

    void widgetDestroyedFirstIsForgotten()
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

    void platformMoveLeavesNoStuckPress()
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
        hover(m_window, at(1, 300));
        QCOMPARE(m_window->cursor().shape(), Qt::SizeHorCursor);
        sendToWindow(m_window, QEvent::MouseButtonPress, QPoint(720, 25), Qt::LeftButton, Qt::LeftButton);
        sendToWindow(m_window, QEvent::MouseButtonRelease, QPoint(720, 25), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(clicked.count(), 1);
    }

    void moveFollowsTheMouseWithoutWindowManager()
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

        sendMouse(m_window, QEvent::MouseMove, grip + QPoint(200, 200), Qt::NoButton);
        QCoreApplication::processEvents();
        QCOMPARE(m_window->pos(), start + QPoint(-20, 10));
    }

    void lostReleaseEndsTheDrag()
    {
        FramelessHelper *helper = setUpWindow();
        QVERIFY(helper);
        const QRect before = m_window->geometry();

        // A move with no button held: the release went somewhere else.
        press(m_window, at(300, 20));
        sendMouse(m_window, QEvent::MouseMove, at(340, 60), Qt::NoButton);
        QVERIFY(!helper->isMoving(m_window));
        QCOMPARE(m_window->geometry(), before);

        // What was dragged before the release got lost still counts.
        press(m_window, at(2, 300));
        drag(m_window, at(-20, 300));
        sendMouse(m_window, QEvent::MouseMove, at(-40, 300), Qt::NoButton);
        QVERIFY(!helper->isResizing(m_window));
        QVERIFY(!helper->rubberBand(m_window)->isVisible());
        QTRY_COMPARE(m_window->geometry(), before.adjusted(-20, 0, 0, 0));
    }

    void reachableFrame_data()
    {
        QTest::addColumn<QList<QRect>>("areas");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QPoint>("expected");
        const QRect primary(0, 0, 1920, 1040);
        const QRect above(0, -1080, 1920, 1050);
        const QList<QRect> stacked{primary, above};
        // 800 x 600 frames; the title strip is 50 high and keeps 100 of its
        // width on a screen.
        QTest::newRow("inside") << stacked << QRect(300, 200, 800, 600) << QPoint(300, 200);
        QTest::newRow("on the screen above") << stacked << QRect(300, -900, 800, 600) << QPoint(300, -900);
        QTest::newRow("above the top screen") << stacked << QRect(300, -1300, 800, 600) << QPoint(300, -1080);
        QTest::newRow("title below the bottom") << stacked << QRect(300, 1020, 800, 600) << QPoint(300, 990);
        QTest::newRow("off to the right") << stacked << QRect(1850, 100, 800, 600) << QPoint(1820, 100);
        QTest::newRow("off to the left") << stacked << QRect(-750, 100, 800, 600) << QPoint(-700, 100);
        QTest::newRow("straddles the screens: nearer one") << stacked << QRect(300, -20, 800, 600)
                                                           << QPoint(300, 0);
        // Screens of different heights, bottoms aligned: nothing left of
        // 1920 above y 360.
        const QList<QRect> uneven{QRect(0, 360, 1920, 1080), QRect(1920, 0, 1920, 1440)};
        QTest::newRow("above the lower screen") << uneven << QRect(100, 100, 800, 600) << QPoint(100, 360);
        QTest::newRow("partly over the taller one") << uneven << QRect(1500, 100, 800, 600) << QPoint(1500, 100);
        QTest::newRow("no screens") << QList<QRect>() << QRect(-5000, -5000, 800, 600) << QPoint(-5000, -5000);
    }

    void reachableFrame()
    {
        QFETCH(QList<QRect>, areas);
        QFETCH(QRect, frame);
        QFETCH(QPoint, expected);
        const QRect reachable = FramelessHelper::reachableFrame(frame, areas, title);
        QCOMPARE(reachable.topLeft(), expected);
        QCOMPARE(reachable.size(), frame.size());
    }

    // Without a window manager the helper moves the window itself; the
    // offscreen screen is 800 x 600 at (0, 0).
    void moveKeepsTheTitleStripOnTheScreen_data()
    {
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("far up") << QPoint(30, -1000) << QPoint(230, 0);
        QTest::newRow("far down") << QPoint(0, 1000) << QPoint(200, 550);
        QTest::newRow("far right") << QPoint(1000, 0) << QPoint(700, 150);
        QTest::newRow("far left") << QPoint(-2000, 0) << QPoint(-700, 150);
        QTest::newRow("within reach") << QPoint(-150, -100) << QPoint(50, 50);
    }

    void moveKeepsTheTitleStripOnTheScreen()
    {
        QFETCH(QPoint, offset);
        QFETCH(QPoint, expected);
        FramelessHelper *helper = setUpWindow();
        QVERIFY(helper);
        QCOMPARE(m_window->screen()->availableGeometry(), QRect(0, 0, 800, 600));
        const QPoint grip = at(300, 20);
        press(m_window, grip);
        drag(m_window, grip + offset);
        QTRY_COMPARE(m_window->pos(), expected);
        release(m_window, grip + offset);
        QCOMPARE(m_window->pos(), expected);
    }

    void resizeKeepsTheTitleStripOnTheScreen_data()
    {
        QTest::addColumn<bool>("rubberBand");
        QTest::newRow("rubber band") << true;
        QTest::newRow("following the mouse") << false;
    }

    void resizeKeepsTheTitleStripOnTheScreen()
    {
        QFETCH(bool, rubberBand);
        FramelessHelper *helper = setUpWindow();
        QVERIFY(helper);
        helper->setRubberBandOnResize(rubberBand);
        m_window->move(200, 40);
        QTRY_COMPARE(m_window->pos(), QPoint(200, 40));
        const QRect before = m_window->geometry();
        press(m_window, at(400, 2));
        QVERIFY(helper->isResizing(m_window));
        // Past the screen's top the top edge stops at it.
        drag(m_window, QPoint(600, -300));
        drag(m_window, QPoint(600, -400));
        release(m_window, QPoint(600, -400));
        QTRY_COMPARE(m_window->geometry(), before.adjusted(0, -40, 0, 0));
    }

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
        return QTest::qWaitForWindowExposed(m_window) ? helper : nullptr;
    }

    QPoint at(int x, int y) const { return m_window->geometry().topLeft() + QPoint(x, y); }

    QPointer<QWidget> m_window;
};

QTEST_MAIN(FramelessHelperTest)
#include "tst_framelesshelper.moc"
