#pragma once
// Reports travel from the copy workers to the user-interface thread through this queue: a worker
// appends and, when the queue was empty, wakes the user-interface thread (a posted message), which
// takes everything at once. Workers therefore never wait for the user interface, lines keep their
// order, and consecutive progress reports of one drive collapse into the newest.
#include "copy/JobHost.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

struct QueuedReport {
    enum class Kind { LogLine, Progress, RunEnded };
    Kind kind = Kind::LogLine;
    int32_t driveIndex = 0;
    LogLevel level = LogLevel::Basic;
    std::wstring text;
    ProgressReport progress;
};

class ReportQueue {
public:
    // wake is called with the queue's lock held, so that after Close returns it is never called
    // again; it must not block (PostMessage).
    explicit ReportQueue(std::function<void()> wake);

    void PushLogLine(int32_t driveIndex, LogLevel level, std::wstring text);
    void PushProgress(const ProgressReport& report);
    void PushRunEnded(int32_t driveIndex);

    std::vector<QueuedReport> TakeAll();
    // The user-interface thread has shown everything it took.
    void MarkShown();
    // For a worker: waits until everything pushed before the call has been taken and shown; false
    // (at once, or as soon as it happens) when the queue is closed.
    bool WaitUntilShown();
    // Later pushes are kept but wake nobody; TakeAll still hands them out; no one waits any more.
    void Close();

private:
    void PushLocked(QueuedReport&& report);

    std::mutex m_lock;
    std::condition_variable m_shownChanged;
    std::vector<QueuedReport> m_items;
    std::function<void()> m_wake;
    uint64_t m_pushed = 0; // pushes so far, a collapsed progress report included
    uint64_t m_taken = 0;  // m_pushed at the last TakeAll
    uint64_t m_shown = 0;  // m_taken at the last MarkShown
    bool m_open = true;
};
