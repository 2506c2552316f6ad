#pragma once
// "Verify a copy...": checks every line of a checksum list against the files beside it, on a worker
// thread of its own. Missing and differing files and lines not in the format are logged at basic
// level, and so is a list that cannot vouch for a whole copy (it names no file, it has no closing
// "# Ended:" line, or that line is followed by "# Not complete:"); each counts as a problem. The last
// line says "Verified: N files match." or "Verify found N problems.". Reports go through IJobHost
// under kListCheckIndex, which no drive uses.
//
// Threads: Start, Stop, OnWorkerEnded, JoinIfEnded and IsRunning are called on the user-interface
// thread; the check runs on its worker.
#include "copy/JobHost.h"
#include "platform/Files.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// A file that a list names, as looked up.
struct ListedFile {
    std::wstring path;
    std::string hex;
    uint64_t size = 0;
    bool present = false;
};

inline constexpr int32_t kListCheckIndex = 26;

class CListCheck {
public:
    explicit CListCheck(IJobHost* host) : m_host(host) {}
    ~CListCheck();
    CListCheck(const CListCheck&) = delete;
    CListCheck& operator=(const CListCheck&) = delete;

    // Starts checking listPath; false when a check is still running or no thread could be had. An
    // ended check that OnWorkerEnded has not released yet is released first.
    bool Start(const std::wstring& listPath);
    void Stop() { m_stop = 1; }
    // The host's answer to IJobHost::OnRunEnded(kListCheckIndex): releases the ended worker.
    void OnWorkerEnded();
    bool IsRunning() const { return m_thread.joinable(); }
    // The worker has made its last act (or none exists), so a join will not wait.
    bool WorkerHasEnded() const { return !m_thread.joinable() || m_workerEnded.load(); }
    // Joins an ended worker; false while it still goes (stuck in a look-up on a dead share), when
    // the caller gives the check up rather than destroy it under the worker.
    bool JoinIfEnded();

    // How the check looks a listed file up; the system's by default.
    using LookUp = platform::ErrorCode (*)(const std::wstring& path, platform::FileInfo& info, void* context);
    void SetLookUp(LookUp lookUp, void* context) {
        m_lookUp = lookUp;
        m_lookUpContext = context;
    }

    // The check itself, on the calling thread: the number of problems found.
    uint32_t Check(const std::wstring& listPath);

private:
    void Run(std::wstring listPath);
    void Log(const std::wstring& text);
    // Says "Stopped." when Stop was asked for.
    bool Stopped();
    // Looks each file up, seeing Stop before each look-up; false when stopped.
    bool LookUpFiles(std::vector<ListedFile>& files);
    static bool OnProgress(uint64_t total, uint64_t done, void* context);
    void ReportProgress(uint64_t fileDone);

    IJobHost* const m_host;
    std::thread m_thread;
    std::atomic<int32_t> m_stop{0};
    std::atomic<bool> m_workerEnded{true};
    uint64_t m_totalBytes = 0;
    uint64_t m_doneBytes = 0;
    uint32_t m_startTick = 0;
    std::wstring m_sizeText;
    LookUp m_lookUp = nullptr;
    void* m_lookUpContext = nullptr;
};
