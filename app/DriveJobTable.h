#pragma once
// The 26 copy jobs, one per drive letter, and what drive arrivals and the dialog's buttons ask of
// them.
#include "copy/DriveJob.h"
#include "drives/DriveJobs.h"

#include <memory>
#include <vector>

inline constexpr int32_t kDriveCount = 26;

class DriveJobTable : public IDriveJobs {
public:
    explicit DriveJobTable(IJobHost* host);
    ~DriveJobTable() override;

    void Attach(int32_t driveIndex) override;
    void AttachUnmanaged(int32_t driveIndex) override;
    void Detach(int32_t driveIndex) override;

    void StopAll();
    void ClearAllLogs();
    // The host hands a worker's last act back on the user-interface thread.
    void OnWorkerEnded(int32_t driveIndex);
    bool AllWorkersEnded() const;
    // For quitting once every worker has been asked to stop: joins the ended ones. A worker that is
    // still going (held by its completion message box) keeps its job alive until the process ends.
    void JoinEndedAndAbandonTheRest();

    CDriveJob& Job(int32_t driveIndex) { return *m_jobs[static_cast<size_t>(driveIndex)]; }

private:
    std::vector<std::unique_ptr<CDriveJob>> m_jobs;
};
