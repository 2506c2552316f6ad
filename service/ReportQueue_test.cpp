#include "service/ReportQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(ReportQueue, WakesOnlyWhenTheQueueWasEmpty) {
    int wakes = 0;
    ReportQueue queue([&wakes] { ++wakes; });
    queue.PushLogLine(4, LogLevel::Basic, L"drive attached");
    queue.PushLogLine(4, LogLevel::Basic, L"Copying...");
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(queue.TakeAll().size(), 2u);
    queue.PushRunEnded(4);
    EXPECT_EQ(wakes, 2);
}

TEST(ReportQueue, CollapsesConsecutiveProgressOfOneDriveOnly) {
    ReportQueue queue(nullptr);
    ProgressReport e{4, RunState::Running, L"1.00 GiB", 0.1f, 100, 0, {}};
    ProgressReport f{5, RunState::Running, L"2.00 GiB", 0.2f, 100, 0, {}};
    queue.PushProgress(e);
    e.fraction = 0.2f;
    queue.PushProgress(e);
    queue.PushProgress(f);
    e.fraction = 0.3f;
    queue.PushProgress(e);
    auto items = queue.TakeAll();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_FLOAT_EQ(items[0].progress.fraction, 0.2f);
    EXPECT_EQ(items[1].driveIndex, 5);
    EXPECT_FLOAT_EQ(items[2].progress.fraction, 0.3f);
}

TEST(ReportQueue, ProgressDoesNotJumpOverALogLine) {
    ReportQueue queue(nullptr);
    queue.PushProgress({4, RunState::Running, L"", 0.1f, 1, 0, {}});
    queue.PushLogLine(4, LogLevel::Files, L"E:\\a.jpg");
    queue.PushProgress({4, RunState::Running, L"", 0.2f, 2, 0, {}});
    EXPECT_EQ(queue.TakeAll().size(), 3u);
}

TEST(ReportQueue, NoWakeAfterClose) {
    int wakes = 0;
    ReportQueue queue([&wakes] { ++wakes; });
    queue.Close();
    queue.PushLogLine(0, LogLevel::Basic, L"late");
    EXPECT_EQ(wakes, 0);
    EXPECT_EQ(queue.TakeAll().size(), 1u) << "nothing is lost, only nobody is woken";
}

TEST(ReportQueue, ThreadedWorkersLoseNothingAndKeepTheirOrder) {
    std::atomic<int> wakes{0};
    ReportQueue queue([&wakes] { ++wakes; });
    constexpr int kLines = 2000;
    std::vector<std::thread> workers;
    for (int drive = 0; drive < 4; ++drive) {
        workers.emplace_back([&queue, drive] {
            for (int i = 0; i < kLines; ++i) {
                queue.PushLogLine(drive, LogLevel::Files, std::to_wstring(i));
                queue.PushProgress({drive, RunState::Running, L"", static_cast<float>(i) / kLines, 0, 0, {}});
            }
        });
    }
    std::vector<int> next(4, 0);
    size_t taken = 0;
    auto check = [&](const std::vector<QueuedReport>& batch) {
        for (const auto& r : batch) {
            if (r.kind != QueuedReport::Kind::LogLine)
                continue;
            EXPECT_EQ(r.text, std::to_wstring(next[r.driveIndex]));
            ++next[r.driveIndex];
            ++taken;
        }
    };
    while (taken < 4u * kLines)
        check(queue.TakeAll());
    for (auto& w : workers)
        w.join();
    check(queue.TakeAll());
    EXPECT_EQ(taken, 4u * kLines);
    EXPECT_GE(wakes.load(), 1);
}

} // namespace
