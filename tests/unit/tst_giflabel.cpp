// The loading animation: where the frame goes, at which resolution, that
// the shipped animation loops, and that it runs only while it can be seen.
#include "giflabel.h"

#include <QCoreApplication>
#include <QMovie>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

class GifLabelTest : public QObject
{
    Q_OBJECT

private slots:
    void frameIsACentredSquare_data();
    void frameIsACentredSquare();
    void frameIsScaledOnceToDeviceHeight();
    void paintsOnlyInsideTheSquare();
    void shippedAnimationLoops();
    void newGifReplacesTheOldMovie();
    void missingFileDrawsNothing();
    void runsOnlyWhileShown();

private:
    static QString spinner() { return QStringLiteral(TRADORY_ASSETS "/image/cef_browser_loading.gif"); }
};

void GifLabelTest::frameIsACentredSquare_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("square");
    QTest::newRow("wide") << QSize(300, 76) << QRect(112, 0, 76, 76);
    QTest::newRow("odd") << QSize(301, 76) << QRect(112, 0, 76, 76);
    QTest::newRow("narrow") << QSize(50, 76) << QRect(-13, 0, 76, 76);
    QTest::newRow("flat") << QSize(300, 0) << QRect(150, 0, 0, 0);
}

void GifLabelTest::frameIsACentredSquare()
{
    QFETCH(QSize, size);
    QFETCH(QRect, square);
    GifLabel label;
    label.resize(size);
    QCOMPARE(label.frameRect(), square);
}

void GifLabelTest::frameIsScaledOnceToDeviceHeight()
{
    GifLabel label;
    label.setFixedSize(300, 76);
    label.show();
    label.setGif(spinner());
    QTRY_VERIFY(!label.framePixmap().isNull());
    const int side = int(std::trunc(76 * label.devicePixelRatioF()));
    QCOMPARE(label.framePixmap().size(), QSize(side, side));
    if (qgetenv("QT_SCALE_FACTOR") == "1.5")
        QCOMPARE(side, 114);
}

void GifLabelTest::paintsOnlyInsideTheSquare()
{
    GifLabel label;
    label.setFixedSize(300, 76);
    label.setStyleSheet(QStringLiteral("background: transparent;"));
    label.show();
    label.setGif(spinner());
    QTRY_VERIFY(!label.framePixmap().isNull());
    const QImage shot = label.grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    auto inked = [&](int fromX, int toX) {
        int count = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = int(fromX * ratio); x < int(toX * ratio); ++x)
                count += qAlpha(shot.pixel(x, y)) > 0 && qGray(shot.pixel(x, y)) < 230 ? 1 : 0;
        }
        return count;
    };
    QVERIFY(inked(112, 188) > 0);
    QCOMPARE(inked(0, 110), 0);
    QCOMPARE(inked(190, 300), 0);
}

void GifLabelTest::shippedAnimationLoops()
{
    QMovie movie(spinner());
    QVERIFY(movie.isValid());
    QVERIFY(movie.frameCount() > 1);
    // -1: the file asks to loop for ever.
    QCOMPARE(movie.loopCount(), -1);
}

void GifLabelTest::newGifReplacesTheOldMovie()
{
    GifLabel label;
    label.resize(100, 76);
    label.show();
    label.setGif(spinner());
    QPointer<QMovie> first = label.movie();
    QTRY_VERIFY(!label.framePixmap().isNull());
    label.setGif(spinner());
    QVERIFY(first.isNull());
    QVERIFY(label.movie());
    QSignalSpy frames(label.movie(), &QMovie::frameChanged);
    QVERIFY(frames.wait(2000));
    QCOMPARE(label.findChildren<QMovie *>().size(), 1);
}

void GifLabelTest::missingFileDrawsNothing()
{
    GifLabel label;
    label.resize(100, 76);
    label.show();
    label.setGif(QStringLiteral("/nonexistent/loading.gif"));
    QTest::qWait(200);
    QVERIFY(label.framePixmap().isNull());
    label.repaint();
}

void GifLabelTest::runsOnlyWhileShown()
{
    // As in a store window: set while the window is still hidden, shown with
    // it, hidden once the page has loaded, and hidden with a minimised window.
    QWidget window;
    window.resize(200, 100);
    auto *label = new GifLabel(&window);
    label->resize(100, 76);
    label->setGif(spinner());
    QSignalSpy frames(label->movie(), &QMovie::frameChanged);
    QTest::qWait(300);
    QCOMPARE(frames.count(), 0);

    window.show();
    QTRY_VERIFY(frames.count() >= 2);
    label->hide();
    frames.clear();
    QTest::qWait(300);
    QCOMPARE(frames.count(), 0);

    label->show();
    QTRY_VERIFY(frames.count() >= 2);
    window.hide();
    frames.clear();
    QTest::qWait(300);
    QCOMPARE(frames.count(), 0);
    window.show();
    QTRY_VERIFY(frames.count() >= 2);
}

QTEST_MAIN(GifLabelTest)
#include "tst_giflabel.moc"
