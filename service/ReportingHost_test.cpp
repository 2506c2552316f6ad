// The completion actions of a finished run wait until the dialog has shown the run's final report,
// and are skipped once the dialog has closed the reports.
#include "service/ReportingHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

bool WaitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 6000 && !flag.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return flag.load();
}

TEST(ReportingHost, ThreadedCompletionWaitsUntilTheFinalReportIsShown) {
    ReportingHost host;
    std::atomic<bool> woken{false};
    std::atomic<bool> acted{false};
    std::atomic<bool> finalShown{false};
    std::atomic<bool> actedBeforeShown{false};
    host.Connect([&] { woken = true; },
                 [&](const CompletionRequest& request) {
                     EXPECT_EQ(request.driveIndex, 4);
                     EXPECT_EQ(request.errorCount, 2u);
                     actedBeforeShown = !finalShown.load();
                     acted = true;
                 });
    std::thread worker([&] {
        host.ShowLogLine(4, LogLevel::Basic, L"Finished with 2 errors.");
        host.ShowProgress({4, RunState::Finished, L"", 1.0f, 0, 2, {}});
        host.RunCompletionActions({4, CompletionOptions{}, 2});
    });
    ASSERT_TRUE(WaitFor(woken));
    // The dialog takes the batch but has not shown it yet: the actions still wait.
    std::vector<QueuedReport> batch;
    for (int i = 0; i < 6000 && batch.size() < 2; ++i) {
        for (QueuedReport& report : host.Reports().TakeAll())
            batch.push_back(std::move(report));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(batch.size(), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(acted.load());
    finalShown = true;
    host.Reports().MarkShown();
    worker.join();
    EXPECT_TRUE(acted.load());
    EXPECT_FALSE(actedBeforeShown.load());
}

TEST(ReportingHost, ThreadedCompletionIsSkippedOnceTheReportsAreClosed) {
    ReportingHost host;
    std::atomic<bool> acted{false};
    host.Connect([] {}, [&](const CompletionRequest&) { acted = true; });
    std::thread worker([&] {
        host.ShowProgress({4, RunState::Finished, L"", 1.0f, 0, 0, {}});
        host.RunCompletionActions({4, CompletionOptions{}, 0});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    host.Reports().Close(); // quitting: nothing is shown any more
    worker.join();
    EXPECT_FALSE(acted.load());
    // Nothing pushed later waits either.
    host.RunCompletionActions({5, CompletionOptions{}, 0});
    EXPECT_FALSE(acted.load());
}

} // namespace
