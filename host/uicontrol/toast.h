#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QTimer;
class QVariantAnimation;

// A transient notice over a window: white text in a dark rounded bubble. It
// fades in, stays for its duration, fades out and deletes itself.
//
// A toast is a child widget laid over its parent, so it goes with the parent
// when that is destroyed mid-way, and it never takes the focus. One parent
// shows one toast at a time: a new one replaces the one still showing.
class Toast : public QWidget
{
    Q_OBJECT
public:
    // Where the bubble sits over the parent.
    enum AnchorPoint {
        // In the middle of the parent.
        Center = 0,
        // Centred horizontally, anchorMargin below the parent's top edge: the
        // place of the fullscreen hint, clear of a page's own content.
        TopCenter = 1,
        // Centred horizontally, anchorMargin above the parent's bottom edge.
        BottomCenter = 2,
    };
    Q_ENUM(AnchorPoint)

    static constexpr int defaultDurationMs = 2000;
    static constexpr int fadeInMs = 150;
    static constexpr int fadeOutMs = 300;
    static constexpr int anchorMargin = 40;

    // Shows text over parent for durationMs (defaultDurationMs when not
    // positive) before it fades out.
    //
    // modal: true lays a shield over the whole parent that swallows mouse
    // input until the toast is gone, for notices that must be read before the
    // user goes on; false lets every click and scroll pass through to the
    // parent, so the notice never gets in the way.
    //
    // Returns the toast, or null when there is no parent to show it over.
    static Toast *showTip(const QString &text, QWidget *parent, bool modal = false,
                          int durationMs = defaultDurationMs, AnchorPoint anchor = TopCenter);

    QString text() const { return m_text; }
    AnchorPoint anchor() const { return m_anchor; }
    bool isModal() const { return m_modal; }
    int duration() const { return m_durationMs; }
    // The bubble, in the toast's (and the parent's) coordinates.
    QRect bubbleRect() const;
    qreal opacity() const { return m_opacity; }

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    Toast(const QString &text, QWidget *parent, bool modal, int durationMs, AnchorPoint anchor);
    void start();
    void fadeOut();
    void setOpacity(qreal opacity);
    QSize bubbleSize() const;

    QString m_text;
    bool m_modal;
    int m_durationMs;
    AnchorPoint m_anchor;
    qreal m_opacity = 0.0;
    QTimer *m_holdTimer;
    QVariantAnimation *m_fade;
    bool m_fadingOut = false;
};
