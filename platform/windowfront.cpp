#include "windowfront.h"

#include <QWidget>

namespace WindowFront {

void bringToFront(QWidget *window)
{
    if (!window)
        return;
    window->raise();
    window->activateWindow();
}

} // namespace WindowFront
