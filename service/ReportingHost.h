#pragma once
// How copy jobs report to a front end (harvex.exe's dialog, the Linux program's console): through a
// ReportQueue that the front end's user-interface thread empties, with the completion actions of a
// finished run held back until it has shown the run's final report, so that "Complete." is on
// screen before the beep and the pop-up.
//
// The host is not the dialog: when quitting gives up a worker that is still going, the host is
// given up with it and outlives the dialog, so the worker never reports to a destroyed object.
#include "service/ReportQueue.h"
#include "copy/JobHost.h"

#include <functional>

class ReportingHost : public IJobHost {
public:
    using CompletionActions = std::function<void(const CompletionRequest&)>;

    ReportingHost();
    ReportingHost(const ReportingHost&) = delete;
    ReportingHost& operator=(const ReportingHost&) = delete;

    // Before any job starts: how to wake the user-interface thread (it must not block: a posted
    // message) and what a finished run does (on the worker; it may block, e.g. a message box).
    void Connect(std::function<void()> wake, CompletionActions actions);

    ReportQueue& Reports() { return m_reports; }

    void ShowLogLine(int32_t driveIndex, LogLevel level, const std::wstring& text) override;
    void ShowProgress(const ProgressReport& report) override;
    // Waits for the dialog to show the run's final report; skipped once the queue is closed.
    void RunCompletionActions(const CompletionRequest& request) override;
    // Queued, so that the dialog can release a worker that reports under its own index.
    void OnRunEnded(int32_t driveIndex) override;

private:
    std::function<void()> m_wake;
    CompletionActions m_actions;
    ReportQueue m_reports;
};
