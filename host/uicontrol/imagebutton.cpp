#include "imagebutton.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QSvgRenderer>

namespace {

// Enough for the images of one button's states at two ratios; a button whose
// image keeps changing must not hoard renderings.
constexpr int maxRenderings = 8;

bool isSvg(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0
        || suffix.compare(QLatin1String("svgz"), Qt::CaseInsensitive) == 0;
}

QString renderingKey(const QString &path, const QSize &size, qreal ratio)
{
    return QStringLiteral("%1|%2x%3@%4").arg(path).arg(size.width()).arg(size.height()).arg(ratio);
}

// The picture is fitted into the canvas keeping its proportions and centred:
// Qt 5's SVG renderer would otherwise stretch a non-square view box.
QRectF fittedRect(const QSizeF &picture, const QSizeF &canvas)
{
    if (picture.isEmpty())
        return QRectF(QPointF(0, 0), canvas);
    const QSizeF fitted = picture.scaled(canvas, Qt::KeepAspectRatio);
    return QRectF(QPointF((canvas.width() - fitted.width()) / 2, (canvas.height() - fitted.height()) / 2), fitted);
}

QPixmap renderImage(const QString &path, const QSize &logicalSize, qreal ratio)
{
    const QSize deviceSize = (QSizeF(logicalSize) * ratio).toSize();
    if (path.isEmpty() || deviceSize.isEmpty())
        return QPixmap();
    QImage canvas(deviceSize, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    if (isSvg(path)) {
        QSvgRenderer renderer(path);
        if (!renderer.isValid())
            return QPixmap();
        QPainter painter(&canvas);
        renderer.render(&painter, fittedRect(renderer.viewBoxF().size(), deviceSize));
    } else {
        const QImage image(path);
        if (image.isNull())
            return QPixmap();
        const QRectF target = fittedRect(image.size(), deviceSize);
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image);
    }
    QPixmap pixmap = QPixmap::fromImage(canvas);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace

ImageButton::ImageButton(QWidget *parent)
    : QPushButton(parent)
{
}

ImageButton::~ImageButton() = default;

void ImageButton::setImageSize(const QSize &size)
{
    if (size == m_imageSize)
        return;
    m_imageSize = size;
    updateGeometry();
    update();
}

void ImageButton::setImageEx(const QString &path)
{
    m_baseImage = path;
    m_currentImage = path;
    // The file behind a path may have been replaced: render afresh.
    m_renderings.clear();
    m_naturalSizes.clear();
    updateGeometry();
    update();
}

void ImageButton::setImage(const QString &path)
{
    if (path == m_currentImage)
        return;
    m_currentImage = path;
    update();
}

QSize ImageButton::naturalSize(const QString &path) const
{
    const auto found = m_naturalSizes.constFind(path);
    if (found != m_naturalSizes.constEnd())
        return *found;
    QSize size;
    if (isSvg(path))
        size = QSvgRenderer(path).defaultSize();
    else if (!path.isEmpty())
        size = QImageReader(path).size();
    if (size.isValid())
        m_naturalSizes.insert(path, size);
    return size;
}

QSize ImageButton::paintedSize() const
{
    if (m_imageSize.isValid() && !m_imageSize.isEmpty())
        return m_imageSize;
    return naturalSize(m_currentImage);
}

QPixmap ImageButton::imagePixmap(qreal devicePixelRatio) const
{
    const QSize size = paintedSize();
    if (m_currentImage.isEmpty() || size.isEmpty() || devicePixelRatio <= 0)
        return QPixmap();
    const QString key = renderingKey(m_currentImage, size, devicePixelRatio);
    const auto found = m_renderings.constFind(key);
    if (found != m_renderings.constEnd())
        return *found;
    const QPixmap pixmap = renderImage(m_currentImage, size, devicePixelRatio);
    // A file that is missing now may appear later: only successes are kept.
    if (!pixmap.isNull()) {
        if (m_renderings.size() >= maxRenderings)
            m_renderings.clear();
        m_renderings.insert(key, pixmap);
    }
    return pixmap;
}

QRect ImageButton::imageRect() const
{
    const QSize size = paintedSize();
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

QSize ImageButton::sizeHint() const
{
    const QSize image = paintedSize();
    if (!text().isEmpty() || image.isEmpty())
        return QPushButton::sizeHint().expandedTo(image);
    return image;
}

QSize ImageButton::minimumSizeHint() const
{
    return sizeHint();
}

void ImageButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // PE_Widget paints what the style sheet gives this state (":hover",
    // ":pressed", ...) and nothing under a plain style, where an image button
    // is meant to be flat rather than a raised bevel.
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    const QPixmap pixmap = imagePixmap(devicePixelRatioF());
    if (!pixmap.isNull()) {
        painter.save();
        if (!isEnabled() && m_currentImage == m_baseImage)
            painter.setOpacity(disabledOpacity);
        painter.drawPixmap(imageRect().topLeft(), pixmap);
        painter.restore();
    }
    if (!option.text.isEmpty()) {
        option.icon = QIcon();
        style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, this);
    }
}
