// Where popups open: over their opener, wholly inside the screen's available
// area (frame included), whatever the page asks for.
#include "popupplacement.h"

#include <QtTest>

Q_DECLARE_METATYPE(QMargins)

class PopupPlacementTest : public QObject
{
    Q_OBJECT

private slots:
    void placement_data();
    void placement();
};

void PopupPlacementTest::placement_data()
{
    QTest::addColumn<QRect>("requested");  // client area the page asks for
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QRect>("opener");
    QTest::addColumn<QRect>("expected");  // frame rectangle
    const QRect opener(240, 190, 800, 640);
    const QMargins titleBar(1, 30, 1, 1);
    QTest::newRow("no position: centred over the opener")
        << QRect(0, 0, 420, 300) << QMargins() << opener << QRect(430, 360, 420, 300);
    QTest::newRow("no position, framed: the frame is centred")
        << QRect(0, 0, 420, 300) << titleBar << opener << QRect(429, 344, 422, 331);
    QTest::newRow("opener near the bottom right: kept on screen")
        << QRect(0, 0, 420, 300) << titleBar << QRect(1000, 800, 800, 640) << QRect(858, 693, 422, 331);
    QTest::newRow("asked position honoured, frame around it")
        << QRect(100, 130, 420, 300) << titleBar << opener << QRect(99, 100, 422, 331);
    QTest::newRow("asked position above the screen: title bar brought down")
        << QRect(100, 10, 420, 300) << titleBar << opener << QRect(99, 0, 422, 331);
    QTest::newRow("asked position off the right edge")
        << QRect(2000, 200, 420, 300) << QMargins() << opener << QRect(860, 200, 420, 300);
    QTest::newRow("larger than the screen: shrunk to it")
        << QRect(0, 0, 3000, 2000) << QMargins() << opener << QRect(0, 0, 1280, 1024);
    QTest::newRow("no size: the default size")
        << QRect() << QMargins() << opener << QRect(240, 210, 800, 600);
}

void PopupPlacementTest::placement()
{
    QFETCH(QRect, requested);
    QFETCH(QMargins, frame);
    QFETCH(QRect, opener);
    QFETCH(QRect, expected);
    const QRect available(0, 0, 1280, 1024);
    const QRect placed = PopupPlacement::forRequest(requested, frame, opener, available);
    QCOMPARE(placed, expected);
    QVERIFY(available.contains(placed));
}

QTEST_APPLESS_MAIN(PopupPlacementTest)
#include "tst_popupplacement.moc"
