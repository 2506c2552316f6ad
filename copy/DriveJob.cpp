#include "copy/DriveJob.h"

#include "copy/DestinationNaming.h"
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
    return std::wstring{DriveLetter(driveIndex), L':'};
}

// Why no run folder can be made in a "Copy to" text: the system's reason when the folder cannot be
// looked at.
std::wstring WhyNoFolder(const std::wstring& copyTo) {
    if (copyTo.empty())
        return L"it is empty.";
    platform::FileInfo info;
    const platform::ErrorCode error = platform::GetFileInfo(copyTo, info);
    if (error != platform::kSuccess)
        return platform::ErrorText(error);
    return L"no folder can be made in it.";
}

} // namespace

CDriveJob::CDriveJob(int32_t driveIndex, IJobHost* host)
    : m_driveIndex(driveIndex), m_source(SourceOf(driveIndex)), m_host(host) {}

CDriveJob::~CDriveJob() {
    Close();
    if (m_thread.joinable())
        m_thread.join();
}

void CDriveJob::Attach(RunOptions options) {
    Log(LogLevel::Basic, L"drive attached");
    std::unique_lock guard(m_stateLock);
    if (m_closed)
        return;
    m_stop = 1;
    if (m_workerActive) {
        // The worker takes this run as soon as the old one has ended; a later arrival replaces it.
        m_waitingRun = std::move(options);
        return;
    }
    // A worker that made its last act is gone or about to be: the join does not wait.
    if (m_thread.joinable())
        m_thread.join();
    m_stop = 0;
    m_workerActive = true;
    guard.unlock();
    StartWorker(std::move(options));
}

void CDriveJob::StartWorker(RunOptions options) {
    try {
        m_thread = std::thread(&CDriveJob::Work, this, std::move(options));
    } catch (const std::system_error&) {
        {
            std::lock_guard guard(m_stateLock);
            m_workerActive = false;
        }
        Log(LogLevel::Basic, L"No copy is made: the copy could not be started.");
    }
}

void CDriveJob::Detach() {
    Log(LogLevel::Basic, L"drive detached");
}

void CDriveJob::Stop() {
    std::lock_guard guard(m_stateLock);
    m_waitingRun.reset();
    m_stop = 1;
}

void CDriveJob::Close() {
    std::lock_guard guard(m_stateLock);
    m_closed = true;
    m_waitingRun.reset();
    m_stop = 1;
}

bool CDriveJob::IsRunning() const {
    std::lock_guard guard(m_stateLock);
    return m_workerActive;
}

bool CDriveJob::IsCopying() const {
    std::lock_guard guard(m_stateLock);
    return m_workerActive && m_phase.load() == Phase::Copying;
}

bool CDriveJob::JoinIfEnded() {
    if (IsRunning())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    return true;
}

void CDriveJob::Work(RunOptions options) {
    do {
        Run(options);
    } while (TakeWaitingRun(options));
}

bool CDriveJob::TakeWaitingRun(RunOptions& options) {
    bool another = false;
    {
        std::lock_guard guard(m_stateLock);
        if (m_waitingRun && !m_closed) {
            options = std::move(*m_waitingRun);
            m_waitingRun.reset();
            m_stop = 0;
            another = true;
        } else {
            m_workerActive = false;
        }
    }
    // After the last run this is the worker's last act: the job may be joined from here on.
    m_host->OnRunEnded(m_driveIndex);
    return another;
}

