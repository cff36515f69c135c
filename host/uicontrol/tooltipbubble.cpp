#include "tooltipbubble.h"

#include <QPainter>

ToolTipBubble::ToolTipBubble(QWidget *parent)
    : QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
{
    setObjectName(QStringLiteral("ToolTipBubble"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setTextFormat(Qt::PlainText);
    setContentsMargins(8, 4, 8, 4);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    QFont font = this->font();
    font.setPixelSize(12);
    setFont(font);
}

ToolTipBubble::~ToolTipBubble() = default;

QColor ToolTipBubble::backgroundColor()
{
    return QColor(18, 20, 30, 235);
}

void ToolTipBubble::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // A faint rim keeps the bubble apart from an equally dark window.
        painter.setPen(QPen(QColor(255, 255, 255, 20), 1));
        painter.setBrush(backgroundColor());
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    }
    QLabel::paintEvent(event);
}
