#include "app/ReportQueue.h"

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

TEST(ReportQueue, FilterAndPrefixFollowTheSelectedLevel) {
    std::vector<QueuedReport> batch;
    auto line = [&batch](int32_t drive, LogLevel level, const wchar_t* text) {
        QueuedReport r;
        r.driveIndex = drive;
        r.level = level;
        r.text = text;
        batch.push_back(r);
    };
    line(16, LogLevel::Basic, L"Copying...");
    line(16, LogLevel::Folders, L"Q:\\DCIM");
    line(16, LogLevel::Files, L"Q:\\DCIM\\a.jpg");
    EXPECT_EQ(ViewReportBatch(batch, 0).appendText, L"[Q]: Copying...\r\n");
    EXPECT_EQ(ViewReportBatch(batch, 1).appendedLines, 2u);
    EXPECT_EQ(ViewReportBatch(batch, 2).appendText,
              L"[Q]: Copying...\r\n[Q]: Q:\\DCIM\r\n[Q]: Q:\\DCIM\\a.jpg\r\n");
    EXPECT_EQ(ViewReportBatch(batch, -1).appendedLines, 0u) << "no selection shows nothing";
}

TEST(ReportQueue, AStopReportLeavesTheBarToTheReportBeforeIt) {
    std::vector<QueuedReport> batch(3);
    for (auto& r : batch)
        r.kind = QueuedReport::Kind::Progress;
    batch[0].progress = {1, RunState::Running, L"x", 0.5f, 10, 0, {}};
    batch[1].progress = {1, RunState::Stopped, L"", 0.0f, 0, 0, {}};
    batch[2].kind = QueuedReport::Kind::RunEnded;
    batch[2].driveIndex = 1;
    ReportBatchView view = ViewReportBatch(batch, 0);
    EXPECT_EQ(view.lastProgress.state, RunState::Stopped);
    ASSERT_TRUE(view.hasBarReport);
    EXPECT_FLOAT_EQ(view.lastBarReport.fraction, 0.5f);
    EXPECT_EQ(view.endedRuns, std::vector<int32_t>{1});
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
