// harvex verify LIST.sha256: what "Verify a copy..." does, on the console.
#include "cli/Commands.h"
#include "cli/ConsoleReports.h"
#include "cli/HostPaths.h"
#include "cli/RunLoop.h"
#include "copy/ListCheck.h"
#include "service/ReportingHost.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// No card is mapped, so every path takes the host form and the letter stands for nothing.
constexpr wchar_t kNoCardLetter = L'Q';

} // namespace

int RunVerifyCommand(int argc, char** argv) {
    const Command& self = *CommandNamed("verify");
    if (argc != 2 || argv[1][0] == '-')
        return UsageError(argc < 2 ? "no list given" : nullptr, &self);
    const HostPaths paths(kNoCardLetter, std::string());
    const std::wstring list = paths.EnginePath(argv[1]);

    ReportingHost host;
    RunLoop loop(host);
    ConsoleReports console(stdout, isatty(STDOUT_FILENO) != 0, LogLevel::Basic,
                           [&paths](const std::wstring& text) { return paths.HostText(text); });
    CListCheck check(&host);
    std::atomic<uint32_t> problems{0};
    // The check on a worker of its own, so that this thread shows its reports as they come.
    std::thread worker([&] {
        problems = check.Check(list);
        host.OnRunEnded(kListCheckIndex);
    });
    const RunEnd end = loop.ShowReportsUntilEnded(console, kListCheckIndex, [&check] { check.Stop(); });
    worker.join();
    return problems == 0 && !end.interrupted ? kExitDone : kExitProblems;
}
