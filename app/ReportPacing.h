#pragma once
// How often the dialog shows queued reports. Every show costs about the same whether it adds one
// line or a hundred (7-9 ms under Wine, whose edit control is slow to append), so a copy of many
// small files would otherwise keep the user-interface thread busier than the copy itself: reports
// are shown at most once per interval, and what comes meanwhile waits in the queue for one timer.
// The interval is ten times what a show has lately cost, never below the shortest, so that showing
// reports takes about a tenth of the thread at most, however slow the controls are.
#include <cstdint>

class ReportPacing {
public:
    static constexpr uint32_t kLongestIntervalMs = 500;
    explicit ReportPacing(uint32_t shortestIntervalMs) : m_shortestMs(shortestIntervalMs) {}

    // Reports were queued at nowMs (a millisecond tick that may wrap): 0 to show them now, otherwise
    // the delay of the timer that shows them. kWaiting while that timer is still to come.
    static constexpr uint32_t kWaiting = UINT32_MAX;
    uint32_t DelayFor(uint32_t nowMs) const;
    // The timer for the delay was set.
    void TimerSet() { m_timerSet = true; }
    // The queue was shown from startMs on and that took costMs; a timer still set is not needed.
    void Shown(uint32_t startMs, uint32_t costMs);
    bool TimerIsSet() const { return m_timerSet; }
    uint32_t IntervalMs() const;

private:
    uint32_t m_shortestMs;
    float m_recentCostMs = 0.0f;
    bool m_timerSet = false;
    bool m_shownOnce = false;
    uint32_t m_lastShownMs = 0;
};
