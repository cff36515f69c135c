#include "velpushbutton.h"

#include "tooltiphelper.h"

VelPushButton::VelPushButton(QWidget *parent)
    : ImageButton(parent)
    , tooltipHelper(new ToolTipHelper(this, ToolTipHelper::Default))
{
    tooltipHelper->registerActiveWidget(this);
}

// The tooltip helper is a child: it goes with the button.
VelPushButton::~VelPushButton() = default;
