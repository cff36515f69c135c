#include "log.h"

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
    QMutexLocker locker(&m_mutex);
    if (m_started)
        return;
    m_started = true;
    const QString folder = VLauncher::instance()->productDir() + QStringLiteral("/logs");
    QDir().mkpath(folder);
    m_path = folder + QStringLiteral("/tradory.log");
    openFile();
    m_previous = qInstallMessageHandler(&Log::handleMessage);
}

bool Log::openFile()
{
    m_file.setFileName(m_path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

void Log::handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    Log *log = instance();
    log->write(type, message);
    if (log->m_previous)
        log->m_previous(type, context, message);
}

void Log::write(QtMsgType type, const QString &message)
{
    static const char levels[] = {'D', 'W', 'C', 'F', 'I'};
    const char level = (type >= 0 && type < int(sizeof levels)) ? levels[type] : '?';
    const QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() + ' ' + level + ' '
        + message.toUtf8() + '\n';

    QMutexLocker locker(&m_mutex);
    if (!m_file.isOpen())
        return;
    if (m_file.size() + line.size() > maxFileBytes) {
        m_file.close();
        QFile::remove(m_path + QStringLiteral(".1"));
        QFile::rename(m_path, m_path + QStringLiteral(".1"));
        if (!openFile())
            return;
    }
    m_file.write(line);
    m_file.flush();
}
