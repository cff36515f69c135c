// VLauncher's image helper, in a file of its own: a second instance reads the
// configuration through VLauncher and forwards without loading Qt's GUI
// library, which it can only do while the configuration's object file names
// nothing of it.
#include "vlauncher.h"

#include <QPainter>
#include <QPainterPath>

QPixmap VLauncher::pixmapToRound(const QPixmap &pixmap, int radius) const
{
    if (pixmap.isNull())
        return pixmap;
    QPixmap rounded(pixmap.size());
    rounded.setDevicePixelRatio(pixmap.devicePixelRatio());
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    const QSizeF logical = QSizeF(pixmap.size()) / pixmap.devicePixelRatio();
    QPainterPath clip;
    clip.addRoundedRect(QRectF(QPointF(0, 0), logical), radius, radius);
    painter.setClipPath(clip);
    painter.drawPixmap(0, 0, pixmap);
    return rounded;
}
