#include "service/DriveJobTable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <latch>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class RecordingHost : public IJobHost {
public:
    void ShowLogLine(int32_t driveIndex, LogLevel level, const std::wstring& text) override {
        std::lock_guard guard(lock);
        lines.push_back({driveIndex, level, text});
    }
    void ShowProgress(const ProgressReport&) override {}
    void RunCompletionActions(const CompletionRequest&) override {}
    void OnRunEnded(int32_t) override {}

    struct Line {
        int32_t drive;
        LogLevel level;
        std::wstring text;
    };
    std::mutex lock;
    std::vector<Line> lines;
};

// Counts how often the table reads the dialog's controls; the run it hands out makes no copy.
struct CountingOptions {
    int asked = 0;
    std::function<RunOptions()> Source() {
        return [this] {
            ++asked;
            return RunOptions{};
        };
    }
};

TEST(DriveJobTable, AnUnmanagedArrivalIsLoggedButStartsNoCopy) {
    RecordingHost host;
    CountingOptions options;
    DriveJobTable jobs(&host, options.Source());
    jobs.AttachUnmanaged(16);
    ASSERT_EQ(host.lines.size(), 2u);
    EXPECT_EQ(host.lines[0].text, L"drive attached");
    EXPECT_EQ(host.lines[0].drive, 16);
    EXPECT_EQ(host.lines[1].level, LogLevel::Basic);
    EXPECT_NE(host.lines[1].text.find(L"not managed"), std::wstring::npos);
    EXPECT_EQ(options.asked, 0) << "no run is prepared for an unmanaged drive";
    EXPECT_FALSE(jobs.Job(16).IsRunning());
    EXPECT_EQ(jobs.Job(16).History().size(), 2u);
}

TEST(DriveJobTable, ClearEmptiesEveryHistoryAndStopReachesIdleJobs) {
    RecordingHost host;
    DriveJobTable jobs(&host, nullptr);
    jobs.Detach(0);
    jobs.Detach(25);
    jobs.StopAll();
    EXPECT_TRUE(jobs.Job(0).StopRequested());
    EXPECT_TRUE(jobs.Job(25).StopRequested());
    jobs.ClearAllLogs();
    EXPECT_TRUE(jobs.Job(0).History().empty());
    EXPECT_TRUE(jobs.Job(25).History().empty());
    EXPECT_FALSE(jobs.CopiesStillRunning());
    EXPECT_TRUE(jobs.JoinEndedAndAbandonTheRest());
}

TEST(DriveJobTable, ThreadedArrivalsAfterCloseAreOnlyLogged) {
    RecordingHost host;
    CountingOptions options;
    DriveJobTable jobs(&host, options.Source());
    jobs.Attach(4); // runs on its worker and ends: "No copy is made"
    jobs.Close();
    EXPECT_TRUE(jobs.IsClosed());
    jobs.Attach(5);
    EXPECT_EQ(options.asked, 1) << "a closing dialog's controls are not read";
    EXPECT_FALSE(jobs.Job(5).IsRunning());
    for (int i = 0; i < 6000 && jobs.Job(4).IsRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(jobs.CopiesStillRunning());
    EXPECT_TRUE(jobs.JoinEndedAndAbandonTheRest());
    std::vector<std::wstring> linesOfF;
    std::lock_guard guard(host.lock);
    for (const auto& line : host.lines) {
        if (line.drive == 5)
            linesOfF.push_back(line.text);
    }
    EXPECT_EQ(linesOfF, std::vector<std::wstring>{L"drive attached"});
}

TEST(DriveJobTable, ThreadedSessionEndNamesOnlyTheJobsWithARun) {
    // Holds the run of E: while it makes its destination folder.
    class HeldNaming : public NamingEnvironment {
    public:
        platform::ErrorCode CreateFolder(const std::wstring&) override {
            entered.count_down();
            release.wait();
            return platform::kErrorAccessDenied;
        }
        std::latch entered{1};
        std::latch release{1};
    } held;
    RecordingHost host;
    DriveJobTable jobs(&host, [&held] {
        RunOptions options;
        options.copyTo = L"T:\\";
        options.folderNaming = FolderNaming::ThreeDigits;
        options.naming = &held;
        return options;
    });
    jobs.Attach(4);
    held.entered.wait();
    jobs.EndSession();
    held.release.count_down();
    for (int i = 0; i < 6000 && jobs.Job(4).IsRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(jobs.IsClosed());
    EXPECT_TRUE(jobs.JoinEndedAndAbandonTheRest());
    std::vector<int32_t> told;
    std::lock_guard guard(host.lock);
    for (const auto& line : host.lines) {
        if (line.text == L"The session is ending: the copy is stopped.")
            told.push_back(line.drive);
    }
    EXPECT_EQ(told, std::vector<int32_t>{4});
}

} // namespace
