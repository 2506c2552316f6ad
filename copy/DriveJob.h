#pragma once
// The copy job of one drive letter: its worker thread, stop request, byte counters and log history.
// A run copies the drive's whole tree into a new destination folder (and one in "Also copy to", when
// set, from the same read of the volume) and reports through IJobHost.
//
// Threads: Attach, Detach, Stop, Close, JoinIfEnded, ClearLog and the queries are called on the
// user-interface thread; the runs, their destination folder and the tree copy run on the job's worker
// (which takes a run that waits for it once its current run ends); Log on either.
#include "copy/JobHost.h"
#include "copy/Progress.h"
#include "copy/RunOptions.h"
#include "copy/RunRecords.h"
#include "copy/TreeCopy.h"
#include "log/LockedObject.h"
#include "log/LogLevel.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <vector>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

class CDriveJob : private ITreeCopySink {
public:
    // The newest lines only: a program that lives in the tray for months must not grow with every
    // file it ever copied. As many as the log box shows.
    static constexpr size_t kHistoryLines = 5000;
    using LogHistory = std::deque<std::pair<uint32_t, std::wstring>>;

    CDriveJob(int32_t driveIndex, IJobHost* host);
    // Closes the job and joins its worker.
    ~CDriveJob() override;
    CDriveJob(const CDriveJob&) = delete;
    CDriveJob& operator=(const CDriveJob&) = delete;

    // A volume arrived: logs "drive attached" and asks any run in progress to stop. A new run with
    // these options starts at once when no worker exists, else on the worker as soon as the old run
    // has ended. A closed job only logs the arrival.
    void Attach(RunOptions options);
    // The volume went away: logs "drive detached"; a run in progress goes on.
    void Detach();
    // Sets the stop request and drops a run that waits for the current one; never waits.
    void Stop();
    // Quitting or the session ending: stops like Stop, and no run starts any more.
    void Close();
    // A worker exists that has not made its last act yet.
    bool IsRunning() const;
    // A worker is copying: stopping it now could leave a file half written. A worker that is still
    // making its destination folder or is held by its completion actions does not count.
    bool IsCopying() const;
    // Joins a worker that has made its last act; false (and no wait) while one is still going.
    bool JoinIfEnded();

    // Appends (tick, text) to the history, then hands the line to the host.
    // Control characters are shown as "?", so each line stays one line.
    void Log(LogLevel level, const std::wstring& text) override;
    void ClearLog();
    // A copy of the history, oldest line first.
    LogHistory History() const;

    int32_t DriveIndex() const { return m_driveIndex; }
    // "E:" for drive index 4.
    const std::wstring& Source() const { return m_source; }
    bool StopRequested() const { return m_stop.load() != 0; }

    // The figures of the last run. Read them while no worker runs (IsRunning false).
    // The first destination's run folder, empty when none was made.
    std::wstring Destination() const { return m_targets.empty() ? std::wstring() : m_targets.front().folder; }
    const std::wstring& SizeText() const { return m_sizeText; }
    uint64_t TotalBytes() const { return m_totalBytes; }
    uint64_t DoneBytes() const { return m_doneBytes; }
    uint32_t ErrorCount() const { return m_errorCount; }

private:
    // Where a worker is; written by the worker, read by the user-interface thread.
    enum class Phase { Preparing, Copying, Completing };

    void StartWorker(RunOptions options);
    void Work(RunOptions options);
    // The next run that waits, taken under the state lock; false when the worker ends.
    bool TakeWaitingRun(RunOptions& options);
    void Run(const RunOptions& options);
    bool PrepareDestination(const RunOptions& options);
    // Makes a run folder in copyTo and adds it to the run's destinations; false (logged when
    // which names the setting of a second destination) when none can be made.
    bool AddDestination(const RunOptions& options, const std::wstring& copyTo, const wchar_t* which);
    void MeasureTotal();
    void FinishRun(const RunOptions& options, bool volumeChanged);
    // The tree copy's progress, as a report to the host.
    void Progress(uint64_t doneBytes) override;
    void SetUpRecords();
    void FinishRecords(bool stopped);
    // How each destination ended, for the last line; empty with one destination.
    std::vector<DestinationOutcome> Outcomes() const;
    void LogError(const std::wstring& text);

    // One destination of the run: its run folder, records and outcome.
    struct RunTarget {
        std::wstring folder;
        // The folder's place on the source drive, upper case, when the user chose a "Copy to"
        // folder on the drive itself; the walk must not copy the copy.
        std::wstring belowSource;
        std::optional<RunRecords> records;
        CopyTargetResult result;
        bool nothingNew = false; // it held every file: its run folder is removed again
    };

    const int32_t m_driveIndex;
    std::deque<RunTarget> m_targets; // "Copy to" first; a deque: records stay where they are made
    uint32_t m_sourceErrors = 0;     // of m_errorCount: those on the volume's side
    platform::LocalTime m_lastStart; // of the last run, whose side files' names a new run must not take
    const std::wstring m_source;
    std::wstring m_sizeText;
    uint64_t m_totalBytes = 0;
    uint64_t m_doneBytes = 0;
    uint32_t m_startTick = 0;
    uint32_t m_errorCount = 0;
    RunOptions m_options;
    uint64_t m_copiedCount = 0;
    uint64_t m_skippedCount = 0;
    mutable LockedObject<LogHistory> m_log;
    IJobHost* const m_host;
    std::thread m_thread;
    // Nonzero: stop. The file copy polls it as its cancel flag, so it stays a plain 32-bit value.
    std::atomic<int32_t> m_stop{0};
    std::atomic<Phase> m_phase{Phase::Preparing};
    float m_progress = 0.0f;

    // The life cycle, shared by the user-interface thread and the worker.
    mutable std::mutex m_stateLock;
    bool m_workerActive = false;            // a worker exists and has not made its last act
    bool m_closed = false;                  // no run starts any more
    std::optional<RunOptions> m_waitingRun; // an arrival during a run: started when it ends
};
