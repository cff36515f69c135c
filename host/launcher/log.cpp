#include "log.h"

#include "logline.h"
#include "regularfile.h"
#include "vlauncher.h"

#include <QDateTime>
#include <QDir>
#include <QMutexLocker>

Log *Log::instance()
{
    // Never destroyed: the message handler stays installed until the process
    // ends, and a line from a static destructor or a thread that runs past
    // main() must still find the mutex and the file. Every line is flushed
    // as it is written, so nothing is lost when the system closes the file.
    static Log *const log = new Log;
    return log;
}

void Log::startForCef()
{
    QString error;
    {
        QMutexLocker locker(&m_mutex);
        if (m_started)
            return;
        m_started = true;
        const QString folder = VLauncher::instance()->productDir() + QStringLiteral("/logs");
        QDir().mkpath(folder);
        m_path = folder + QStringLiteral("/tradory.log");
        openFile(false, &error);
        m_previous = qInstallMessageHandler(&Log::handleMessage);
    }
    // Outside the lock: this line goes through the handler just installed.
    if (!error.isEmpty())
        qWarning("[Tradory] cannot write the log file %s (%s); logging to the console only",
                 qUtf8Printable(m_path), qUtf8Printable(error));
}

bool Log::openFile(bool truncate, QString *error)
{
    return RegularFile::openForAppending(m_file, m_path, truncate, error);
}

void Log::handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    Log *log = instance();
    const QString line = LogLine::sanitize(message);
    log->write(type, line);
    if (log->m_previous)
        log->m_previous(type, context, line);
}

void Log::rotate()
{
    m_file.close();
    const QString previous = m_path + QStringLiteral(".1");
    QFile::remove(previous);
    // When the old copy cannot be replaced (a folder in its place, say), the
    // full file starts over rather than grow past the cap.
    const bool moved = QFile::rename(m_path, previous);
    openFile(!moved);
}

void Log::write(QtMsgType type, const QString &sanitizedMessage)
{
    const QByteArray line = LogLine::format(type, sanitizedMessage, QDateTime::currentDateTime());

    QMutexLocker locker(&m_mutex);
    if (!m_file.isOpen())
        return;
    if (m_file.size() + line.size() > maxFileBytes) {
        rotate();
        if (!m_file.isOpen())
            return;
    }
    m_file.write(line);
    m_file.flush();
}
