#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>

class QTimer;
class QWidget;

// Shows the tooltip text of one widget in the launcher's own bubble: white
// text on a dark rounded background, in place of the platform's tooltip.
//
// The helper watches its active widget: hovering it for the platform's tooltip
// wake-up delay shows the widget's toolTip(); leaving, pressing, scrolling or
// hiding the widget hides the bubble again. The widget's own QEvent::ToolTip
// is swallowed so Qt's tooltip never appears as well. A tooltip text that
// changes while the bubble is up (Maximize -> Restore) is followed at once;
// an empty text shows nothing.
//
// The helper belongs to its widget: when the widget is destroyed the bubble
// goes with it and the helper deletes itself, also when it has another parent.
class ToolTipHelper : public QObject
{
    Q_OBJECT
public:
    enum ToolTipType {
        // The bubble is centred below the widget, or above it where the screen
        // ends below; the place of title-bar and tool buttons.
        Default = 0,
        // The bubble sits below and right of the mouse pointer, like the
        // platform's own tooltips; for large widgets.
        FollowCursor = 1,
    };
    Q_ENUM(ToolTipType)

    // Gap between the widget (or pointer) and the bubble, logical pixels.
    static constexpr int spacing = 4;

    explicit ToolTipHelper(QObject *parent = nullptr, ToolTipType type = Default);
    ~ToolTipHelper() override;

    ToolTipType type() const { return m_type; }

    // Takes over the widget's tooltips. A helper has one active widget:
    // registering another one releases the previous widget.
    void registerActiveWidget(QWidget *widget);
    QWidget *activeWidget() const { return m_widget; }

    // The hover time before the bubble appears, in milliseconds.
    int wakeUpDelay() const;

    bool isTipVisible() const;
    QString tipText() const;
    // The bubble window while it exists (it is made on first use).
    QLabel *tipLabel() const { return m_label; }

    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void showTip();
    void onWidgetDestroyed();

private:
    void hideTip();
    void ensureLabel();
    void placeLabel();

    ToolTipType m_type;
    QPointer<QWidget> m_widget;
    QTimer *m_wakeUpTimer;
    QPointer<QLabel> m_label;
};
