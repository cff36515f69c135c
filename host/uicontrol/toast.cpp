#include "toast.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVariantAnimation>
#include <QWheelEvent>

namespace {

constexpr int horizontalPadding = 24;
constexpr int verticalPadding = 12;
constexpr int cornerRadius = 8;
constexpr int maxBubbleWidth = 520;
constexpr int fontPixelSize = 14;
constexpr int textFlags = Qt::AlignCenter | Qt::TextWordWrap;

} // namespace

Toast *Toast::showTip(const QString &text, QWidget *parent, bool modal, int durationMs, AnchorPoint anchor)
{
    if (!parent)
        return nullptr;
    const QList<Toast *> previous = parent->findChildren<Toast *>(QString(), Qt::FindDirectChildrenOnly);
    for (Toast *toast : previous) {
        // Hidden at once, so the two never show together; deleted later, as
        // the old one may be inside one of its own slots right now.
        toast->hide();
        toast->m_holdTimer->stop();
        toast->m_fade->stop();
        parent->removeEventFilter(toast);
        toast->deleteLater();
    }
    auto *toast = new Toast(text, parent, modal, durationMs > 0 ? durationMs : defaultDurationMs, anchor);
    toast->start();
    return toast;
}

Toast::Toast(const QString &text, QWidget *parent, bool modal, int durationMs, AnchorPoint anchor)
    : QWidget(parent)
    , m_text(text)
    , m_modal(modal)
    , m_durationMs(durationMs)
    , m_anchor(anchor)
    , m_holdTimer(new QTimer(this))
    , m_fade(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("Toast"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents, !modal);
    QFont font = this->font();
    font.setPixelSize(fontPixelSize);
    setFont(font);

    m_holdTimer->setSingleShot(true);
    connect(m_holdTimer, &QTimer::timeout, this, &Toast::fadeOut);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        setOpacity(value.toReal());
    });
    connect(m_fade, &QVariantAnimation::finished, this, [this]() {
        if (m_fadingOut) {
            hide();
            deleteLater();
        }
    });
    // Covers the whole parent: the bubble's place follows the parent's size,
    // and a modal toast's shield must cover everything.
    parent->installEventFilter(this);
}

void Toast::start()
{
    setGeometry(parentWidget()->rect());
    raise();
    show();
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    m_fade->setDuration(fadeInMs);
    m_fade->start();
    // The duration counts from the moment the notice appears.
    m_holdTimer->start(m_durationMs);
}

void Toast::fadeOut()
{
    m_fadingOut = true;
    m_fade->stop();
    m_fade->setStartValue(m_opacity);
    m_fade->setEndValue(0.0);
    m_fade->setDuration(fadeOutMs);
    m_fade->start();
}

void Toast::setOpacity(qreal opacity)
{
    m_opacity = opacity;
    update(bubbleRect());
}

QSize Toast::bubbleSize() const
{
    const int available = width() - 2 * horizontalPadding - 2 * anchorMargin;
    const int textWidth = qBound(1, available, maxBubbleWidth - 2 * horizontalPadding);
    const QRect text = QFontMetrics(font()).boundingRect(QRect(0, 0, textWidth, 10000), textFlags, m_text);
    return QSize(text.width() + 2 * horizontalPadding, text.height() + 2 * verticalPadding);
}

QRect Toast::bubbleRect() const
{
    const QSize size = bubbleSize();
    const int x = (width() - size.width()) / 2;
    int y = (height() - size.height()) / 2;
    if (m_anchor == TopCenter)
        y = anchorMargin;
    else if (m_anchor == BottomCenter)
        y = height() - anchorMargin - size.height();
    return QRect(QPoint(x, y), size);
}

bool Toast::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void Toast::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_opacity);
    const QRect bubble = bubbleRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 190));
    painter.drawRoundedRect(bubble, cornerRadius, cornerRadius);
    painter.setPen(Qt::white);
    painter.drawText(bubble.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding),
                     textFlags, m_text);
}

// Reached only when modal: the shield keeps input from the parent.
void Toast::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void Toast::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void Toast::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void Toast::wheelEvent(QWheelEvent *event)
{
    event->accept();
}
