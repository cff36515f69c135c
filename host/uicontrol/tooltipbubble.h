#pragma once

#include <QLabel>

// The window of a ToolTipHelper: white text on a dark rounded background.
// It paints its own background, since a translucent window (needed for the
// rounded corners) gets none from its style sheet or palette.
class ToolTipBubble : public QLabel
{
    Q_OBJECT
public:
    static constexpr int cornerRadius = 4;

    explicit ToolTipBubble(QWidget *parent = nullptr);
    ~ToolTipBubble() override;

    static QColor backgroundColor();
    // Whether a window's transparent parts show what lies below it; where
    // they do not, the bubble is an opaque rectangle instead.
    static bool translucencyShows();
    bool isRounded() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_rounded = true;
};
