#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

class QObject;
class QWidget;

// The process-wide list of open windows, oldest first, keyed by package name:
// one window per package. Entries come and go with their windows.
class WindowRegistry
{
public:
    struct Entry {
        QString key;  // the package name, in full (case-sensitive)
        QPointer<QWidget> window;
    };

    static WindowRegistry *instance();

    QWidget *find(const QString &packageName) const;
    void append(const QString &packageName, QWidget *window);
    // Forgets window; returns whether it was registered.
    bool remove(QObject *window);
    QList<Entry> entries() const { return m_entries; }
    // Whether any registered window still exists.
    bool hasWindow() const;
    // The window registered before the newest one, if any.
    QWidget *previousWindow() const;
    // Deletes every window at once (the event loop has ended).
    void deleteAll();

    static constexpr int cascadeOffset = 30;
    // Where a new window of newSize goes after previous: 30 pixels right and
    // down, if it then stays inside available; otherwise nowhere (it keeps
    // its place).
    static std::optional<QPoint> cascadePosition(const QRect &previous, const QSize &newSize, const QRect &available);

private:
    WindowRegistry() = default;
    QList<Entry> m_entries;
};

// Opens the window for a launch argument (the name of a request file, empty
// for the default page), or brings back the window of the same package.
// Returns false when the name was refused and no window was shown.
bool createWindow(const QString &argument);
// Forgets a window that announced its end and deletes it later.
void removeWindow(QObject *object);