void CDriveJob::Run(const RunOptions& options) {
    m_phase = Phase::Preparing;
    // The walk reads the run's choices from here; only the worker touches them.
    m_options = options;
    if (!PrepareDestination(options))
        return;
    Log(LogLevel::Basic, L"Copying...");
    if (m_targets.size() > 1) {
        for (const RunTarget& target : m_targets)
            Log(LogLevel::Basic, L"Copying into " + target.folder);
    }
    m_progress = 0.0f;
    m_errorCount = 0;
    MeasureTotal();
    m_doneBytes = 0;
    m_startTick = platform::TickCount();
    m_phase = Phase::Copying;
    SetUpRecords();
    TreeCopyInput input;
    input.sourceRoot = m_source;
    input.stop = &m_stop;
    for (RunTarget& target : m_targets)
        input.destinations.push_back(
            CopyDestination{target.folder, target.belowSource, target.records ? &*target.records : nullptr});
    platform::VolumeIdentity volume;
    if (platform::GetVolumeIdentity(DriveRoot(m_driveIndex), volume))
        input.volume = volume;
    input.intoCopyTo = options.IntoCopyTo();
    const TreeCopyResult result = CTreeCopy(std::move(input), *this).Run();
    m_doneBytes = result.doneBytes;
    m_errorCount += result.errorCount;
    m_sourceErrors = result.sourceErrors;
    m_copiedCount = result.filesCopied;
    m_skippedCount = result.filesSkipped;
    for (size_t t = 0; t < m_targets.size(); ++t)
        m_targets[t].result = result.targets[t];
    FinishRun(options, result.volumeChanged);
}

// On the worker: a "Copy to" on a dead share or a failing card may take the system a long time to
// answer, and so may the label of the arriving volume.
bool CDriveJob::PrepareDestination(const RunOptions& options) {
    m_targets.clear();
    bool two = !options.alsoCopyTo.empty();
    if (two && FoldersOverlap(options.copyTo, options.alsoCopyTo)) {
        // Both copies would sit on one disk, one of them perhaps inside the other's tree: that is
        // not the second copy the user asked for, so say so and make one.
        Log(LogLevel::Basic, L"No copy is made in the \"Also copy to\" folder " + options.alsoCopyTo +
                                 L": it is the \"Copy to\" folder, or one of the two holds the other.");
        two = false;
    }
    AddDestination(options, options.copyTo, two ? L"Copy to" : nullptr);
    if (two)
        AddDestination(options, options.alsoCopyTo, L"Also copy to");
    if (!m_targets.empty())
        return true;
    // An empty destination would put the copy at the root of the current drive.
    const std::wstring why =
        L"No copy is made: the \"Copy to\" folder is empty, missing or cannot be written.";
    Log(LogLevel::Basic, why);
    m_host->ShowProgress(NoCopyReport(m_driveIndex, why));
    return false;
}

bool CDriveJob::AddDestination(const RunOptions& options, const std::wstring& copyTo, const wchar_t* which) {
    NamingEnvironment& naming = options.naming ? *options.naming : SystemNamingEnvironment();
    std::wstring folder = MakeDestinationFolder(copyTo, options.folderNaming, m_driveIndex, naming);
    if (folder.empty()) {
        if (which != nullptr)
            Log(LogLevel::Basic, L"No copy is made in the \"" + std::wstring(which) + L"\" folder " + copyTo +
                                     L": " + WhyNoFolder(copyTo));
        return false;
    }
    RunTarget& target = m_targets.emplace_back();
    target.belowSource = UpperPathBelowRoot(m_source, folder);
    target.folder = std::move(folder);
    return true;
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
        Log(LogLevel::Basic, L"GetDiskFreeSpaceEx failed for " + root + L": the total size is unknown.");
    }
    m_sizeText = FormatSize(m_totalBytes);
}

void CDriveJob::FinishRun(const RunOptions& options, bool volumeChanged) {
    ProgressReport report;
    report.driveIndex = m_driveIndex;
    FinishRecords(StopRequested() || volumeChanged);
    report.errorCount = m_errorCount;
    // A changed volume has said why the run stopped; it is not this run's volume to eject.
    if (StopRequested() || volumeChanged) {
        if (!volumeChanged)
            Log(LogLevel::Basic, L"Stopped.");
        report.state = RunState::Stopped;
        m_host->ShowProgress(report);
        return;
    }
    const bool verified = m_options.copying.m_verify != 0;
    const std::vector<DestinationOutcome> outcomes = Outcomes();
    Log(LogLevel::Basic, FinishedText(m_errorCount, verified, m_copiedCount, outcomes));
    report.state = RunState::Finished;
    m_host->ShowProgress(report);
    m_phase = Phase::Completing;
    m_host->RunCompletionActions(
        CompletionRequest{m_driveIndex, options.completion, m_errorCount,
                          outcomes.empty() ? std::wstring() : DestinationsText(outcomes, verified)});
}

