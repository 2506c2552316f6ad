#pragma once
// What the dialog makes of one batch of queued reports: the log box's lines at the selected level
// and the newest progress.
#include "service/ReportQueue.h"

#include <cstdint>
#include <string>
#include <vector>

// What one batch of reports changes on screen.
struct ReportBatchView {
    std::wstring appendText; // the lines that pass the filter, each "[E]: text\r\n"
    size_t appendedLines = 0;
    bool hasProgress = false;
    ProgressReport lastProgress; // the newest progress report of the batch
    bool hasBarReport = false;
    ProgressReport lastBarReport;   // the newest report that moves the bar (a stop does not)
    std::vector<int32_t> endedRuns; // drives whose worker made its last act, in order
};

// selectedLevel is the "Log:" selection when the batch is shown: a line of level n shows when
// n <= selectedLevel; no selection (-1) shows no line.
ReportBatchView ViewReportBatch(const std::vector<QueuedReport>& batch, int32_t selectedLevel);

// "[E]: " + text + "\r\n"; "[Verify]: " + text + "\r\n" for an index that is no drive's.
std::wstring DisplayedLogLine(int32_t driveIndex, const std::wstring& text);
