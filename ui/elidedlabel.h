#pragma once

#include <QLabel>

// A one-line label that shows as much of its text as its width allows and
// ends a shortened text with "…", so a long text never spills over the
// widgets beside it. It asks the layout for room for the whole text but can
// be squeezed down to the ellipsis; text() is what is shown, fullText() what
// was given.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    QString fullText() const { return m_fullText; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int textWidth() const;
    int horizontalPadding() const;
    void elide();

    QString m_fullText;
};
