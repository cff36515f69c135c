#include "elidedlabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QtMath>
#include <QResizeEvent>

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void ElidedLabel::setFullText(const QString &text)
{
    m_fullText = text;
    updateGeometry();
    elide();
}

int ElidedLabel::horizontalPadding() const
{
    const QMargins margins = contentsMargins();
    return margins.left() + margins.right() + 2 * margin() + qMax(indent(), 0);
}

int ElidedLabel::textWidth() const
{
    return width() - horizontalPadding();
}

QSize ElidedLabel::sizeHint() const
{
    ensurePolished();
    // Whole pixels rounded up: the integer advance can be a fraction short,
    // and a label that much too narrow would elide a text that fits.
    const int advance = qCeil(QFontMetricsF(font()).horizontalAdvance(m_fullText));
    return QSize(advance + horizontalPadding(), QLabel::sizeHint().height());
}

QSize ElidedLabel::minimumSizeHint() const
{
    ensurePolished();
    return QSize(fontMetrics().horizontalAdvance(QChar(0x2026)) + horizontalPadding(),
                 QLabel::minimumSizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::LanguageChange:
        // The style sheet's font arrives with polishing, after the text.
        updateGeometry();
        elide();
        break;
    default:
        break;
    }
}

void ElidedLabel::elide()
{
    const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideRight, qMax(textWidth(), 0));
    // An unchanged text must not be set again: setText asks the layout for
    // a new pass, which would resize the label and come back here.
    if (shown != text())
        setText(shown);
}
