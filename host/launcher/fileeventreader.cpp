#include "fileeventreader.h"

bool FileEventReader::isKnownEvent(int value)
{
    // The events of FileWatcher::FileEvent.
    return value >= 0 && value <= 2;
}

void FileEventReader::reset()
{
    m_partial.clear();
    m_skippingLongLine = false;
}

void FileEventReader::takeLine(const QByteArray &line, QVector<int> &events) const
{
    bool ok = false;
    const int value = line.trimmed().toInt(&ok);
    if (ok && isKnownEvent(value) && !events.contains(value))
        events.append(value);
}

QVector<int> FileEventReader::feed(const QByteArray &bytes)
{
    QVector<int> events;
    int start = 0;
    while (start < bytes.size()) {
        const int lineEnd = bytes.indexOf('\n', start);
        const int end = lineEnd < 0 ? bytes.size() : lineEnd;
        if (!m_skippingLongLine) {
            if (m_partial.size() + (end - start) > maxLineBytes) {
                m_partial.clear();
                m_skippingLongLine = true;
            } else {
                m_partial.append(bytes.constData() + start, end - start);
            }
        }
        if (lineEnd < 0)
            break;
        if (!m_skippingLongLine)
            takeLine(m_partial, events);
        m_partial.clear();
        m_skippingLongLine = false;
        start = lineEnd + 1;
    }
    return events;
}
