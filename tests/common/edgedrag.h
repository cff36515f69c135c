#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>

// One drag of a window's edge or corner, and what must follow from it: the
// dragged sides end under the pointer, the others stay where they were. The
// window-manager and compositor tests drive the same drags with their own
// pointers and read the frames their own way.
struct EdgeDrag
{
    const char *name;
    Qt::Edges edges;
    QPoint delta;

    // Just inside the frame on the dragged sides, centred on the others.
    QPoint pressPoint(const QRect &before) const;
    // Empty when the frame followed; else what happened, for the failure.
    QString mismatch(const QRect &before, const QRect &after, const QPoint &release, int tolerance) const;
};

// "x,y wxh", for failure messages.
QString describe(const QRect &rect);

// The frame read once it has stopped changing for a moment (the compositor
// may still be placing or sizing the window), or the last one read after
// about 3 s.
QRect settledFrame(const std::function<QRect()> &readFrame);
