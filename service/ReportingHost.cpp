#include "service/ReportingHost.h"

ReportingHost::ReportingHost()
    : m_reports([this] {
          if (m_wake)
              m_wake();
      }) {}

void ReportingHost::Connect(std::function<void()> wake, CompletionActions actions) {
    m_wake = std::move(wake);
    m_actions = std::move(actions);
}

void ReportingHost::ShowLogLine(int32_t driveIndex, LogLevel level, const std::wstring& text) {
    m_reports.PushLogLine(driveIndex, level, text);
}

void ReportingHost::ShowProgress(const ProgressReport& report) {
    m_reports.PushProgress(report);
}

void ReportingHost::RunCompletionActions(const CompletionRequest& request) {
    // A program that is ending does not beep, eject or pop up for the copies it stopped waiting for.
    if (!m_reports.WaitUntilShown())
        return;
    if (m_actions)
        m_actions(request);
}

void ReportingHost::OnRunEnded(int32_t driveIndex) {
    m_reports.PushRunEnded(driveIndex);
}
