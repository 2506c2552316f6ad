#pragma once
// The copy job of one drive letter: its worker thread, stop request, byte counters and log history.
// A run copies the drive's whole tree into a new destination folder and reports through IJobHost.
//
// Threads: Attach, Detach, Stop, OnWorkerEnded, StopAndJoin, ClearLog and the thread queries are
// called on the user-interface thread; Run and the tree copy run on the job's worker; Log on either.
#include "copy/JobHost.h"
#include "copy/RunRecords.h"
#include "copy/TreeCopy.h"
#include "log/LockedObject.h"
#include "log/LogLevel.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <thread>
#include <utility>

class CDriveJob : private ITreeCopySink {
public:
    using LogHistory = std::list<std::pair<uint32_t, std::wstring>>;

    CDriveJob(int32_t driveIndex, IJobHost* host);
    // Stops and joins a running worker.
    ~CDriveJob() override;
    CDriveJob(const CDriveJob&) = delete;
    CDriveJob& operator=(const CDriveJob&) = delete;

    // A volume arrived: logs "drive attached" and asks any run in progress to stop. A new run starts
    // at once when no worker exists, else when the host hands the old worker's end to OnWorkerEnded.
    void Attach();
    // The volume went away: logs "drive detached"; a run in progress goes on.
    void Detach();
    // Sets the stop request; never waits.
    void Stop();
    // The host's answer to IJobHost::OnRunEnded, on the user-interface thread: releases the ended
    // worker and starts the run that an Attach during it asked for.
    void OnWorkerEnded();
    // A worker exists that OnWorkerEnded has not released yet.
    bool IsRunning() const;
    // The worker has made its last act (or none exists), so a join will not wait.
    bool WorkerHasEnded() const;
    // For quitting: drops a waiting run, stops and joins the worker.
    void StopAndJoin();

    // Appends (tick, text) to the history, then hands the line to the host. Control characters
    // are shown as "?", so each line stays one line.
    void Log(LogLevel level, const std::wstring& text) override;
    void ClearLog();
    // A copy of the history, oldest line first.
    LogHistory History() const;

    int32_t DriveIndex() const { return m_driveIndex; }
    // "E:" for drive index 4.
    const std::wstring& Source() const { return m_source; }
    bool StopRequested() const { return m_stop.load() != 0; }

    // The figures of the last run. Read them while no worker runs (after OnWorkerEnded or a join).
    const std::wstring& Destination() const { return m_destination; }
    const std::wstring& SizeText() const { return m_sizeText; }
    uint64_t TotalBytes() const { return m_totalBytes; }
    uint64_t DoneBytes() const { return m_doneBytes; }
    uint32_t ErrorCount() const { return m_errorCount; }

private:
    void StartRun();
    void Run();
    void MeasureTotal();
    void FinishRun(bool volumeChanged);
    // The tree copy's progress, as a report to the host.
    void Progress(uint64_t doneBytes) override;
    void SetUpRecords();
    void FinishRecords(bool stopped);
    void LogError(const std::wstring& text);

    const int32_t m_driveIndex;
    std::wstring m_destination;
    // The destination's place on the source drive, upper case, when the user chose a "Copy to"
    // folder on the drive itself; the tree copy must not copy the copy.
    std::wstring m_destinationBelowSource;
    const std::wstring m_source;
    std::wstring m_sizeText;
    uint64_t m_totalBytes = 0;
    uint64_t m_doneBytes = 0;
    uint32_t m_startTick = 0;
    uint32_t m_errorCount = 0;
    RunOptions m_options;
    std::optional<RunRecords> m_records;
    uint64_t m_copiedCount = 0;
    uint64_t m_skippedCount = 0;
    mutable LockedObject<LogHistory> m_log;
    IJobHost* const m_host;
    std::thread m_thread;
    // Nonzero: stop. The file copy polls it as its cancel flag, so it stays a plain 32-bit value.
    std::atomic<int32_t> m_stop{0};
    std::atomic<bool> m_workerEnded{true};
    bool m_runWanted = false;
    float m_progress = 0.0f;
};
