#include "service/DriveJobTable.h"

DriveJobTable::DriveJobTable(IJobHost* host, std::function<RunOptions()> optionsNow)
    : m_optionsNow(std::move(optionsNow)) {
    m_jobs.reserve(kDriveLetterCount);
    for (int32_t i = 0; i < kDriveLetterCount; ++i)
        m_jobs.push_back(std::make_unique<CDriveJob>(i, host));
}

DriveJobTable::~DriveJobTable() = default;

void DriveJobTable::Attach(int32_t driveIndex) {
    CDriveJob& job = Job(driveIndex);
    if (m_closed) {
        job.Log(LogLevel::Basic, L"drive attached");
        return;
    }
    job.Attach(m_optionsNow ? m_optionsNow() : RunOptions{});
}

void DriveJobTable::AttachUnmanaged(int32_t driveIndex) {
    CDriveJob& job = Job(driveIndex);
    job.Log(LogLevel::Basic, L"drive attached");
    job.Log(LogLevel::Basic,
            L"Not copied: this drive is not managed (tick it in the drive list to copy it).");
}

void DriveJobTable::Detach(int32_t driveIndex) {
    Job(driveIndex).Detach();
}

void DriveJobTable::StopAll() {
    for (auto& job : m_jobs)
        job->Stop();
}

void DriveJobTable::ClearAllLogs() {
    for (auto& job : m_jobs)
        job->ClearLog();
}

void DriveJobTable::Close() {
    m_closed = true;
    for (auto& job : m_jobs)
        job->Close();
}

bool DriveJobTable::CopiesStillRunning() const {
    for (const auto& job : m_jobs) {
        if (job->IsCopying())
            return true;
    }
    return false;
}

bool DriveJobTable::JoinEndedAndAbandonTheRest() {
    bool allJoined = true;
    for (auto& job : m_jobs) {
        if (job->JoinIfEnded())
            continue;
        // Joining would wait for the user to close a message box that may be hidden behind the
        // ending program, or for a system call that does not return; the process ends it instead.
        (void)job.release();
        allJoined = false;
    }
    return allJoined;
}

void DriveJobTable::EndSession() {
    for (const auto& job : m_jobs) {
        if (job->IsRunning())
            job->Log(LogLevel::Basic, L"The session is ending: the copy is stopped.");
    }
    Close();
}
