#pragma once

#include "imagebutton.h"

class ToolTipHelper;

// A title-bar button: an image button whose tooltip shows in the launcher's
// own bubble. The window sets its size, image, tooltip and colours.
class VelPushButton : public ImageButton
{
    Q_OBJECT
public:
    explicit VelPushButton(QWidget *parent = nullptr);
    ~VelPushButton() override;

    ToolTipHelper *tooltipHelper;
};
