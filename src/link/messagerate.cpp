#include "messagerate.h"

#include <algorithm>

MessageRate::Verdict MessageRate::admit(qint64 nowMs)
{
    if (m_refilled >= 0 && nowMs > m_refilled)
        m_tokens = std::min<double>(kBurst, m_tokens + double(nowMs - m_refilled) * kPerSecond / 1000.0);
    if (m_refilled < 0 || nowMs > m_refilled)
        m_refilled = nowMs;
    if (m_tokens >= 1) {
        m_tokens -= 1;
        return Verdict::Take;
    }
    ++m_dropped;
    const qint64 second = nowMs / 1000;
    if (second != m_dropSecond) {
        // Seconds in a row: a second without drops in between starts the count anew.
        m_dropSeconds = second == m_dropSecond + 1 ? m_dropSeconds + 1 : 1;
        m_dropSecond = second;
    }
    return m_dropSeconds >= kCloseAfter ? Verdict::Close : Verdict::Drop;
}
