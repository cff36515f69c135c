#include "giflabel.h"

#include <QMovie>
#include <QMutexLocker>
#include <QPainter>

namespace {
// QMovie decodes at this size; the label scales once more to its own height.
constexpr int decodedFrameSize = 76;
} // namespace

GifLabel::GifLabel(QWidget *parent)
    : QLabel(parent)
{
}

GifLabel::~GifLabel() = default;

void GifLabel::setGif(const QString &path)
{
    if (m_movie) {
        m_movie->stop();
        disconnect(m_movie, &QMovie::frameChanged, this, &GifLabel::refreshPixmap);
        delete m_movie;
    }
    m_movie = new QMovie(path, QByteArray(), this);
    m_movie->setScaledSize(QSize(decodedFrameSize, decodedFrameSize));
    connect(m_movie, &QMovie::frameChanged, this, &GifLabel::refreshPixmap);
    if (isVisible())
        m_movie->start();
}

void GifLabel::showEvent(QShowEvent *event)
{
    QLabel::showEvent(event);
    // Resumes a paused animation, or starts one set while hidden.
    if (m_movie)
        m_movie->start();
}

void GifLabel::hideEvent(QHideEvent *event)
{
    QLabel::hideEvent(event);
    if (m_movie && m_movie->state() == QMovie::Running)
        m_movie->setPaused(true);
}

QPixmap GifLabel::framePixmap() const
{
    QMutexLocker locker(&m_frameLock);
    return m_framePixmap;
}

QRect GifLabel::frameRect() const
{
    // Integer division truncates towards zero, also for narrow labels.
    return QRect((width() - height()) / 2, 0, height(), height());
}

void GifLabel::refreshPixmap(int frameNumber)
{
    Q_UNUSED(frameNumber)
    {
        QMutexLocker locker(&m_frameLock);
        const int side = int(height() * devicePixelRatioF());
        m_framePixmap = m_movie->currentPixmap().scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    // Painting takes the same lock: it must be free before repaint().
    repaint();
}

void GifLabel::paintEvent(QPaintEvent *event)
{
    {
        QMutexLocker locker(&m_frameLock);
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(frameRect(), m_framePixmap, m_framePixmap.rect());
    }
    QLabel::paintEvent(event);
}
