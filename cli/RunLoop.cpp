#include "cli/RunLoop.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>

namespace {

std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void OnStopSignal(int signal) {
    g_stopSignal = signal;
}

// The first signal is caught; the handler is then reset, so a second one ends the program.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// A signal handler cannot take a lock: the loop looks at the flag this often.
constexpr auto kSignalPoll = std::chrono::milliseconds(100);

} // namespace

struct RunLoop::Wake {
    std::mutex lock;
    std::condition_variable changed;
    bool raised = false;

    void Raise() {
        {
            std::lock_guard guard(lock);
            raised = true;
        }
        changed.notify_one();
    }
    void WaitAndLower() {
        std::unique_lock guard(lock);
        changed.wait_for(guard, kSignalPoll, [this] { return raised; });
        raised = false;
    }
};

RunLoop::RunLoop(ReportingHost& host) : m_host(host), m_wake(std::make_unique<Wake>()) {
    m_host.Connect([wake = m_wake.get()] { wake->Raise(); }, [](const CompletionRequest&) {});
    CatchStopSignals();
}

RunLoop::~RunLoop() {
    m_host.Reports().Close();
}

RunEnd RunLoop::ShowReportsUntilEnded(ConsoleReports& console, int32_t index,
                                      const std::function<void()>& stop) {
    RunEnd end;
    for (;;) {
        m_wake->WaitAndLower();
        if (g_stopSignal != 0 && !end.interrupted) {
            end.interrupted = true;
            stop();
            console.ShowLine(L"Stopping...");
        }
        const std::vector<QueuedReport> batch = m_host.Reports().TakeAll();
        console.Show(batch);
        m_host.Reports().MarkShown();
        for (const QueuedReport& report : batch) {
            if (report.kind == QueuedReport::Kind::Progress && report.progress.state != RunState::Running)
                end.final = report.progress;
            if (report.kind == QueuedReport::Kind::RunEnded && report.driveIndex == index) {
                console.Close();
                return end;
            }
        }
    }
}
