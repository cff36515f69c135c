#pragma once

#include <QHash>
#include <QPixmap>
#include <QString>

// Process-wide cache of images by file path. SVG files are rendered at the
// screen's device pixel ratio so that they stay sharp on high-DPI screens;
// other formats are loaded as they are. A file that cannot be read is not
// cached, so a later call finds it once it exists.
class ImageManager
{
public:
    static ImageManager *instance();

    // The reference stays valid until clear() is called.
    const QPixmap &getPixmapByPath(const QString &path);
    void clear();

    static QPixmap renderSvg(const QString &path, qreal devicePixelRatio);

private:
    ImageManager() = default;
    QHash<QString, QPixmap> m_cache;
    const QPixmap m_null;
};
