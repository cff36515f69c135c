#include "filewatcher.h"

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
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
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
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
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
    m_file.setFileName(m_path);
    if (m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_offset = m_file.size();
        m_inode = inodeOf(m_file);
    }
}

void FileWatcher::watch()
{
    const QString dir = QFileInfo(m_path).absolutePath();
    if (!m_watcher.directories().contains(dir))
        m_watcher.addPath(dir);
    // A file that was replaced or removed drops out of the watch list.
    if (QFileInfo::exists(m_path) && !m_watcher.files().contains(m_path))
        m_watcher.addPath(m_path);
}

void FileWatcher::readNewEvents()
{
    watch();
    // The file we hold keeps its inode, so a different inode at the path is
    // always a new file, even when the old one was removed and the new one
    // has grown past our offset before we got here.
    if (!m_file.isOpen() || inodeOf(m_path) != m_inode) {
        m_file.close();
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return;
        m_inode = inodeOf(m_file);
        m_offset = 0;
        m_partial.clear();
    } else if (m_file.size() < m_offset) {
        // Truncated: everything in it is new.
        m_offset = 0;
        m_partial.clear();
    }
    if (!m_file.seek(m_offset))
        return;
    const QByteArray fresh = m_file.readAll();
    m_offset += fresh.size();
    m_partial += fresh;
    // Lines are a few bytes; a file of anything else must not grow the buffer.
    if (m_partial.size() > maxLineBytes && !m_partial.contains('\n'))
        m_partial.clear();

    int lineEnd;
    while ((lineEnd = m_partial.indexOf('\n')) >= 0) {
        const QByteArray line = m_partial.left(lineEnd).trimmed();
        m_partial.remove(0, lineEnd + 1);
        bool ok = false;
        const int value = line.toInt(&ok);
        if (ok)
            emit fileEvent(FileEvent(value));
    }
}
