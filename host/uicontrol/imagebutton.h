#pragma once

#include <QHash>
#include <QPixmap>
#include <QPushButton>
#include <QSize>
#include <QString>

// A push button whose face is an image file (SVG or bitmap) drawn centred at
// the image size. SVG files are rendered at the painted size in device pixels,
// so the image stays sharp at any device pixel ratio; each rendering is kept
// per file, size and ratio, so painting only copies a pixmap.
//
// The background comes from the style sheet alone ("QPushButton:hover{...}",
// ":pressed", ":disabled" rules); without one the button is flat. A text, when
// set, is drawn over the image.
//
// Two ways to give the image:
// - setImageEx(path) styles the button: the path becomes its base image (and
//   the current one) and every cached rendering is dropped. Call it once when
//   the button is set up, or when its artwork is replaced for good.
// - setImage(path) only swaps the current image for a state of the button
//   (maximise/restore, a navigation button enabled or disabled). The base
//   image and the renderings stay, so switching back and forth is cheap.
//
// A disabled button showing its base image is drawn at reduced opacity. Once
// setImage has put up another image, that image is taken to be drawn for the
// state it was chosen for (a "_Disable" artwork, say) and is drawn as it is.
class ImageButton : public QPushButton
{
    Q_OBJECT
public:
    static constexpr qreal disabledOpacity = 0.35;

    explicit ImageButton(QWidget *parent = nullptr);
    ~ImageButton() override;

    // An empty size draws the image at its own size.
    void setImageSize(const QSize &size);
    QSize imageSize() const { return m_imageSize; }

    void setImageEx(const QString &path);
    void setImage(const QString &path);

    QString baseImage() const { return m_baseImage; }
    QString currentImage() const { return m_currentImage; }

    // The current image as painted at the given device pixel ratio (device
    // pixels, the ratio set on the pixmap); null when the file cannot be read.
    QPixmap imagePixmap(qreal devicePixelRatio) const;
    // Where the image is painted, in logical pixels.
    QRect imageRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSize paintedSize() const;
    QSize naturalSize(const QString &path) const;

    QSize m_imageSize;
    QString m_baseImage;
    QString m_currentImage;
    // Keyed by path, logical size and ratio; a button shows only a few images.
    mutable QHash<QString, QPixmap> m_renderings;
    mutable QHash<QString, QSize> m_naturalSizes;
};
