// Where a new store window opens for a screen's available area: centred at
// 62.25 % of the area, never smaller than 696 x 446, and always with its
// title bar on that screen, also on screens above or left of the primary.
#include "cloudgame.h"

#include <QtTest>

class WindowPlacementTest : public QObject
{
    Q_OBJECT

private slots:
    void opensOnTheScreenItIsFor_data();
    void opensOnTheScreenItIsFor();
};

void WindowPlacementTest::opensOnTheScreenItIsFor_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("screen above the primary") << QRect(0, -1080, 1920, 1050) << QRect(362, -1080 + 198, 1195, 653);
    QTest::newRow("small screen above the primary") << QRect(0, -400, 640, 400) << QRect(-28, -400, 696, 446);
    QTest::newRow("screen left of the primary") << QRect(-1280, 0, 1280, 1024) << QRect(-1280 + 242, 193, 796, 637);
    QTest::newRow("screen above and left") << QRect(-1024, -600, 1024, 600) << QRect(-1024 + 164, -600 + 77, 696, 446);
    QTest::newRow("panel at the top of a low screen") << QRect(0, 40, 800, 400) << QRect(52, 40, 696, 446);
    QTest::newRow("screen below the primary") << QRect(0, 1080, 1280, 1024) << QRect(242, 1080 + 193, 796, 637);
}

void WindowPlacementTest::opensOnTheScreenItIsFor()
{
    QFETCH(QRect, available);
    QFETCH(QRect, expected);
    const QRect placed = CloudGame::initialGeometry(available);
    QCOMPARE(placed, expected);
    // The title bar's top is inside the area; where the window fits across,
    // all of it does.
    QVERIFY(available.contains(QPoint(available.center().x(), placed.top())));
    if (placed.width() <= available.width())
        QVERIFY(placed.left() >= available.left() && placed.right() <= available.right());
}

QTEST_MAIN(WindowPlacementTest)
#include "tst_windowplacement.moc"
