#include "windowregistry.h"

#include "cloudgame.h"
#include "memoryrelease.h"
#include "requestfile.h"
#include "windowfront.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>

WindowRegistry *WindowRegistry::instance()
{
    static WindowRegistry registry;
    return &registry;
}

QWidget *WindowRegistry::find(const QString &packageName) const
{
    if (packageName.isEmpty())
        return nullptr;
    for (const Entry &entry : m_entries) {
        if (entry.window && entry.key == packageName)
            return entry.window;
    }
    return nullptr;
}

void WindowRegistry::append(const QString &packageName, QWidget *window)
{
    m_entries.append(Entry{packageName, window});
}

bool WindowRegistry::remove(QObject *window)
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).window.data() == window) {
            m_entries.removeAt(i);
            return true;
        }
    }
    return false;
}

bool WindowRegistry::hasWindow() const
{
    for (const Entry &entry : m_entries) {
        if (entry.window)
            return true;
    }
    return false;
}

QWidget *WindowRegistry::previousWindow() const
{
    return m_entries.size() >= 2 ? m_entries.at(m_entries.size() - 2).window.data() : nullptr;
}

void WindowRegistry::deleteAll()
{
    const QList<Entry> entries = m_entries;
    m_entries.clear();
    for (const Entry &entry : entries)
        delete entry.window.data();
}

std::optional<QPoint> WindowRegistry::cascadePosition(const QRect &previous, const QSize &newSize, const QRect &available)
{
    const QPoint position = previous.topLeft() + QPoint(cascadeOffset, cascadeOffset);
    if (position.x() + newSize.width() <= available.x() + available.width()
        && position.y() + newSize.height() <= available.y() + available.height())
        return position;
    return std::nullopt;
}

namespace {

QScreen *screenFor(const QPoint &position)
{
    if (QScreen *screen = QGuiApplication::screenAt(position))
        return screen;
    if (QScreen *screen = QGuiApplication::primaryScreen())
        return screen;
    const QList<QScreen *> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

void cascade(QWidget *window)
{
    if (!WindowFront::platformPlacesWindows())
        return;
    QWidget *previous = WindowRegistry::instance()->previousWindow();
    if (!previous || (previous->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    // Frame positions on both sides: move() places the frame, and on X11 Qt
    // may count a frame even for a frameless window.
    const QRect previousFrame(previous->pos(), previous->size());
    const QPoint position = previousFrame.topLeft() + QPoint(WindowRegistry::cascadeOffset, WindowRegistry::cascadeOffset);
    QScreen *screen = screenFor(position);
    if (!screen)
        return;
    const std::optional<QPoint> placed =
        WindowRegistry::cascadePosition(previousFrame, window->size(), screen->availableGeometry());
    if (placed)
        window->move(*placed);
}

} // namespace

bool createWindow(const QString &argument)
{
    qInfo("[Tradory] Tradory window create start");
    LaunchRequest request;
    if (RequestFile::parseLaunchRequest(argument, request) == RequestFile::Outcome::Refused)
        return false;

    WindowRegistry *registry = WindowRegistry::instance();
    QWidget *window = registry->find(request.packageName);
    if (!window) {
        auto *created = new CloudGame(request);
        window = created;
        qInfo("[Tradory] Tradory window create end");
        QObject::connect(created, &CloudGame::deleteSelf, created, [](QObject *object) { removeWindow(object); });
        // What the window's page held goes back to the system once it is gone.
        MemoryRelease::instance()->watch(created);
        registry->append(request.packageName, window);
        cascade(window);
    }
    // Qt cannot raise a hidden window: show it first.
    window->showNormal();
    WindowFront::bringToFront(window);
    qInfo("[Tradory] Tradory window showNormal");
    return true;
}

void removeWindow(QObject *object)
{
    if (auto *window = qobject_cast<CloudGame *>(object))
        WindowRegistry::instance()->remove(window);
    if (object)
        object->deleteLater();
}
