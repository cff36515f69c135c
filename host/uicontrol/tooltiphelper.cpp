#include "tooltiphelper.h"

#include "tooltipbubble.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>

namespace {

// Used when the style gives no wake-up delay of its own.
constexpr int fallbackWakeUpDelayMs = 700;

QRect availableGeometryAt(const QPoint &globalPos, const QWidget *widget)
{
    QScreen *screen = QGuiApplication::screenAt(globalPos);
    if (!screen && widget)
        screen = widget->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

ToolTipHelper::ToolTipHelper(QObject *parent, ToolTipType type)
    : QObject(parent)
    , m_type(type)
    , m_wakeUpTimer(new QTimer(this))
{
    m_wakeUpTimer->setSingleShot(true);
    connect(m_wakeUpTimer, &QTimer::timeout, this, &ToolTipHelper::showTip);
}

ToolTipHelper::~ToolTipHelper()
{
    // The bubble is a window of its own, without a parent to take it along.
    delete m_label;
}

void ToolTipHelper::registerActiveWidget(QWidget *widget)
{
    if (widget == m_widget)
        return;
    hideTip();
    if (m_widget) {
        m_widget->removeEventFilter(this);
        disconnect(m_widget, &QObject::destroyed, this, &ToolTipHelper::onWidgetDestroyed);
    }
    m_widget = widget;
    if (!widget)
        return;
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, &ToolTipHelper::onWidgetDestroyed);
}

int ToolTipHelper::wakeUpDelay() const
{
    const QStyle *style = m_widget ? m_widget->style() : nullptr;
    const int delay = style ? style->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, m_widget) : 0;
    return delay > 0 ? delay : fallbackWakeUpDelayMs;
}

bool ToolTipHelper::isTipVisible() const
{
    return m_label && m_label->isVisible();
}

QString ToolTipHelper::tipText() const
{
    return m_label ? m_label->text() : QString();
}

bool ToolTipHelper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_widget)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ToolTip:
        // The bubble replaces the platform's tooltip; both must not show.
        return true;
    case QEvent::Enter:
        m_wakeUpTimer->start(wakeUpDelay());
        break;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::Hide:
    case QEvent::WindowDeactivate:
        hideTip();
        break;
    case QEvent::ToolTipChange:
        if (isTipVisible()) {
            if (m_widget->toolTip().isEmpty()) {
                hideTip();
            } else {
                m_label->setText(m_widget->toolTip());
                placeLabel();
            }
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ToolTipHelper::showTip()
{
    if (!m_widget || !m_widget->isVisible())
        return;
    const QString text = m_widget->toolTip();
    if (text.isEmpty())
        return;
    ensureLabel();
    m_label->setText(text);
    placeLabel();
    m_label->show();
    m_label->raise();
}

void ToolTipHelper::hideTip()
{
    m_wakeUpTimer->stop();
    if (m_label)
        m_label->hide();
}

void ToolTipHelper::onWidgetDestroyed()
{
    m_wakeUpTimer->stop();
    delete m_label;
    m_widget = nullptr;
    deleteLater();
}

void ToolTipHelper::ensureLabel()
{
    if (!m_label)
        m_label = new ToolTipBubble;
}

void ToolTipHelper::placeLabel()
{
    m_label->adjustSize();
    const QSize size = m_label->size();
    QPoint pos;
    QRect avoid;
    if (m_type == FollowCursor) {
        const QPoint cursor = QCursor::pos();
        // Clear of a usual pointer's shape.
        pos = cursor + QPoint(spacing, 16 + spacing);
        avoid = QRect(cursor, QSize(1, 16));
    } else {
        avoid = QRect(m_widget->mapToGlobal(QPoint(0, 0)), m_widget->size());
        pos = QPoint(avoid.center().x() + 1 - size.width() / 2, avoid.bottom() + 1 + spacing);
    }
    const QRect available = availableGeometryAt(avoid.center(), m_widget);
    if (available.isValid()) {
        if (pos.y() + size.height() > available.bottom() + 1)
            pos.setY(avoid.top() - spacing - size.height());
        pos.setX(qBound(available.left(), pos.x(), qMax(available.left(), available.right() + 1 - size.width())));
        pos.setY(qMax(pos.y(), available.top()));
    }
    m_label->move(pos);
}
