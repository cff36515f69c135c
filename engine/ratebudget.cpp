#include "ratebudget.h"

#include <QtGlobal>

RateBudget::RateBudget(int burst, int refillMs)
    : m_burst(qMax(1, burst))
    , m_refillMs(qMax(1, refillMs))
    , m_tokens(m_burst)
{
    m_clock.start();
}

bool RateBudget::take()
{
    return takeAt(m_clock.elapsed());
}

bool RateBudget::takeAt(qint64 nowMs)
{
    refill(nowMs);
    if (m_tokens == 0) {
        ++m_refused;
        return false;
    }
    --m_tokens;
    m_refused = 0;
    return true;
}

void RateBudget::refill(qint64 nowMs)
{
    // A full bucket earns nothing: the interval starts with the first token
    // taken from it. A clock that went back would otherwise stop the refill
    // for as long.
    if (m_tokens == m_burst || nowMs < m_lastRefillMs) {
        m_lastRefillMs = nowMs;
        return;
    }
    const qint64 earned = (nowMs - m_lastRefillMs) / m_refillMs;
    if (earned == 0)
        return;
    m_tokens = int(qMin<qint64>(m_burst, m_tokens + earned));
    // Time short of a whole token counts towards the next one.
    m_lastRefillMs += earned * m_refillMs;
    if (m_tokens == m_burst)
        m_lastRefillMs = nowMs;
}