std::vector<DestinationOutcome> CDriveJob::Outcomes() const {
    std::vector<DestinationOutcome> outcomes;
    // Nothing new anywhere has said so in a line of its own.
    if (m_targets.size() < 2 || (m_copiedCount == 0 && m_errorCount == 0 && m_targets.front().nothingNew))
        return outcomes;
    for (const RunTarget& target : m_targets)
        outcomes.push_back(DestinationOutcome{target.folder, target.result.filesCopied,
                                              m_sourceErrors + target.result.ownErrors,
                                              target.result.lostError, target.nothingNew});
    return outcomes;
}

void CDriveJob::SetUpRecords() {
    m_copiedCount = 0;
    m_skippedCount = 0;
    // Records exist with both options off too: they clear the side files of an earlier run's name.
    const std::wstring root = DriveRoot(m_driveIndex);
    std::wstring label;
    std::optional<uint32_t> serial;
    if (m_options.copying != CopyingOptions{}) {
        platform::VolumeLabel(root, label);
        uint32_t number = 0;
        if (platform::VolumeSerial(root, number))
            serial = number;
    }
    // Runs into "Copy to" itself name their side files by their start: two runs of the drive within
    // one reading of the clock would share them, and the second would clear the first's.
    platform::LocalTime started = platform::GetLocalTime();
    while (started == m_lastStart) {
        platform::YieldTimeSlice();
        started = platform::GetLocalTime();
    }
    m_lastStart = started;
    for (RunTarget& target : m_targets) {
        target.records.reset();
        target.result = {};
        target.nothingNew = false;
        target.records.emplace(m_options.copying, RunPlace{m_source, target.folder, m_options.IntoCopyTo(),
                                                           label, serial, started});
        for (const RunRecords::Failure& failure : target.records->TakeStartFailures())
            LogError(L"Cannot write " + failure.path + L": " + platform::ErrorText(failure.error));
    }
    if (m_targets.front().records->SerialMissing())
        Log(LogLevel::Basic, L"The serial number of " + m_source + L" cannot be read: every file is copied.");
}

// A volume with nothing new leaves no folder behind: the run's folders, still empty, go again.
void CDriveJob::FinishRecords(bool stopped) {
    const bool nothingNew = m_targets.front().records && m_targets.front().records->SkipsFiles() &&
                            !stopped && m_copiedCount == 0 && m_errorCount == 0;
    if (nothingNew)
        Log(LogLevel::Basic, L"Nothing new on " + m_source + L": " +
                                 CountText(m_skippedCount, L"file was", L"files were") + L" copied before.");
    // Each list counts the errors of the run but those of the other destinations.
    uint32_t ownErrors = 0;
    for (const RunTarget& target : m_targets)
        ownErrors += target.result.ownErrors;
    for (RunTarget& target : m_targets) {
        if (!target.records)
            continue;
        const uint32_t errors = m_errorCount - (ownErrors - target.result.ownErrors);
        // A destination that held every file already keeps no folder either, though the other got some.
        const bool nothingNewHere =
            target.records->SkipsFiles() && !stopped && target.result.filesCopied == 0 && errors == 0;
        target.nothingNew = nothingNew || nothingNewHere;
        const bool folderRemoved = target.nothingNew && !m_options.IntoCopyTo() &&
                                   platform::RemoveEmptyFolder(target.folder) == platform::kSuccess;
        const std::vector<RunRecords::Failure> failures =
            target.records->Finish(platform::GetLocalTime(), stopped, errors, folderRemoved);
        target.records.reset();
        // A lost destination has had its line.
        if (target.result.lostError != platform::kSuccess)
            continue;
        for (const RunRecords::Failure& failure : failures)
            LogError(L"Cannot write " + failure.path + L": " + platform::ErrorText(failure.error));
    }
}

void CDriveJob::Log(LogLevel level, const std::wstring& text) {
    const std::wstring line = VisibleLogText(text);
    {
        LockedObject<LogHistory>::Scope history(m_log);
        history->emplace_back(platform::TickCount(), line);
        if (history->size() > kHistoryLines)
            history->pop_front();
    }
    m_host->ShowLogLine(m_driveIndex, level, line);
}

void CDriveJob::LogError(const std::wstring& text) {
    ++m_errorCount;
    Log(LogLevel::Basic, text);
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
