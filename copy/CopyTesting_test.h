#pragma once
// Test support for the copy engine: a job host that records what a job reports, and a gate.
#include "copy/DriveJob.h"
#include "copy/JobHost.h"
#include "platform/TempFolder_test.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace copytest {

using platformtest::ActAsNobodyOnThisThread;
using platformtest::TempFolder;

struct LoggedLine {
    int32_t driveIndex = 0;
    LogLevel level = LogBasic;
    std::wstring text;
};

// Records every report; hooks, set before a run starts, see each report on the worker's thread.
// The test's own thread plays the user-interface thread: WaitForRunEnd hands a worker's end to
// the job as the dialog would.
class RecordingHost : public IJobHost {
public:
    std::function<std::wstring(int32_t)> makeDestination;
    std::function<void(const LoggedLine&)> onLine;
    std::function<void(const ProgressReport&)> onProgress;

    void ShowLogLine(int32_t driveIndex, LogLevel level, const std::wstring& text) override {
        LoggedLine line{driveIndex, level, text};
        {
            std::lock_guard guard(m_lock);
            m_lines.push_back(line);
        }
        if (onLine)
            onLine(line);
    }
    void ShowProgress(const ProgressReport& report) override {
        {
            std::lock_guard guard(m_lock);
            m_reports.push_back(report);
        }
        if (onProgress)
            onProgress(report);
    }
    RunOptions runOptions; // set before a run starts

    RunOptions RunOptionsFor(int32_t) override { return runOptions; }
    std::wstring MakeDestinationFolder(int32_t driveIndex) override {
        return makeDestination ? makeDestination(driveIndex) : std::wstring();
    }
    void RunCompletionActions(int32_t driveIndex) override {
        std::lock_guard guard(m_lock);
        m_completions.push_back(driveIndex);
    }
    void OnRunEnded(int32_t driveIndex) override {
        std::lock_guard guard(m_lock);
        m_ended.push_back(driveIndex);
        m_endedSignal.notify_all();
    }

    // Waits for the next worker end of any drive and hands it to jobs[drive index] (or job).
    bool WaitForRunEnd(CDriveJob& job) {
        return WaitForRunEnd([&job](int32_t) -> CDriveJob& { return job; });
    }
    bool WaitForRunEnd(const std::function<CDriveJob&(int32_t)>& jobOf) {
        int32_t driveIndex = 0;
        {
            std::unique_lock guard(m_lock);
            if (!m_endedSignal.wait_for(guard, std::chrono::seconds(60), [this] { return !m_ended.empty(); }))
                return false;
            driveIndex = m_ended.front();
            m_ended.pop_front();
        }
        jobOf(driveIndex).OnWorkerEnded();
        return true;
    }

    std::vector<LoggedLine> Lines() {
        std::lock_guard guard(m_lock);
        return m_lines;
    }
    // The texts of the lines up to a level, in order.
    std::vector<std::wstring> Texts(LogLevel upTo = LogFiles) {
        std::vector<std::wstring> texts;
        for (const LoggedLine& line : Lines()) {
            if (line.level <= upTo)
                texts.push_back(line.text);
        }
        return texts;
    }
    std::vector<ProgressReport> Reports() {
        std::lock_guard guard(m_lock);
        return m_reports;
    }
    std::vector<int32_t> Completions() {
        std::lock_guard guard(m_lock);
        return m_completions;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_endedSignal;
    std::vector<LoggedLine> m_lines;
    std::vector<ProgressReport> m_reports;
    std::vector<int32_t> m_completions;
    std::deque<int32_t> m_ended;
};

// A one-shot gate a worker can wait at while the test acts.
class Gate {
public:
    void Open() {
        std::lock_guard guard(m_lock);
        m_open = true;
        m_signal.notify_all();
    }
    bool WaitOpen() {
        std::unique_lock guard(m_lock);
        return m_signal.wait_for(guard, std::chrono::seconds(60), [this] { return m_open; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_signal;
    bool m_open = false;
};

inline std::wstring Wide(const std::string& text) {
    return platform::FromUtf8(text);
}

} // namespace copytest
