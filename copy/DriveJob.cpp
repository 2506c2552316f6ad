#include "copy/DriveJob.h"

#include "copy/Progress.h"
#include "copy/WalkPaths.h"
#include "drives/DriveTypes.h"
#include "log/LogText.h"
#include "platform/Drives.h"
#include "platform/System.h"
#include "platform/Text.h"

#include <system_error>

namespace {

std::wstring SourceOf(int32_t driveIndex) {
    return std::wstring{static_cast<wchar_t>(L'A' + driveIndex), L':'};
}

// "Finished.", "Finished. 1,234 files verified." or "Finished with 2 errors."
std::wstring FinishedText(uint32_t errorCount, bool verified, uint64_t verifiedCount) {
    if (errorCount != 0)
        return platform::Format(L"Finished with %u %ls.", errorCount, errorCount == 1 ? L"error" : L"errors");
    if (!verified)
        return L"Finished.";
    return L"Finished. " + CountText(verifiedCount, L"file", L"files") + L" verified.";
}

} // namespace

CDriveJob::CDriveJob(int32_t driveIndex, IJobHost* host)
    : m_driveIndex(driveIndex), m_source(SourceOf(driveIndex)), m_host(host) {}

CDriveJob::~CDriveJob() {
    StopAndJoin();
}

void CDriveJob::Attach() {
    Log(LogBasic, L"drive attached");
    m_stop = 1;
    if (m_thread.joinable()) {
        // The old worker ends on its own; OnWorkerEnded starts the new run after it.
        m_runWanted = true;
        return;
    }
    StartRun();
}

void CDriveJob::Detach() {
    Log(LogBasic, L"drive detached");
}

void CDriveJob::Stop() {
    m_stop = 1;
}

void CDriveJob::OnWorkerEnded() {
    if (m_thread.joinable())
        m_thread.join();
    if (!m_runWanted)
        return;
    m_runWanted = false;
    StartRun();
}

bool CDriveJob::IsRunning() const {
    return m_thread.joinable();
}

bool CDriveJob::WorkerHasEnded() const {
    return !m_thread.joinable() || m_workerEnded.load();
}

void CDriveJob::StopAndJoin() {
    m_runWanted = false;
    m_stop = 1;
    if (m_thread.joinable())
        m_thread.join();
}

void CDriveJob::StartRun() {
    if (m_thread.joinable())
        m_thread.join();
    m_stop = 0;
    m_destination = m_host->MakeDestinationFolder(m_driveIndex);
    if (m_destination.empty()) {
        // An empty destination would put the copy at the root of the current drive.
        Log(LogBasic, L"No copy is made: the \"Copy to\" folder is empty, missing or cannot be written.");
        return;
    }
    m_options = m_host->RunOptionsFor(m_driveIndex);
    m_destinationBelowSource = UpperPathBelowRoot(m_source, m_destination);
    m_workerEnded = false;
    try {
        m_thread = std::thread(&CDriveJob::Run, this);
    } catch (const std::system_error&) {
        m_workerEnded = true;
        Log(LogBasic, L"No copy is made: the copy could not be started.");
    }
}

void CDriveJob::Run() {
    Log(LogBasic, L"Copying...");
    m_progress = 0.0f;
    m_errorCount = 0;
    MeasureTotal();
    m_doneBytes = 0;
    m_startTick = platform::TickCount();
    SetUpRecords();
    TreeCopyInput input{m_source, m_destination, m_destinationBelowSource,
                        &m_stop,  std::nullopt,  m_records ? &*m_records : nullptr};
    platform::VolumeIdentity volume;
    if (platform::GetVolumeIdentity(DriveRoot(m_driveIndex), volume))
        input.volume = volume;
    const TreeCopyResult result = CTreeCopy(std::move(input), *this).Run();
    m_doneBytes = result.doneBytes;
    m_errorCount += result.errorCount;
    m_copiedCount = result.filesCopied;
    m_skippedCount = result.filesSkipped;
    FinishRun(result.volumeChanged);
    m_host->OnRunEnded(m_driveIndex);
    m_workerEnded = true;
}

