// The copy engine alone, for the benchmarks: one CDriveJob run of a host folder mapped as drive Q:
// into a new folder "copy" inside another host folder mapped as drive D: ("Copy to").
//
//   engine_copy SOURCE_FOLDER DESTINATION_FOLDER [--host=dialog|null] [--level=0|1|2] [--batch-ms=N]
//               [--verify] [--only-new] [--folder=NAME] [--also-copy-to=DIR]
//
// --host=dialog (the default) handles the reports as the main dialog does: the service floor's
// ReportQueue wakes a consumer thread, which takes each batch, formats its lines as the log box shows
// them ("[Q]: text\r\n") at the given log level into a log text trimmed like the log box, and turns
// the newest progress into texts with MakeProgressView. --batch-ms=N leaves at least N ms between two
// batches, as a dialog that shows reports on a timer would (harvex.exe's dialog takes one at most every 50
// ms; the default 0 takes each batch as soon as it is woken). --host=null drops every report. The exit code
// is 0 when the run finished without errors. A summary goes to standard error. --verify and --only-new switch
// on "Verify copies" and "Copy only files not copied before". --folder gives the volume its label ("copy" by
// default): the run is filed by label, so its folder is D:\NAME (NAME.000 and on when that is taken), with
// its checksum list and record beside it, where a second arrival of the same volume finds them.
// --also-copy-to=DIR maps the host folder DIR as drive G: and sets it as "Also copy to": each file is
// read once and written to both, and G: gets its run folder by the same rule.
#include "copy/DriveJob.h"
#include "copy/Progress.h"
#include "drives/DriveTypes.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "service/ReportQueue.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr wchar_t kSourceLetter = L'Q';
constexpr wchar_t kDestinationLetter = L'D';
constexpr wchar_t kSecondDestinationLetter = L'G';
constexpr int32_t kSourceDriveIndex = kSourceLetter - L'A';

// The log box keeps at most this many lines and drops this many of the oldest at once.
constexpr size_t kLogBoxMaxLines = 5000;
constexpr size_t kLogBoxTrimLines = 1000;

struct Options {
    std::string source;
    std::string destination;
    std::string alsoCopyTo; // a host folder, or empty for one destination
    bool dialogHost = true;
    int32_t logLevel = static_cast<int32_t>(LogLevel::Files); // the combo box index the dialog filters by
    int batchMs = 0;
    RunOptions run;
    std::wstring folder = L"copy";
};

bool ParseOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--host=dialog")
            options.dialogHost = true;
        else if (arg == "--host=null")
            options.dialogHost = false;
        else if (arg.rfind("--level=", 0) == 0)
            options.logLevel = std::atoi(arg.c_str() + 8);
        else if (arg.rfind("--batch-ms=", 0) == 0)
            options.batchMs = std::atoi(arg.c_str() + 11);
        else if (arg == "--verify")
            options.run.copying.m_verify = 1;
        else if (arg == "--only-new")
            options.run.copying.m_onlyNew = 1;
        else if (arg.rfind("--also-copy-to=", 0) == 0)
            options.alsoCopyTo = arg.substr(15);
        else if (arg.rfind("--folder=", 0) == 0)
            options.folder = std::wstring(arg.begin() + 9, arg.end());
        else
            folders.push_back(arg);
    }
    if (folders.size() != 2 || options.logLevel < static_cast<int32_t>(LogLevel::Basic) ||
        options.logLevel > static_cast<int32_t>(LogLevel::Files) || options.batchMs < 0)
        return false;
    options.source = folders[0];
    options.destination = folders[1];
    return true;
}

// A wake-up flag between the report queue and the thread that shows the reports.
class Signal {
public:
    void Raise() {
        {
            std::lock_guard guard(m_lock);
            m_raised = true;
        }
        m_changed.notify_one();
    }
    void WaitAndLower() {
        std::unique_lock guard(m_lock);
        m_changed.wait(guard, [this] { return m_raised; });
        m_raised = false;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_raised = false;
};

class HostBase : public IJobHost {
public:
    void RunCompletionActions(const CompletionRequest&) override {}
};

// One new folder, as harvex makes one per arrival; the run is handed it as its "Copy to" text
// with no naming rule.
void StartRun(CDriveJob& job, const Options& options) {
    RunOptions run = options.run;
    run.copyTo = std::wstring(1, kDestinationLetter) + L":\\";
    run.folderNaming = FolderNaming::VolumeLabel;
    if (!options.alsoCopyTo.empty())
        run.alsoCopyTo = std::wstring(1, kSecondDestinationLetter) + L":\\";
    job.Attach(run);
}

// Reports go nowhere; the end of the run wakes the waiting thread.
class NullHost : public HostBase {
public:
    void ShowLogLine(int32_t, LogLevel, const std::wstring&) override {}
    void ShowProgress(const ProgressReport&) override {}
    void OnRunEnded(int32_t) override { m_ended.Raise(); }

    void WaitForEnd() { m_ended.WaitAndLower(); }

private:
    Signal m_ended;
};

// The dialog's side of the reports, without the window: what it formats and keeps per batch.
class DialogHost : public HostBase {
public:
    DialogHost(int32_t logLevel, int batchMs)
        : m_logLevel(logLevel), m_batchInterval(batchMs), m_queue([this] { m_wake.Raise(); }) {}

