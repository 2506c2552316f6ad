#include "app/ReportBatchView.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ReportBatchView, FilterAndPrefixFollowTheSelectedLevel) {
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

TEST(ReportBatchView, AStopReportLeavesTheBarToTheReportBeforeIt) {
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

} // namespace
