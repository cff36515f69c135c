#include "tooltipbubble.h"

#include <QGuiApplication>
#include <QPainter>
#include <QX11Info>

ToolTipBubble::ToolTipBubble(QWidget *parent)
    : QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
{
    setObjectName(QStringLiteral("ToolTipBubble"));
    m_rounded = translucencyShows();
    if (m_rounded)
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

bool ToolTipBubble::translucencyShows()
{
    // An X server without a compositing manager has no alpha: the corners a
    // translucent window leaves out come out black.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return QX11Info::isCompositingManagerRunning();
    return true;
}

bool ToolTipBubble::isRounded() const
{
    return m_rounded;
}

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
        if (m_rounded) {
            painter.setBrush(backgroundColor());
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
        } else {
            QColor opaque = backgroundColor();
            opaque.setAlpha(255);
            painter.setBrush(opaque);
            painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        }
    }
    QLabel::paintEvent(event);
}