    void ShowLogLine(int32_t driveIndex, LogLevel level, const std::wstring& text) override {
        m_queue.PushLogLine(driveIndex, level, text);
    }
    void ShowProgress(const ProgressReport& report) override { m_queue.PushProgress(report); }
    void OnRunEnded(int32_t driveIndex) override { m_queue.PushRunEnded(driveIndex); }

    // The user-interface loop: shows batches until the worker's last act arrives.
    void ShowReportsUntilRunEnded() {
        for (;;) {
            if (m_batchInterval.count() > 0)
                std::this_thread::sleep_until(m_lastBatch + m_batchInterval);
            m_wake.WaitAndLower();
            m_lastBatch = std::chrono::steady_clock::now();
            const BatchView view = ViewBatch(m_queue.TakeAll());
            ++m_batches;
            AppendToLogBox(view.text, view.lines);
            ShowProgressView(view);
            if (view.runEnded)
                return;
        }
    }

    void PrintSummary() const {
        std::fprintf(stderr, "dialog host: %zu batches, %zu lines shown, %zu progress texts, last: %ls\n",
                     m_batches, m_shownLines, m_progressTexts, m_progressText.c_str());
    }

private:
    // What the dialog makes of a batch: the lines at its log level, the newest progress and the
    // newest report that moves the bar (a stop does not).
    struct BatchView {
        std::wstring text;
        size_t lines = 0;
        const ProgressReport* progress = nullptr;
        const ProgressReport* bar = nullptr;
        bool runEnded = false;
    };

    BatchView ViewBatch(const std::vector<QueuedReport>& batch) const {
        BatchView view;
        for (const QueuedReport& report : batch) {
            if (report.kind == QueuedReport::Kind::RunEnded) {
                view.runEnded = true;
            } else if (report.kind == QueuedReport::Kind::Progress) {
                view.progress = &report.progress;
                if (report.progress.state != RunState::Stopped)
                    view.bar = &report.progress;
            } else if (static_cast<int32_t>(report.level) <= m_logLevel) {
                view.text += L"[";
                view.text += DriveLetter(report.driveIndex);
                view.text += L"]: " + report.text + L"\r\n";
                ++view.lines;
            }
        }
        return view;
    }

    // The log box's rule: past kLogBoxMaxLines the oldest lines go, kLogBoxTrimLines more at once.
    void AppendToLogBox(const std::wstring& text, size_t lines) {
        if (text.empty())
            return;
        if (m_logLines + lines > kLogBoxMaxLines)
            DropOldestLines(m_logLines + lines - kLogBoxMaxLines + kLogBoxTrimLines);
        m_logText += text;
        m_logLines += lines;
        m_shownLines += lines;
    }

    void DropOldestLines(size_t lines) {
        size_t end = 0;
        for (size_t dropped = 0; dropped < lines && end != std::wstring::npos; ++dropped) {
            end = m_logText.find(L'\n', end);
            if (end != std::wstring::npos)
                ++end;
        }
        if (end == std::wstring::npos || lines >= m_logLines) {
            m_logText.clear();
            m_logLines = 0;
            return;
        }
        m_logText.erase(0, end);
        m_logLines -= lines;
    }

    void ShowProgressView(const BatchView& view) {
        if (view.bar)
            m_barPos = MakeProgressView(*view.bar).barPos;
        if (view.progress) {
            m_progressText = MakeProgressView(*view.progress).text;
            ++m_progressTexts;
        }
    }

    const int32_t m_logLevel;
    const std::chrono::milliseconds m_batchInterval;
    std::chrono::steady_clock::time_point m_lastBatch;
    Signal m_wake;
    ReportQueue m_queue;
    std::wstring m_logText;
    size_t m_logLines = 0;
    size_t m_shownLines = 0;
    size_t m_batches = 0;
    size_t m_progressTexts = 0;
    int m_barPos = 0;
    std::wstring m_progressText;
};

int ReportRun(const CDriveJob& job, std::chrono::steady_clock::time_point start) {
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "copied %.2f MiB in %.3f s, %u errors\n",
                 static_cast<double>(job.DoneBytes()) / (1024.0 * 1024.0), elapsed, job.ErrorCount());
    return job.ErrorCount() == 0 && !job.Destination().empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: engine_copy SOURCE_FOLDER DESTINATION_FOLDER [--host=dialog|null] "
                             "[--level=0|1|2] [--batch-ms=N] [--verify] [--only-new] [--folder=NAME] "
                             "[--also-copy-to=DIR]\n");
        return 2;
    }
    platform::posix::MapDrive(kSourceLetter, options.source, platform::kDriveRemovable, options.folder);
    platform::posix::MapDrive(kDestinationLetter, options.destination, platform::kDriveFixed);
    if (!options.alsoCopyTo.empty())
        platform::posix::MapDrive(kSecondDestinationLetter, options.alsoCopyTo, platform::kDriveFixed);

    const auto start = std::chrono::steady_clock::now();
    if (!options.dialogHost) {
        NullHost host;
        CDriveJob job(kSourceDriveIndex, &host);
        StartRun(job, options);
        host.WaitForEnd();
        return ReportRun(job, start);
    }
    DialogHost host(options.logLevel, options.batchMs);
    CDriveJob job(kSourceDriveIndex, &host);
    StartRun(job, options);
    host.ShowReportsUntilRunEnded();
    host.PrintSummary();
    return ReportRun(job, start);
}