// The space in use on the volume is the whole basis of the progress fraction: there is no
// counting pass. When the volume cannot tell it, the run goes on without a total.
void CDriveJob::MeasureTotal() {
    const std::wstring root = DriveRoot(m_driveIndex);
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0;
    if (platform::DiskSpace(root, totalBytes, freeBytes) && freeBytes <= totalBytes) {
        m_totalBytes = totalBytes - freeBytes;
    } else {
        m_totalBytes = 0;
        Log(LogBasic, L"GetDiskFreeSpaceEx failed for " + root + L": the total size is unknown.");
    }
    m_sizeText = FormatSize(m_totalBytes);
}

void CDriveJob::FinishRun(bool volumeChanged) {
    ProgressReport report;
    report.driveIndex = m_driveIndex;
    FinishRecords(StopRequested());
    m_records.reset();
    report.errorCount = m_errorCount;
    // A changed volume has said why the run stopped; it is not this run's volume to eject.
    if (StopRequested() || volumeChanged) {
        if (!volumeChanged)
            Log(LogBasic, L"Stopped.");
        report.fraction = -1.0f;
        m_host->ShowProgress(report);
        return;
    }
    Log(LogBasic, FinishedText(m_errorCount, m_options.copying.m_verify != 0, m_copiedCount));
    report.fraction = 1.0f;
    m_host->ShowProgress(report);
    m_host->RunCompletionActions(m_driveIndex);
}

void CDriveJob::SetUpRecords() {
    m_copiedCount = 0;
    m_skippedCount = 0;
    m_records.reset();
    if (m_options.copying == CopyingOptions{})
        return;
    const std::wstring root = DriveRoot(m_driveIndex);
    RunPlace place{m_source, m_destination, m_options.intoCopyTo, {}, {}, platform::GetLocalTime()};
    platform::VolumeLabel(root, place.label);
    uint32_t serial = 0;
    if (platform::VolumeSerial(root, serial))
        place.serial = serial;
    m_records.emplace(m_options.copying, std::move(place));
    if (m_records->SerialMissing())
        Log(LogBasic, L"The serial number of " + m_source + L" cannot be read: every file is copied.");
}

// A volume with nothing new leaves no folder behind: the run's folder, still empty, goes again.
void CDriveJob::FinishRecords(bool stopped) {
    if (!m_records)
        return;
    bool folderRemoved = false;
    if (m_records->SkipsFiles() && !stopped && m_copiedCount == 0 && m_errorCount == 0) {
        if (!m_options.intoCopyTo)
            folderRemoved = platform::RemoveEmptyFolder(m_destination) == platform::kSuccess;
        Log(LogBasic, L"Nothing new on " + m_source + L": " +
                          CountText(m_skippedCount, L"file was", L"files were") + L" copied before.");
    }
    if (auto failure = m_records->Finish(platform::GetLocalTime(), stopped, m_errorCount, folderRemoved))
        LogError(L"Cannot write " + failure->path + L": " + platform::ErrorText(failure->error));
}

void CDriveJob::Log(LogLevel level, const std::wstring& text) {
    const std::wstring line = VisibleLogText(text);
    {
        LockedObject<LogHistory>::Scope history(m_log);
        history->emplace_back(platform::TickCount(), line);
    }
    m_host->ShowLogLine(m_driveIndex, level, line);
}

void CDriveJob::LogError(const std::wstring& text) {
    ++m_errorCount;
    Log(LogBasic, text);
}

void CDriveJob::Progress(uint64_t doneBytes) {
    m_progress = ProgressFraction(doneBytes, m_totalBytes);
    ProgressReport report;
    report.driveIndex = m_driveIndex;
    report.sizeText = m_sizeText;
    report.fraction = m_progress;
    // Unsigned 32-bit arithmetic: a wrap of the tick counter still gives the right difference.
    report.elapsed = platform::TickCount() - m_startTick;
    m_host->ShowProgress(report);
}

void CDriveJob::ClearLog() {
    LockedObject<LogHistory>::Scope history(m_log);
    history->clear();
}

CDriveJob::LogHistory CDriveJob::History() const {
    LockedObject<LogHistory>::Scope history(m_log);
    return *history;
}
