#pragma once

class QWidget;

namespace WindowFront {

// Puts a top-level window above the others and gives it the focus without
// leaving it on top for good.
void bringToFront(QWidget *window);

} // namespace WindowFront
