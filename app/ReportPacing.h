#pragma once
// How often the dialog shows queued reports. Every append to the log box costs the same whether it
// adds one line or a hundred (7-9 ms under Wine), so a copy of many small files would otherwise keep
// the user-interface thread busier than the copy itself: reports are shown at most once per
// interval, and what comes meanwhile waits in the queue for one timer.
#include <cstdint>

class ReportPacing {
public:
    explicit ReportPacing(uint32_t intervalMs) : m_intervalMs(intervalMs) {}

    // Reports were queued at nowMs (a millisecond tick that may wrap): 0 to show them now, otherwise
    // the delay of the timer that shows them. kWaiting while that timer is still to come.
    static constexpr uint32_t kWaiting = UINT32_MAX;
    uint32_t DelayFor(uint32_t nowMs) const;
    // The timer for the delay was set.
    void TimerSet() { m_timerSet = true; }
    // The queue was shown at nowMs (by the timer or at once); a timer still set is no longer needed.
    void Shown(uint32_t nowMs);
    bool TimerIsSet() const { return m_timerSet; }

private:
    uint32_t m_intervalMs;
    bool m_timerSet = false;
    bool m_shownOnce = false;
    uint32_t m_lastShownMs = 0;
};
