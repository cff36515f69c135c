#include "filewatcher.h"

#include "regularfile.h"
#include "vlauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

quint64 inodeOf(const QString &path)
{
    struct stat st;
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return quint64(st.st_ino);
}

quint64 inodeOf(const QFile &file)
{
    struct stat st;
    if (fstat(file.handle(), &st) != 0)
        return 0;
    return quint64(st.st_ino);
}

bool isRegularFile(const QString &path)
{
    struct stat st;
    return lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

FileWatcher *FileWatcher::instance()
{
    static FileWatcher *watcher = new FileWatcher(QCoreApplication::instance());
    return watcher;
}

QString FileWatcher::eventsFilePath()
{
    return VLauncher::instance()->productDir() + QStringLiteral("/file_events");
}

bool FileWatcher::fireEvent(int event, QString *error)
{
    const QString path = eventsFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file;
    QString reason;
    if (!RegularFile::openForAppending(file, path, false, &reason)) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
        return false;
    }
    // One write per line, so that a reader never sees half a number.
    const QByteArray line = QByteArray::number(event) + '\n';
    if (file.write(line) != line.size()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

FileWatcher::FileWatcher(QObject *parent)
    : QObject(parent)
    , m_path(eventsFilePath())
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &FileWatcher::readNewEvents);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FileWatcher::readNewEvents);
    skipExistingEvents();
    watch();
}

void FileWatcher::skipExistingEvents()
{
    if (RegularFile::openForReading(m_file, m_path)) {
        m_offset = m_file.size();
        m_inode = inodeOf(m_file);
    }
}

void FileWatcher::watch()
{
    const QString dir = QFileInfo(m_path).absolutePath();
    if (!m_watcher.directories().contains(dir))
        m_watcher.addPath(dir);
    // A file that was replaced or removed drops out of the watch list. A
    // watch on anything but a regular file would follow a link to its target.
    if (isRegularFile(m_path) && !m_watcher.files().contains(m_path))
        m_watcher.addPath(m_path);
}

void FileWatcher::watchOpenFile()
{
    // The watch may still be on what was at the path before (a link's target
    // stays watched after the link is gone): renew it on the file we read.
    if (m_watcher.files().contains(m_path))
        m_watcher.removePath(m_path);
    m_watcher.addPath(m_path);
}

bool FileWatcher::reopenIfReplaced()
{
    // The file we hold keeps its inode, so a different inode at the path is
    // always a new file, even when the old one was removed and the new one
    // has grown past our offset before we got here.
    if (!m_file.isOpen() || inodeOf(m_path) != m_inode) {
        if (!RegularFile::openForReading(m_file, m_path))
            return false;
        m_inode = inodeOf(m_file);
        m_offset = 0;
        m_reader.reset();
        watchOpenFile();
    } else if (m_file.size() < m_offset) {
        // Truncated: everything in it is new.
        m_offset = 0;
        m_reader.reset();
    }
    return true;
}

QByteArray FileWatcher::readAppended()
{
    const qint64 size = m_file.size();
    if (size - m_offset > maxBytesPerRead) {
        qWarning("[Tradory] the events file grew by %lld bytes at once; skipping them", size - m_offset);
        m_offset = size;
        m_reader.reset();
        return QByteArray();
    }
    if (!m_file.seek(m_offset))
        return QByteArray();
    const QByteArray fresh = m_file.read(maxBytesPerRead);
    m_offset += fresh.size();
    return fresh;
}

void FileWatcher::readNewEvents()
{
    watch();
    if (!reopenIfReplaced())
        return;
    for (const int event : m_reader.feed(readAppended()))
        emit fileEvent(FileEvent(event));
}
