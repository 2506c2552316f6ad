#pragma once
// Test support for the copy engine: temporary folders, a job host that records what a job reports,
// and a way for one thread to lose root's powers so that "access denied" happens even when the
// tests run as root.
#include "copy/DriveJob.h"
#include "copy/JobHost.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace copytest {

// Gives the calling thread the credentials of "nobody" (65534) so that file permissions apply.
// Raw system calls change only this thread; glibc's wrappers would change every thread. True when
// permissions now apply, which they always do for a test run that is not root.
inline bool ActAsNobodyOnThisThread() {
    if (::geteuid() != 0)
        return true;
    return ::syscall(SYS_setgroups, 0, nullptr) == 0 && ::syscall(SYS_setresgid, -1, 65534, -1) == 0 &&
           ::syscall(SYS_setresuid, -1, 65534, -1) == 0;
}

// Makes every folder below path searchable and writable again, so that it can be removed.
inline void RestorePermissions(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    ::chmod(path.c_str(), 0777);
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            RestorePermissions(path + "/" + name);
    }
    ::closedir(dir);
}

inline void RemoveTree(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return;
    if (S_ISDIR(info.st_mode)) {
        if (DIR* dir = ::opendir(path.c_str())) {
            std::vector<std::string> names;
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            ::closedir(dir);
            for (const std::string& name : names)
                RemoveTree(path + "/" + name);
        }
        ::rmdir(path.c_str());
        return;
    }
    ::unlink(path.c_str());
}

// A fresh folder under /tmp, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/harvex-copy-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        m_path = made != nullptr ? made : "/nonexistent";
        // Open to all, so a thread acting as "nobody" can reach what is inside.
        ::chmod(m_path.c_str(), 0777);
    }
    ~TempFolder() {
        RestorePermissions(m_path);
        RemoveTree(m_path);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string At(const std::string& rel) const { return m_path + "/" + rel; }

    void MakeFolder(const std::string& rel, mode_t mode = 0755) const {
        ASSERT_EQ(::mkdir(At(rel).c_str(), mode), 0) << rel;
        ::chmod(At(rel).c_str(), mode);
    }
    void WriteFile(const std::string& rel, const std::string& content, mode_t mode = 0644) const {
        const int fd = ::open(At(rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << rel;
        size_t written = 0;
        while (written < content.size()) {
            const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
            ASSERT_GT(n, 0);
            written += static_cast<size_t>(n);
        }
        ::close(fd);
        ::chmod(At(rel).c_str(), mode);
    }
    std::string ReadFile(const std::string& rel) const {
        std::string content;
        const int fd = ::open(At(rel).c_str(), O_RDONLY);
        if (fd < 0)
            return "<missing>";
        char buffer[65536];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            content.append(buffer, static_cast<size_t>(n));
        ::close(fd);
        return content;
    }
    bool Exists(const std::string& rel) const {
        struct stat info {};
        return ::lstat(At(rel).c_str(), &info) == 0;
    }
    mode_t Mode(const std::string& rel) const {
        struct stat info {};
        return ::lstat(At(rel).c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
    }
    time_t ModifiedSeconds(const std::string& rel) const {
        struct stat info {};
        return ::lstat(At(rel).c_str(), &info) == 0 ? info.st_mtim.tv_sec : 0;
    }
    void SetModifiedSeconds(const std::string& rel, time_t seconds) const {
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, At(rel).c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << rel;
    }

private:
    std::string m_path;
};

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
