#include "edgedrag.h"

#include <QTest>

QPoint EdgeDrag::pressPoint(const QRect &before) const
{
    return QPoint((edges & Qt::LeftEdge) ? before.left() + 1
                      : (edges & Qt::RightEdge) ? before.right() - 1 : before.center().x(),
                  (edges & Qt::TopEdge) ? before.top() + 1
                      : (edges & Qt::BottomEdge) ? before.bottom() - 1 : before.center().y());
}

QString EdgeDrag::mismatch(const QRect &before, const QRect &after, const QPoint &release, int tolerance) const
{
    const auto side = [&](Qt::Edge which, int now, int was, int pointer) {
        return (edges & which) ? qAbs(now - pointer) <= tolerance : now == was;
    };
    if (side(Qt::LeftEdge, after.left(), before.left(), release.x())
        && side(Qt::RightEdge, after.right(), before.right(), release.x())
        && side(Qt::TopEdge, after.top(), before.top(), release.y())
        && side(Qt::BottomEdge, after.bottom(), before.bottom(), release.y()))
        return QString();
    return QStringLiteral("%1: %2 -> %3, released at %4,%5")
        .arg(QLatin1String(name), describe(before), describe(after))
        .arg(release.x())
        .arg(release.y());
}

QString describe(const QRect &rect)
{
    return QStringLiteral("%1,%2 %3x%4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
}

QRect settledFrame(const std::function<QRect()> &readFrame)
{
    QRect last = readFrame();
    for (int attempt = 0; attempt < 20; ++attempt) {
        QTest::qWait(150);
        const QRect now = readFrame();
        if (now == last)
            return now;
        last = now;
    }
    return last;
}
