#pragma once
// Test support for the copy engine: a job host that records what a job reports, and a gate.
#include "copy/DestinationNaming.h"
#include "copy/DriveJob.h"
#include "copy/JobHost.h"
#include "copy/RunOptions.h"
#include "platform/Drives.h"
#include "platform/TempFolder_test.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
    LogLevel level = LogLevel::Basic;
    std::wstring text;
};

// Makes folders open to all, so that a worker acting as "nobody" can fill them.
class OpenFolderNaming : public NamingEnvironment {
public:
    platform::ErrorCode CreateFolder(const std::wstring& path) override {
        const platform::ErrorCode error = NamingEnvironment::CreateFolder(path);
        if (error == platform::kSuccess)
            ::chmod(platform::posix::HostPath(path).c_str(), 0777);
        return error;
    }
};

// A run into a new numbered folder (000, 001 ...) below copyTo.
inline RunOptions NumberedRunIn(const std::wstring& copyTo, NamingEnvironment* naming = nullptr) {
    RunOptions options;
    options.copyTo = copyTo;
    options.folderNaming = FolderNaming::ThreeDigits;
    options.naming = naming;
    return options;
}

// Records every report; hooks, set before a run starts, see each report on the worker's thread.
// The test's own thread plays the user-interface thread.
class RecordingHost : public IJobHost {
public:
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
    void RunCompletionActions(const CompletionRequest& request) override {
        std::lock_guard guard(m_lock);
        m_completions.push_back(request.driveIndex);
        m_completionErrors.push_back(request.errorCount);
    }
    void OnRunEnded(int32_t driveIndex) override {
        std::lock_guard guard(m_lock);
        m_ended.push_back(driveIndex);
        m_endedSignal.notify_all();
    }

    // Waits for the next run end of any drive.
    bool WaitForRunEnd() {
        std::unique_lock guard(m_lock);
        if (!m_endedSignal.wait_for(guard, std::chrono::seconds(60), [this] { return !m_ended.empty(); }))
            return false;
        m_ended.pop_front();
        return true;
    }

    std::vector<LoggedLine> Lines() {
        std::lock_guard guard(m_lock);
        return m_lines;
    }
    // The texts of the lines up to a level, in order.
    std::vector<std::wstring> Texts(LogLevel upTo = LogLevel::Files) {
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
    std::vector<uint32_t> CompletionErrors() {
        std::lock_guard guard(m_lock);
        return m_completionErrors;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_endedSignal;
    std::vector<LoggedLine> m_lines;
    std::vector<ProgressReport> m_reports;
    std::vector<int32_t> m_completions;
    std::vector<uint32_t> m_completionErrors;
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
