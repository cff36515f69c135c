#include "imagemanager.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

ImageManager *ImageManager::instance()
{
    static ImageManager manager;
    return &manager;
}

QPixmap ImageManager::renderSvg(const QString &path, qreal devicePixelRatio)
{
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return QPixmap();
    const QSize logical = renderer.defaultSize().isEmpty() ? QSize(64, 64) : renderer.defaultSize();
    QPixmap pixmap(logical * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

const QPixmap &ImageManager::getPixmapByPath(const QString &path)
{
    const auto found = m_cache.constFind(path);
    if (found != m_cache.constEnd())
        return *found;
    QPixmap pixmap;
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
        pixmap = renderSvg(path, ratio);
    } else {
        pixmap.load(path);
    }
    if (pixmap.isNull())
        return m_null;
    return *m_cache.insert(path, pixmap);
}

void ImageManager::clear()
{
    m_cache.clear();
}
