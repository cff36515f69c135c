#pragma once

#include <QElapsedTimer>

// A token bucket: up to `burst` events at once, then one more for every
// `refillMs` that passes. It bounds what a page can make the program do
// however fast the page asks, while leaving an ordinary page's occasional
// requests alone.
class RateBudget
{
public:
    RateBudget(int burst, int refillMs);

    // Takes one token if there is one.
    bool take();
    // The same at a given time (milliseconds on the budget's own clock).
    bool takeAt(qint64 nowMs);
    // Refusals since the last token that was granted.
    int refusedSinceGranted() const { return m_refused; }

private:
    void refill(qint64 nowMs);

    const int m_burst;
    const int m_refillMs;
    int m_tokens;
    int m_refused = 0;
    qint64 m_lastRefillMs = 0;
    QElapsedTimer m_clock;
};
