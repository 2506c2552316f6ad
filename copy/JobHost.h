#pragma once
// What a copy job needs from the program around it (the main dialog in harvex.exe, a console sink
// in the benchmarks, a recorder in the tests).
#include "log/LogLevel.h"
#include "settings/CompletionOptions.h"

#include <cstdint>
#include <string>

struct ProgressReport {
    int32_t driveIndex = 0;
    std::wstring sizeText;   // empty in the final reports
    float fraction = 0.0f;   // exactly 1.0: the run finished; exactly -1.0: it was stopped
    uint32_t elapsed = 0;    // milliseconds since the run began; 0 in the final reports
    uint32_t errorCount = 0; // files and folders that failed in this run (final reports only)
};

// How a run copies, fixed when it starts.
struct RunOptions {
    CopyingOptions copying;
    bool intoCopyTo = false; // no folder name rule: the destination is "Copy to" itself
};

class IJobHost {
public:
    virtual ~IJobHost() = default;

    // Reports from a job. They may come from a worker thread and must never wait for the user
    // interface: the host queues them and shows them in order.
    virtual void ShowLogLine(int32_t driveIndex, LogLevel level, const std::wstring& text) = 0;
    virtual void ShowProgress(const ProgressReport& report) = 0;

    // A new, empty destination folder for a run of this drive, or an empty text when none can be
    // had. Called on the user-interface thread, inside Attach.
    virtual std::wstring MakeDestinationFolder(int32_t driveIndex) = 0;
    // The options of a run, asked for right after its destination was made.
    virtual RunOptions RunOptionsFor(int32_t driveIndex) = 0;

    // Eject, beep and pop-up after a run that finished (not one that was stopped). Called on the
    // worker thread after the final report; the run counts as going on until it returns.
    virtual void RunCompletionActions(int32_t driveIndex) = 0;

    // The worker's very last act. The host hands it to the user-interface thread, which then calls
    // CDriveJob::OnWorkerEnded so the job can release the thread and start a run that is waiting.
    virtual void OnRunEnded(int32_t driveIndex) = 0;
};
