#pragma once

#include <QFile>
#include <QMutex>
#include <QString>
#include <QtGlobal>

// The launcher's log service. startForCef() keeps every Qt log message of the
// process in "<app-data root>/<product folder>/logs/tradory.log" as well as on
// the usual output. The file is kept below a few megabytes by moving a full
// file to "tradory.log.1". The service lives until the process ends, so a
// message logged after main() returns is still safe to write.
//
// Every message becomes exactly one line of bounded length (see LogLine),
// whoever sent it. Only a regular file is ever written: something else at
// the log's path (a FIFO, a link, a folder) leaves the process logging to
// the usual output alone.
class Log
{
public:
    static Log *instance();

    void startForCef();
    QString filePath() const { return m_path; }

    static constexpr qint64 maxFileBytes = 4 * 1024 * 1024;

private:
    Log() = default;
    static void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message);
    void write(QtMsgType type, const QString &sanitizedMessage);
    bool openFile(bool truncate, QString *error = nullptr);
    void rotate();

    QMutex m_mutex;
    QFile m_file;
    QString m_path;
    QtMessageHandler m_previous = nullptr;
    bool m_started = false;
};
