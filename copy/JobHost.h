#pragma once
// Where a copy job reports to (the main dialog in harvex.exe, a console sink
// in the benchmarks, a recorder in the tests).
#include "log/LogLevel.h"
#include "settings/CompletionOptions.h"

#include <cstdint>
#include <string>

// Where a run stands in a progress report: still going, or its final report.
enum class RunState { Running, Finished, Stopped };

struct ProgressReport {
    int32_t driveIndex = 0;
    RunState state = RunState::Running;
    std::wstring sizeText;   // empty in the final reports
    float fraction = 0.0f;   // bytes done of the total while running; NaN or infinite with no total
    uint32_t elapsed = 0;    // milliseconds since the run began; 0 in the final reports
    uint32_t errorCount = 0; // files and folders that failed in this run (final reports only)
    std::wstring note;       // a run that makes no copy: why, shown as the progress line
};

// What a finished run asks of the completion actions.
struct CompletionRequest {
    int32_t driveIndex = 0;
    CompletionOptions options;
    uint32_t errorCount = 0; // files and folders that could not be copied
    // With two destinations, how each ended ("D:\\Cards\\017: 1,234 files verified. ..."); else empty.
    std::wstring destinations = {};
};

class IJobHost {
public:
    virtual ~IJobHost() = default;

    // Reports from a job. They may come from a worker thread and must never wait for the user
    // interface: the host queues them and shows them in order.
    virtual void ShowLogLine(int32_t driveIndex, LogLevel level, const std::wstring& text) = 0;
    virtual void ShowProgress(const ProgressReport& report) = 0;

    // Eject, beep and pop-up after a run that finished (not one that was stopped). Called on the
    // worker thread after the final report; the run counts as going on until it returns.
    virtual void RunCompletionActions(const CompletionRequest& request) = 0;

    // A run has ended (after its final report and completion actions). When no other run of the
    // drive waits, this is the worker's last act.
    virtual void OnRunEnded(int32_t driveIndex) = 0;
};
