#include "app/ReportPacing.h"

uint32_t ReportPacing::DelayFor(uint32_t nowMs) const {
    if (m_timerSet)
        return kWaiting;
    if (!m_shownOnce)
        return 0;
    // Unsigned difference: right across the tick's wrap after 49.7 days.
    const uint32_t since = nowMs - m_lastShownMs;
    return since < m_intervalMs ? m_intervalMs - since : 0;
}

void ReportPacing::Shown(uint32_t nowMs) {
    m_timerSet = false;
    m_shownOnce = true;
    m_lastShownMs = nowMs;
}
