// The UI control library (image buttons, tooltip bubbles, toasts) and the
// title-bar button built on it. The whole program runs at two device pixels
// per logical pixel, so that blurry images cannot pass for sharp ones.
#include "imagebutton.h"
#include "toast.h"
#include "tooltiphelper.h"
#include "velpushbutton.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

namespace {

const QColor hoverColour(10, 200, 30);
const QColor pressedColour(200, 10, 30);

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray svg(const QString &body)
{
    return ("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"40\" viewBox=\"0 0 40 40\">" + body
            + "</svg>")
        .toUtf8();
}

QByteArray centreSquare(const QString &fill)
{
    return svg(QStringLiteral("<rect x=\"10\" y=\"10\" width=\"20\" height=\"20\" fill=\"%1\"/>").arg(fill));
}

// The widget's own painting on a transparent canvas at its device pixel
// ratio, without the window background a grab would put under it.
QImage paintedImage(QWidget *widget)
{
    const qreal ratio = widget->devicePixelRatioF();
    QImage image(widget->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A push button takes its hover state from mouse moves inside its bevel.
void hoverOver(QWidget *widget)
{
    const QPoint centre = widget->rect().center();
    QCursor::setPos(widget->mapToGlobal(centre));
    widget->setAttribute(Qt::WA_UnderMouse, true);
    QMouseEvent move(QEvent::MouseMove, centre, widget->mapToGlobal(centre), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

void sendEnter(QWidget *widget)
{
    const QPointF centre = QRectF(widget->rect()).center();
    QEnterEvent enter(centre, centre, widget->mapToGlobal(centre.toPoint()));
    QCoreApplication::sendEvent(widget, &enter);
}

// A shown window with one title-bar button, tooltip set.
struct ButtonWindow
{
    QWidget window;
    VelPushButton *button = new VelPushButton(&window);
    explicit ButtonWindow(const QString &tip)
    {
        window.resize(300, 200);
        button->setGeometry(100, 20, 40, 40);
        button->setToolTip(tip);
        window.show();
    }
};

} // namespace

class UiControlTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Stripes half a view-box unit wide: at two device pixels per unit
        // each is one device pixel, and any rendering at a lower resolution
        // smears them into an even half-transparent red.
        QString stripes;
        for (int i = 0; i < 40; ++i)
            stripes += QStringLiteral("<rect x=\"%1\" width=\"0.5\" height=\"40\" fill=\"#ff0000\"/>").arg(i);
        QVERIFY(writeFile(path("stripes.svg"), svg(stripes)));
        QImage png(80, 80, QImage::Format_ARGB32);
        png.fill(Qt::transparent);
        for (int x = 0; x < 80; x += 2)
            for (int y = 0; y < 80; ++y)
                png.setPixel(x, y, qRgba(255, 0, 0, 255));
        QVERIFY(png.save(path("stripes.png")));
        QVERIFY(writeFile(path("square.svg"), svg("<rect width=\"40\" height=\"40\" fill=\"#ff0000\"/>")));
        QVERIFY(writeFile(path("white.svg"), centreSquare("#ffffff")));
        QVERIFY(writeFile(path("blue.svg"), centreSquare("#0000ff")));
        QCOMPARE(QWidget().devicePixelRatioF(), 2.0);
    }

    void imageIsRenderedAtDeviceResolution_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("buttonSize");
        QTest::newRow("svg filling the button") << QStringLiteral("stripes.svg") << QSize(40, 40);
        QTest::newRow("svg centred in a wider button") << QStringLiteral("stripes.svg") << QSize(60, 40);
        QTest::newRow("bitmap of device size") << QStringLiteral("stripes.png") << QSize(40, 40);
    }

    void imageIsRenderedAtDeviceResolution()
    {
        QFETCH(QString, file);
        QFETCH(QSize, buttonSize);
        ImageButton button;
        button.setFixedSize(buttonSize);
        button.setImageSize(QSize(40, 40));
        button.setImageEx(path(file));
        QCOMPARE(button.imagePixmap(2.0).size(), QSize(80, 80));
        const QRect image = button.imageRect();
        QCOMPARE(image, QRect(QPoint((buttonSize.width() - 40) / 2, 0), QSize(40, 40)));

        const QImage shot = paintedImage(&button);
        for (int x = image.left() * 2; x <= image.right() * 2 + 1; ++x) {
            const bool stripe = (x - image.left() * 2) % 2 == 0;
            const QRgb pixel = shot.pixel(x, shot.height() / 2);
            QVERIFY2(pixel == (stripe ? qRgba(255, 0, 0, 255) : 0u),
                     qPrintable(QStringLiteral("device x %1: %2").arg(x).arg(pixel, 8, 16)));
        }
    }

    void imagePixmapFollowsTheRatio_data()
    {
        QTest::addColumn<QSize>("imageSize");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QSize>("deviceSize");
        QTest::newRow("40 at 1") << QSize(40, 40) << 1.0 << QSize(40, 40);
        QTest::newRow("40 at 1.5") << QSize(40, 40) << 1.5 << QSize(60, 60);
        QTest::newRow("24x16 at 2, kept square") << QSize(24, 16) << 2.0 << QSize(48, 32);
        QTest::newRow("the file's own size at 2") << QSize() << 2.0 << QSize(80, 80);
    }

    void imagePixmapFollowsTheRatio()
    {
        QFETCH(QSize, imageSize);
        QFETCH(qreal, ratio);
        QFETCH(QSize, deviceSize);
        ImageButton button;
        button.setImageSize(imageSize);
        button.setImageEx(path("square.svg"));
        const QPixmap pixmap = button.imagePixmap(ratio);
        QCOMPARE(pixmap.size(), deviceSize);
        QCOMPARE(pixmap.devicePixelRatio(), ratio);
        // A square picture in a wider box is centred, not stretched.
        const QImage image = pixmap.toImage();
        const int left = (deviceSize.width() - deviceSize.height()) / 2;
        if (left > 0)
            QCOMPARE(qAlpha(image.pixel(left - 1, deviceSize.height() / 2)), 0);
        QCOMPARE(qAlpha(image.pixel(left, deviceSize.height() / 2)), 255);
    }

    void buttonFace_data()
    {
        QTest::addColumn<bool>("hovered");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("shownImage");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<int>("imageAlpha");
        const QColor none(Qt::transparent);
        const QString white = QStringLiteral("white.svg");
        const QString blue = QStringLiteral("blue.svg");
        const int dimmed = qRound(255 * ImageButton::disabledOpacity);
        QTest::newRow("idle") << false << false << true << white << none << 255;
        QTest::newRow("hovered") << true << false << true << white << hoverColour << 255;
        QTest::newRow("pressed") << true << true << true << white << pressedColour << 255;
        QTest::newRow("disabled, base image dimmed") << false << false << false << white << none << dimmed;
        QTest::newRow("disabled, own image as it is") << false << false << false << blue << none << 255;
    }

    void buttonFace()
    {
        QFETCH(bool, hovered);
        QFETCH(bool, pressed);
        QFETCH(bool, enabled);
        QFETCH(QString, shownImage);
        QFETCH(QColor, background);
        QFETCH(int, imageAlpha);
        QWidget window;
        ImageButton button(&window);
        button.setFixedSize(40, 40);
        button.setImageSize(QSize(40, 40));
        button.setImageEx(path("white.svg"));
        button.setStyleSheet(QStringLiteral("QPushButton:hover{ background-color: %1; }\n"
                                            "QPushButton:pressed{ background-color: %2; }")
                                 .arg(hoverColour.name(), pressedColour.name()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (hovered)
            hoverOver(&button);
        button.setDown(pressed);
        button.setEnabled(enabled);
        button.setImage(path(shownImage));

        const QImage shot = paintedImage(&button);
        QCOMPARE(shot.pixelColor(2, 2), background);
        const int alpha = qAlpha(shot.pixel(40, 40));
        QVERIFY2(qAbs(alpha - imageAlpha) <= 2, qPrintable(QString::number(alpha)));
    }

    void setImageSwapsButSetImageExRestyles()
    {
        const QString file = path("changing.svg");
        QVERIFY(writeFile(file, centreSquare("#ff0000")));
        ImageButton button;
        button.setImageSize(QSize(40, 40));
        button.setImageEx(file);
        auto centre = [&button]() { return button.imagePixmap(2.0).toImage().pixelColor(40, 40); };
        QCOMPARE(centre(), QColor(Qt::red));

        // A state image replaces what is shown, not the base image.
        button.setImage(path("blue.svg"));
        QCOMPARE(button.currentImage(), path("blue.svg"));
        QCOMPARE(button.baseImage(), file);
        QCOMPARE(centre(), QColor(Qt::blue));

        // Swapping back reuses the rendering made before, even if the file changed.
        QVERIFY(writeFile(file, centreSquare("#00ff00")));
        button.setImage(file);
        QCOMPARE(centre(), QColor(Qt::red));

        // Restyling reads the file again and makes it the base image.
        button.setImageEx(file);
        QCOMPARE(centre(), QColor(Qt::green));
        button.setImageEx(path("blue.svg"));
        QCOMPARE(button.baseImage(), path("blue.svg"));
        QCOMPARE(centre(), QColor(Qt::blue));

        button.setImage(path("missing.svg"));
        QVERIFY(button.imagePixmap(2.0).isNull());
    }

    void tooltipShowsAfterHoverAndFollowsItsText()
    {
        ButtonWindow ui(QStringLiteral("Maximize"));
        QVERIFY(QTest::qWaitForWindowExposed(&ui.window));
        ToolTipHelper *helper = ui.button->tooltipHelper;
        QCOMPARE(helper->parent(), ui.button);
        QCOMPARE(helper->type(), ToolTipHelper::Default);

        sendEnter(ui.button);
        QVERIFY(!helper->isTipVisible());
        QTRY_VERIFY(helper->isTipVisible());
        QCOMPARE(helper->tipText(), QStringLiteral("Maximize"));

        // Centred below the button, white text on its own dark background.
        const QRect bubble = helper->tipLabel()->geometry();
        const QRect buttonRect(ui.button->mapToGlobal(QPoint(0, 0)), ui.button->size());
        QCOMPARE(bubble.top(), buttonRect.bottom() + 1 + ToolTipHelper::spacing);
        QVERIFY(qAbs(bubble.center().x() - buttonRect.center().x()) <= 1);
        const QColor edge = paintedImage(helper->tipLabel()).pixelColor(3, bubble.height());
        QVERIFY2(edge.alpha() > 200 && edge.lightness() < 40, qPrintable(edge.name(QColor::HexArgb)));
        QCOMPARE(helper->tipLabel()->palette().color(QPalette::WindowText), QColor(Qt::white));

        // Qt's own tooltip never joins it.
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), ui.button->mapToGlobal(QPoint(5, 5)));
        QVERIFY(QCoreApplication::sendEvent(ui.button, &help));
        QVERIFY(!QToolTip::isVisible());

        const int width = bubble.width();
        ui.button->setToolTip(QStringLiteral("Restore the window to its size"));
        QCOMPARE(helper->tipText(), QStringLiteral("Restore the window to its size"));
        QVERIFY(helper->tipLabel()->width() > width);

        // With no text there is nothing to show.
        ui.button->setToolTip(QString());
        QVERIFY(!helper->isTipVisible());
        sendEnter(ui.button);
        QTest::qWait(helper->wakeUpDelay() + 200);
        QVERIFY(!helper->isTipVisible());
    }

    void tooltipHides_data()
    {
        QTest::addColumn<int>("eventType");
        QTest::addColumn<bool>("beforeShowing");
        QTest::newRow("leave") << int(QEvent::Leave) << false;
        QTest::newRow("press") << int(QEvent::MouseButtonPress) << false;
        QTest::newRow("hide") << int(QEvent::Hide) << false;
        QTest::newRow("leave before the delay") << int(QEvent::Leave) << true;
        QTest::newRow("press before the delay") << int(QEvent::MouseButtonPress) << true;
    }

    void tooltipHides()
    {
        QFETCH(int, eventType);
        QFETCH(bool, beforeShowing);
        ButtonWindow ui(QStringLiteral("Reload"));
        QVERIFY(QTest::qWaitForWindowExposed(&ui.window));
        ToolTipHelper *helper = ui.button->tooltipHelper;
        sendEnter(ui.button);
        if (!beforeShowing)
            QTRY_VERIFY(helper->isTipVisible());
        if (eventType == QEvent::Leave) {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(ui.button, &leave);
        } else if (eventType == QEvent::MouseButtonPress) {
            QTest::mouseClick(ui.button, Qt::LeftButton);
        } else {
            ui.button->hide();
        }
        QVERIFY(!helper->isTipVisible());
        // And it does not come back by itself.
        QTest::qWait(helper->wakeUpDelay() + 200);
        QVERIFY(!helper->isTipVisible());
    }

    void tooltipHelperGoesWithItsWidget_data()
    {
        QTest::addColumn<bool>("childOfTheWidget");
        QTest::newRow("title-bar button") << true;
        QTest::newRow("helper owned elsewhere") << false;
    }

    void tooltipHelperGoesWithItsWidget()
    {
        QFETCH(bool, childOfTheWidget);
        QObject owner;
        ButtonWindow ui(QStringLiteral("Close"));
        QVERIFY(QTest::qWaitForWindowExposed(&ui.window));
        QPointer<ToolTipHelper> helper = ui.button->tooltipHelper;
        if (!childOfTheWidget) {
            delete helper;
            helper = new ToolTipHelper(&owner, ToolTipHelper::FollowCursor);
            helper->registerActiveWidget(ui.button);
        }
        sendEnter(ui.button);
        QTRY_VERIFY(helper->isTipVisible());
        QPointer<QLabel> bubble = helper->tipLabel();

        delete ui.button;
        QVERIFY(bubble.isNull());
        if (childOfTheWidget)
            QVERIFY(helper.isNull());
        QTRY_VERIFY(helper.isNull());
        QVERIFY(owner.children().isEmpty());
    }

    void toastReplacesThePreviousOne()
    {
        QWidget window;
        window.resize(600, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPointer<Toast> first = Toast::showTip(QStringLiteral("first"), &window, false, 5000, Toast::TopCenter);
        QPointer<Toast> second = Toast::showTip(QStringLiteral("second"), &window, false, 5000, Toast::TopCenter);
        QVERIFY(first && second);
        QVERIFY(!first->isVisible());
        QVERIFY(second->isVisible());
        QTRY_VERIFY(first.isNull());
        QCOMPARE(window.findChildren<Toast *>(), QList<Toast *>{second.data()});
        QCOMPARE(second->text(), QStringLiteral("second"));

        QCOMPARE(Toast::showTip(QStringLiteral("nowhere"), nullptr, false, 2000, Toast::TopCenter), nullptr);
    }

    void toastDisappearsAfterItsDuration()
    {
        QWidget window;
        window.resize(600, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPointer<Toast> toast = Toast::showTip(QStringLiteral("Press ESC to exit fullscreen."), &window, false, 300,
                                               Toast::TopCenter);
        QCOMPARE(toast->duration(), 300);
        QVERIFY(toast->isVisible());
        QCOMPARE(toast->geometry(), window.rect());
        QTRY_COMPARE(toast->opacity(), 1.0);
        QTRY_VERIFY(toast.isNull());
        QVERIFY(window.findChildren<Toast *>().isEmpty());

        toast = Toast::showTip(QStringLiteral("again"), &window, false, 0, Toast::TopCenter);
        QCOMPARE(toast->duration(), Toast::defaultDurationMs);
    }

    void toastSurvivesItsParent_data()
    {
        QTest::addColumn<bool>("whileFading");
        QTest::newRow("while showing") << false;
        QTest::newRow("while fading out") << true;
    }

    void toastSurvivesItsParent()
    {
        QFETCH(bool, whileFading);
        auto *window = new QWidget;
        window->resize(400, 300);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QPointer<Toast> toast = Toast::showTip(QStringLiteral("bye"), window, false, 400, Toast::Center);
        if (whileFading) {
            QTRY_COMPARE(toast->opacity(), 1.0);
            QTRY_VERIFY(toast && toast->opacity() < 1.0);
        }
        delete window;
        QVERIFY(toast.isNull());
        // Every timer and animation went with it: nothing fires into freed memory.
        QTest::qWait(400 + Toast::fadeOutMs + 100);
    }

    void toastAnchors_data()
    {
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("top");
        // The window is 800 x 500; -1: centred vertically.
        QTest::newRow("1 is top centre") << 1 << Toast::anchorMargin;
        QTest::newRow("centre") << int(Toast::Center) << -1;
        QTest::newRow("bottom centre") << int(Toast::BottomCenter) << -2;
    }

    void toastAnchors()
    {
        QFETCH(int, anchor);
        QFETCH(int, top);
        QWidget window;
        window.resize(800, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Toast *toast = Toast::showTip(QStringLiteral("Press ESC to exit fullscreen."), &window, false, 5000,
                                      Toast::AnchorPoint(anchor));
        const QRect bubble = toast->bubbleRect();
        QVERIFY(window.rect().contains(bubble));
        QVERIFY(qAbs(bubble.center().x() - 400) <= 1);
        if (top >= 0)
            QCOMPARE(bubble.top(), top);
        else if (top == -1)
            QVERIFY(qAbs(bubble.center().y() - 250) <= 1);
        else
            QCOMPARE(bubble.bottom(), 500 - 1 - Toast::anchorMargin);

        // It stays in place over a parent that changes size.
        window.resize(1000, 700);
        QCOMPARE(toast->geometry(), window.rect());
        QVERIFY(qAbs(toast->bubbleRect().center().x() - 500) <= 1);
    }

    void toastModality_data()
    {
        QTest::addColumn<bool>("modal");
        QTest::addColumn<int>("clicks");
        QTest::newRow("clicks pass through") << false << 1;
        QTest::newRow("modal shield") << true << 0;
    }

    void toastModality()
    {
        QFETCH(bool, modal);
        QFETCH(int, clicks);
        QWidget window;
        window.resize(600, 400);
        auto *button = new QPushButton(QStringLiteral("under"), &window);
        button->setGeometry(250, 30, 100, 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(Toast::showTip(QStringLiteral("notice"), &window, modal, 5000, Toast::TopCenter)->isModal(), modal);
        QSignalSpy clicked(button, &QPushButton::clicked);
        // Through the window, so that the click goes to whatever lies on top.
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, button->geometry().center());
        QCOMPARE(clicked.count(), clicks);
    }

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    UiControlTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uicontrol.moc"
