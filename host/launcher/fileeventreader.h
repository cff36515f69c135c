#pragma once

#include <QByteArray>
#include <QVector>

// Turns the bytes appended to the launcher's events file into event numbers.
// The file is written by whoever can write into the product folder, so what
// it holds is bounded here: a line longer than any event number is dropped
// whole (its tail is never taken for a line of its own), numbers that name
// no event are ignored, and one call yields each event at most once, in the
// order of its first line. Repeating an event within one read changes
// nothing for the windows (quitting, reloading the language or closing the
// sign-in windows twice in a row does what once does), but every window
// would pay for each repeat.
class FileEventReader
{
public:
    static constexpr int maxLineBytes = 64;

    // The events whose lines are complete in what arrived so far.
    QVector<int> feed(const QByteArray &bytes);
    // Forgets a line begun in an earlier call: the file was replaced.
    void reset();

    int pendingBytes() const { return m_partial.size(); }
    static bool isKnownEvent(int value);

private:
    void takeLine(const QByteArray &line, QVector<int> &events) const;

    QByteArray m_partial;
    bool m_skippingLongLine = false;
};
