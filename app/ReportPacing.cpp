#include "app/ReportPacing.h"

#include <algorithm>

uint32_t ReportPacing::DelayFor(uint32_t nowMs) const {
    if (m_timerSet)
        return kWaiting;
    if (!m_shownOnce)
        return 0;
    // Unsigned difference: right across the tick's wrap after 49.7 days.
    const uint32_t since = nowMs - m_lastShownMs;
    const uint32_t interval = IntervalMs();
    return since < interval ? interval - since : 0;
}

void ReportPacing::Shown(uint32_t startMs, uint32_t costMs) {
    m_timerSet = false;
    m_shownOnce = true;
    m_lastShownMs = startMs;
    // A moving average: one slow show (a repaint, a swapped-out page) moves the interval a little,
    // and a coarse clock (ticks of 15.6 ms on Windows) averages out to the real cost.
    const float cost = static_cast<float>(std::min<uint32_t>(costMs, kLongestIntervalMs));
    m_recentCostMs = 0.75f * m_recentCostMs + 0.25f * cost;
}

uint32_t ReportPacing::IntervalMs() const {
    const auto tenTimes = static_cast<uint32_t>(10.0f * m_recentCostMs);
    return std::clamp(tenTimes, m_shortestMs, kLongestIntervalMs);
}
