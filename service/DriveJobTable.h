#pragma once
// The 26 copy jobs, one per drive letter, what drive arrivals and the dialog's buttons ask of them,
// and their end when the program quits or the session ends.
#include "copy/DriveJob.h"
#include "copy/RunOptions.h"
#include "drives/DriveJobs.h"
#include "drives/DriveTypes.h"

#include <functional>
#include <memory>
#include <vector>

class DriveJobTable : public IDriveJobs {
public:
    // optionsNow reads the user's choices as they stand at an arrival (on the user-interface
    // thread); it is not called once the table is closed.
    DriveJobTable(IJobHost* host, std::function<RunOptions()> optionsNow);
    ~DriveJobTable() override;

    void Attach(int32_t driveIndex) override;
    void AttachUnmanaged(int32_t driveIndex) override;
    void Detach(int32_t driveIndex) override;

    void StopAll();
    void ClearAllLogs();

    // Quitting or the session ending: every job is stopped, runs that wait are dropped, and from
    // here on arrivals are only logged.
    void Close();
    // The session is ending: closes like Close, and each job that has a run says so in its log.
    void EndSession();
    bool IsClosed() const { return m_closed; }
    // A worker is still copying (one held by its completion actions or still making its folder has
    // nothing half written to lose).
    bool CopiesStillRunning() const;
    // Joins the workers that have ended. A worker still going (held by its completion message box,
    // or hung) keeps its job, and whatever it reports to, alive until the process ends: the job is
    // given up, and false tells the caller to give up the host too.
    bool JoinEndedAndAbandonTheRest();

    CDriveJob& Job(int32_t driveIndex) { return *m_jobs[static_cast<size_t>(driveIndex)]; }

private:
    std::vector<std::unique_ptr<CDriveJob>> m_jobs;
    std::function<RunOptions()> m_optionsNow;
    bool m_closed = false;
};
