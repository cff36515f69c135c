#pragma once

#include "fileeventreader.h"

#include <QFile>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

// Events the launcher raises for all its windows. The launcher appends one
// line per event, the event number in decimal, to the events file
// "<app-data root>/<product folder>/file_events". The watcher reads only what
// was appended since it started (or since it last read), so an old file never
// replays events, and every event written at once arrives, in the order of
// its first line (FileEventReader says what is bounded). Only a regular file
// at that path is read; anything else there is passed over until a regular
// file takes its place.
class FileWatcher : public QObject
{
    Q_OBJECT
public:
    enum FileEvent {
        QuitApplication = 0,  // every window leaves; the program ends
        LanguageChanged = 1,  // the user picked another language
        CloseLogin = 2        // sign-in windows close
    };
    Q_ENUM(FileEvent)

    static constexpr int maxLineBytes = FileEventReader::maxLineBytes;
    // More than this appended at once is no launcher's doing: it is skipped.
    static constexpr qint64 maxBytesPerRead = 64 * 1024;

    static FileWatcher *instance();
    static QString eventsFilePath();

    // Appends one event line; used by the launcher side.
    static bool fireEvent(int event, QString *error = nullptr);

signals:
    void fileEvent(FileWatcher::FileEvent event);

private:
    explicit FileWatcher(QObject *parent = nullptr);
    void watch();
    void watchOpenFile();
    void readNewEvents();
    void skipExistingEvents();
    bool reopenIfReplaced();
    QByteArray readAppended();

    QFileSystemWatcher m_watcher;
    QString m_path;
    // Held open so that its inode cannot be reused by a new events file.
    QFile m_file;
    qint64 m_offset = 0;
    quint64 m_inode = 0;
    FileEventReader m_reader;
};
