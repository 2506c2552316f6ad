#include "app/DriveJobTable.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

class RecordingHost : public IJobHost {
public:
    void ShowLogLine(int32_t driveIndex, LogLevel level, const std::wstring& text) override {
        std::lock_guard guard(lock);
        lines.push_back({driveIndex, level, text});
    }
    void ShowProgress(const ProgressReport&) override {}
    RunOptions RunOptionsFor(int32_t) override { return {}; }
    std::wstring MakeDestinationFolder(int32_t) override {
        ++destinationsAsked;
        return std::wstring();
    }
    void RunCompletionActions(int32_t) override {}
    void OnRunEnded(int32_t) override {}

    struct Line {
        int32_t drive;
        LogLevel level;
        std::wstring text;
    };
    std::mutex lock;
    std::vector<Line> lines;
    int destinationsAsked = 0;
};

TEST(DriveJobTable, AnUnmanagedArrivalIsLoggedButStartsNoCopy) {
    RecordingHost host;
    DriveJobTable jobs(&host);
    jobs.AttachUnmanaged(16);
    ASSERT_EQ(host.lines.size(), 2u);
    EXPECT_EQ(host.lines[0].text, L"drive attached");
    EXPECT_EQ(host.lines[0].drive, 16);
    EXPECT_EQ(host.lines[1].level, LogBasic);
    EXPECT_NE(host.lines[1].text.find(L"not managed"), std::wstring::npos);
    EXPECT_EQ(host.destinationsAsked, 0) << "no destination folder is made for an unmanaged drive";
    EXPECT_FALSE(jobs.Job(16).IsRunning());
    EXPECT_EQ(jobs.Job(16).History().size(), 2u);
}

TEST(DriveJobTable, ClearEmptiesEveryHistoryAndStopReachesIdleJobs) {
    RecordingHost host;
    DriveJobTable jobs(&host);
    jobs.Detach(0);
    jobs.Detach(25);
    jobs.StopAll();
    EXPECT_TRUE(jobs.Job(0).StopRequested());
    EXPECT_TRUE(jobs.Job(25).StopRequested());
    jobs.ClearAllLogs();
    EXPECT_TRUE(jobs.Job(0).History().empty());
    EXPECT_TRUE(jobs.Job(25).History().empty());
    EXPECT_TRUE(jobs.AllWorkersEnded());
}

} // namespace
