#pragma once
// The Linux program's user-interface thread: it shows a host's reports until a worker has made its
// last act. The first SIGINT or SIGTERM asks the run to stop, as the dialog's Stop does (files being
// written stay under their temporary names); a second one ends the program at once.
#include "cli/ConsoleReports.h"
#include "service/ReportingHost.h"

#include <functional>
#include <memory>
#include <optional>

struct RunEnd {
    std::optional<ProgressReport> final; // the run's last progress report that was not Running
    bool interrupted = false;            // a signal asked the run to stop
};

class RunLoop {
public:
    // Connects to the host: call before any worker that reports to it starts.
    explicit RunLoop(ReportingHost& host);
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Until the worker of index reports its end; stop is called on this thread at the first signal.
    RunEnd ShowReportsUntilEnded(ConsoleReports& console, int32_t index, const std::function<void()>& stop);

private:
    struct Wake;
    ReportingHost& m_host;
    std::unique_ptr<Wake> m_wake;
};
