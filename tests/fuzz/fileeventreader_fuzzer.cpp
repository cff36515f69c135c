// libFuzzer target for the launcher's events file: whatever is appended to
// it, in whatever pieces the watcher happens to read them.
#include "fileeventreader.h"

#include <QByteArray>
#include <QList>
#include <QSet>

#include <cstddef>
#include <cstdint>

namespace {

// What the whole input says when read at once, line by line.
QSet<int> eventsOfWholeLines(const QByteArray &bytes)
{
    QSet<int> events;
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();  // not ended yet
    for (const QByteArray &line : lines) {
        bool ok = false;
        const int value = line.trimmed().toInt(&ok);
        if (line.size() <= FileEventReader::maxLineBytes && ok && FileEventReader::isKnownEvent(value))
            events.insert(value);
    }
    return events;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the size of the pieces the rest arrives in.
    const int piece = 1 + data[0] % 97;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, int(size - 1));

    FileEventReader reader;
    QSet<int> seen;
    for (int start = 0; start < bytes.size(); start += piece) {
        const QVector<int> events = reader.feed(bytes.mid(start, piece));
        QSet<int> once;
        for (const int event : events) {
            if (!FileEventReader::isKnownEvent(event) || once.contains(event))
                __builtin_trap();
            once.insert(event);
        }
        seen += once;
        if (reader.pendingBytes() > FileEventReader::maxLineBytes)
            __builtin_trap();
    }
    // Pieces change neither which events there are nor invent any.
    if (seen != eventsOfWholeLines(bytes))
        __builtin_trap();
    return 0;
}
