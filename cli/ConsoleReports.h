#pragma once
// The reports of a run on the console: log lines at the chosen level on standard output; on a
// terminal a progress bar with the time left, redrawn in place under the lines; elsewhere a plain
// progress line at each tenth of the way.
#include "service/ReportQueue.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class ConsoleReports {
public:
    using HostText = std::function<std::string(const std::wstring&)>;

    ConsoleReports(std::FILE* out, bool terminal, LogLevel level, HostText hostText);

    // The source is a folder, not a whole volume: the run's fraction is of the bytes in use on the
    // volume it lies on, so progress shows the bytes copied, without a share or a time left.
    void CountBytesOfVolume(uint64_t bytesInUse) { m_volumeBytesInUse = bytesInUse; }

    void Show(const std::vector<QueuedReport>& batch);
    // A line of the program's own, shown as a log line is.
    void ShowLine(const std::wstring& text);
    // Takes the bar off the terminal's last line.
    void Close();

private:
    void ShowProgress(const ProgressReport& report);
    std::string ProgressText(const ProgressReport& report) const;
    void DrawBar();
    void ClearBar();

    std::FILE* const m_out;
    const bool m_terminal;
    const LogLevel m_level;
    HostText m_hostText;
    std::string m_bar; // the bar as drawn, empty when none is
    std::chrono::steady_clock::time_point m_barDrawn;
    int32_t m_lastTenth = -1; // of the last plain progress line
    uint64_t m_volumeBytesInUse = 0;
    bool m_sizeUnknownShown = false;
};

// "[#########...........]  45% of 3.20 GiB, 2m 5s left" for a report that moves the bar.
std::string ProgressBarText(const ProgressReport& report);
