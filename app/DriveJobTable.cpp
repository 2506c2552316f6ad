#include "app/DriveJobTable.h"

DriveJobTable::DriveJobTable(IJobHost* host) {
    m_jobs.reserve(kDriveCount);
    for (int32_t i = 0; i < kDriveCount; ++i)
        m_jobs.push_back(std::make_unique<CDriveJob>(i, host));
}

DriveJobTable::~DriveJobTable() = default;

void DriveJobTable::Attach(int32_t driveIndex) {
    Job(driveIndex).Attach();
}

void DriveJobTable::AttachUnmanaged(int32_t driveIndex) {
    CDriveJob& job = Job(driveIndex);
    job.Log(LogBasic, L"drive attached");
    job.Log(LogBasic, L"Not copied: this drive is not managed (tick it in the drive list to copy it).");
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

void DriveJobTable::OnWorkerEnded(int32_t driveIndex) {
    if (driveIndex >= 0 && driveIndex < kDriveCount)
        Job(driveIndex).OnWorkerEnded();
}

bool DriveJobTable::AllWorkersEnded() const {
    for (const auto& job : m_jobs) {
        if (!job->WorkerHasEnded())
            return false;
    }
    return true;
}

void DriveJobTable::JoinEndedAndAbandonTheRest() {
    for (auto& job : m_jobs) {
        if (job->WorkerHasEnded()) {
            job->StopAndJoin();
            continue;
        }
        // Joining would wait for the user to close a message box that may be hidden behind
        // the ending program; the process ends it instead.
        (void)job.release();
    }
}
