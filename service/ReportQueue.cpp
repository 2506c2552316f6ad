#include "service/ReportQueue.h"

ReportQueue::ReportQueue(std::function<void()> wake) : m_wake(std::move(wake)) {}

void ReportQueue::PushLocked(QueuedReport&& report) {
    ++m_pushed;
    bool wasEmpty = m_items.empty();
    m_items.push_back(std::move(report));
    if (wasEmpty && m_open && m_wake)
        m_wake();
}

void ReportQueue::PushLogLine(int32_t driveIndex, LogLevel level, std::wstring text) {
    QueuedReport report;
    report.kind = QueuedReport::Kind::LogLine;
    report.driveIndex = driveIndex;
    report.level = level;
    report.text = std::move(text);
    std::lock_guard guard(m_lock);
    PushLocked(std::move(report));
}

void ReportQueue::PushProgress(const ProgressReport& progress) {
    std::lock_guard guard(m_lock);
    // A progress report that the screen has not shown yet is replaced by a newer one of the same
    // drive: only the newest would stay visible anyway.
    if (!m_items.empty()) {
        QueuedReport& last = m_items.back();
        if (last.kind == QueuedReport::Kind::Progress && last.driveIndex == progress.driveIndex) {
            ++m_pushed;
            last.progress = progress;
            return;
        }
    }
    QueuedReport report;
    report.kind = QueuedReport::Kind::Progress;
    report.driveIndex = progress.driveIndex;
    report.progress = progress;
    PushLocked(std::move(report));
}

void ReportQueue::PushRunEnded(int32_t driveIndex) {
    QueuedReport report;
    report.kind = QueuedReport::Kind::RunEnded;
    report.driveIndex = driveIndex;
    std::lock_guard guard(m_lock);
    PushLocked(std::move(report));
}

std::vector<QueuedReport> ReportQueue::TakeAll() {
    std::vector<QueuedReport> taken;
    std::lock_guard guard(m_lock);
    taken.swap(m_items);
    m_taken = m_pushed;
    return taken;
}

void ReportQueue::MarkShown() {
    {
        std::lock_guard guard(m_lock);
        m_shown = m_taken;
    }
    m_shownChanged.notify_all();
}

bool ReportQueue::WaitUntilShown() {
    std::unique_lock guard(m_lock);
    const uint64_t target = m_pushed;
    m_shownChanged.wait(guard, [&] { return !m_open || m_shown >= target; });
    return m_open;
}

void ReportQueue::Close() {
    {
        std::lock_guard guard(m_lock);
        m_open = false;
    }
    m_shownChanged.notify_all();
}
