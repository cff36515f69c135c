#pragma once

#include <QLabel>
#include <QMutex>
#include <QPixmap>

class QMovie;

// Plays an animated GIF as a square as high as the label, centred. Each new
// frame is scaled once, to the label's height in device pixels; painting only
// copies that prepared frame. The animation runs only while the label is
// shown: a loading animation hidden under a loaded page would otherwise decode
// and scale frames for as long as its window is open, in every window.
class GifLabel : public QLabel
{
    Q_OBJECT
public:
    explicit GifLabel(QWidget *parent = nullptr);
    ~GifLabel() override;

    void setGif(const QString &path);

    QMovie *movie() const { return m_movie; }
    QPixmap framePixmap() const;
    // Where the frame is drawn, in logical pixels.
    QRect frameRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private slots:
    void refreshPixmap(int frameNumber);

private:
    QMovie *m_movie = nullptr;
    QPixmap m_framePixmap;
    mutable QMutex m_frameLock;
};
