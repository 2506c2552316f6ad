#include "cli/ConsoleReports.h"

#include "copy/Progress.h"
#include "platform/Text.h"

#include <cmath>

namespace {

constexpr int kBarWidth = 30;
// A terminal is redrawn at most this often: the eye takes no more, and a slow terminal holds the run.
constexpr auto kBarRedraw = std::chrono::milliseconds(100);

} // namespace

std::string ProgressBarText(const ProgressReport& report) {
    const ProgressView view = MakeProgressView(report);
    if (!view.setsBar)
        return platform::ToUtf8(view.text);
    const int filled = view.barPos * kBarWidth / 100;
    std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                      std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] ";
    return bar + platform::ToUtf8(view.text);
}

ConsoleReports::ConsoleReports(std::FILE* out, bool terminal, LogLevel level, HostText hostText)
    : m_out(out), m_terminal(terminal), m_level(level), m_hostText(std::move(hostText)) {}

void ConsoleReports::Show(const std::vector<QueuedReport>& batch) {
    const ProgressReport* newest = nullptr;
    for (const QueuedReport& report : batch) {
        if (report.kind == QueuedReport::Kind::LogLine && report.level <= m_level)
            ShowLine(report.text);
        else if (report.kind == QueuedReport::Kind::Progress)
            newest = &report.progress;
    }
    if (newest != nullptr)
        ShowProgress(*newest);
    std::fflush(m_out);
}

void ConsoleReports::Close() {
    ClearBar();
    std::fflush(m_out);
}

void ConsoleReports::ShowLine(const std::wstring& text) {
    const bool barShown = m_terminal && !m_bar.empty();
    if (barShown)
        std::fprintf(m_out, "\r\x1b[K");
    std::fprintf(m_out, "%s\n", m_hostText(text).c_str());
    if (barShown)
        DrawBar();
    std::fflush(m_out);
}

void ConsoleReports::ShowProgress(const ProgressReport& report) {
    // A final report ("Complete.", "Stopped.", why no copy is made) says what the last log line
    // has said.
    if (report.state != RunState::Running) {
        ClearBar();
        return;
    }
    if (m_terminal) {
        const auto now = std::chrono::steady_clock::now();
        if (!m_bar.empty() && now - m_barDrawn < kBarRedraw)
            return;
        m_barDrawn = now;
        m_bar = ProgressText(report);
        DrawBar();
        return;
    }
    if (m_volumeBytesInUse != 0)
        return;
    const ProgressView view = MakeProgressView(report);
    if (!view.setsBar) {
        if (!m_sizeUnknownShown)
            std::fprintf(m_out, "%s\n", platform::ToUtf8(view.text).c_str());
        m_sizeUnknownShown = true;
        return;
    }
    if (view.barPos / 10 == m_lastTenth)
        return;
    m_lastTenth = view.barPos / 10;
    std::fprintf(m_out, "%s\n", platform::ToUtf8(view.text).c_str());
}

std::string ConsoleReports::ProgressText(const ProgressReport& report) const {
    if (m_volumeBytesInUse == 0 || !std::isfinite(report.fraction) || report.fraction < 0.0f)
        return ProgressBarText(report);
    const auto done =
        static_cast<uint64_t>(static_cast<double>(report.fraction) * static_cast<double>(m_volumeBytesInUse));
    return platform::ToUtf8(FormatSize(done)) + " copied";
}

void ConsoleReports::DrawBar() {
    std::fprintf(m_out, "\r\x1b[K%s", m_bar.c_str());
}

void ConsoleReports::ClearBar() {
    if (!m_terminal || m_bar.empty())
        return;
    std::fprintf(m_out, "\r\x1b[K");
    m_bar.clear();
}
