#include "app/ReportBatchView.h"

#include "drives/DriveTypes.h"

std::wstring DisplayedLogLine(int32_t driveIndex, const std::wstring& text) {
    // "Verify a copy..." reports under an index past the last drive letter.
    std::wstring line = driveIndex >= 0 && driveIndex < 26 ? L"[A]: " : L"[Verify]: ";
    if (line[1] == L'A')
        line[1] = DriveLetter(driveIndex);
    line += text;
    line += L"\r\n";
    return line;
}

ReportBatchView ViewReportBatch(const std::vector<QueuedReport>& batch, int32_t selectedLevel) {
    ReportBatchView view;
    for (const QueuedReport& report : batch) {
        switch (report.kind) {
        case QueuedReport::Kind::LogLine:
            if (selectedLevel >= 0 && static_cast<int32_t>(report.level) <= selectedLevel) {
                view.appendText += DisplayedLogLine(report.driveIndex, report.text);
                ++view.appendedLines;
            }
            break;
        case QueuedReport::Kind::Progress:
            view.hasProgress = true;
            view.lastProgress = report.progress;
            if (report.progress.state != RunState::Stopped) {
                view.hasBarReport = true;
                view.lastBarReport = report.progress;
            }
            break;
        case QueuedReport::Kind::RunEnded:
            view.endedRuns.push_back(report.driveIndex);
            break;
        }
    }
    return view;
}
