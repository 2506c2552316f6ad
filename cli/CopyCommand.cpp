// harvex copy SOURCE: one run of the card's folder now, as an arrival in the dialog would start it.
#include "cli/Commands.h"
#include "cli/ConfigFile.h"
#include "cli/ConsoleReports.h"
#include "cli/HostPaths.h"
#include "cli/RunLoop.h"
#include "copy/DriveJob.h"
#include "platform/Drives.h"
#include "platform/Text.h"
#include "service/ReportingHost.h"
#include "service/RunSettings.h"

#include <getopt.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace {

// The card's drive: a letter no log line uses for anything else.
constexpr wchar_t kSourceLetter = L'Q';
constexpr int32_t kSourceDriveIndex = kSourceLetter - L'A';

struct NamedValue {
    const char* name;
    int32_t value;
};

constexpr std::array kFolderRules = {
    NamedValue{"date-time", 0},    NamedValue{"three-digits", 1}, NamedValue{"five-digits", 2},
    NamedValue{"volume-label", 3}, NamedValue{"none", -1},
};

constexpr std::array kLogLevels = {
    NamedValue{"basic", 0},
    NamedValue{"folders", 1},
    NamedValue{"files", 2},
};

template <size_t N>
std::optional<int32_t> ValueNamed(const std::array<NamedValue, N>& names, const char* text) {
    for (const NamedValue& named : names) {
        if (std::strcmp(named.name, text) == 0)
            return named.value;
    }
    return std::nullopt;
}

// The settings file's values, then the options over them.
struct CopyRequest {
    Settings settings;
    std::string source;
    std::string saveTo;     // host paths, as given
    std::string alsoCopyTo; // empty for none
};

enum Option { kTo = 1000, kAlsoCopyTo, kFolderName, kVerify, kNoVerify, kOnlyNew, kNoOnlyNew, kLogLevel };

constexpr std::array<option, 9> kOptions = {{
    {"to", required_argument, nullptr, kTo},
    {"also-copy-to", required_argument, nullptr, kAlsoCopyTo},
    {"folder-name", required_argument, nullptr, kFolderName},
    {"verify", no_argument, nullptr, kVerify},
    {"no-verify", no_argument, nullptr, kNoVerify},
    {"only-new", no_argument, nullptr, kOnlyNew},
    {"no-only-new", no_argument, nullptr, kNoOnlyNew},
    {"log-level", required_argument, nullptr, kLogLevel},
    {nullptr, 0, nullptr, 0},
}};

// The options over the settings; false with why for anything that is not an option or a value.
bool ApplyOption(int option, const char* value, CopyRequest& request, std::string& why) {
    Settings& s = request.settings;
    switch (option) {
    case kTo:
        request.saveTo = value;
        return true;
    case kAlsoCopyTo:
        request.alsoCopyTo = value;
        return true;
    case kFolderName: {
        const auto rule = ValueNamed(kFolderRules, value);
        s.folderName = rule.value_or(s.folderName);
        why = rule ? "" : std::string("no folder name rule is called \"") + value + "\"";
        return rule.has_value();
    }
    case kLogLevel: {
        const auto level = ValueNamed(kLogLevels, value);
        s.logLevel = level.value_or(s.logLevel);
        why = level ? "" : std::string("no log level is called \"") + value + "\"";
        return level.has_value();
    }
    case kVerify:
    case kNoVerify:
        s.copying.m_verify = option == kVerify ? 1 : 0;
        return true;
    case kOnlyNew:
    case kNoOnlyNew:
        s.copying.m_onlyNew = option == kOnlyNew ? 1 : 0;
        return true;
    default:
        why = "unknown option";
        return false;
    }
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The bytes in use on the volume that folder lies on, when folder is not that volume's root; else 0.
uint64_t BytesInUseAroundFolder(const std::string& folder) {
    struct stat own {};
    struct stat parent {};
    if (folder == "/" || ::stat(folder.c_str(), &own) != 0 ||
        ::stat((std::filesystem::path(folder) / "..").c_str(), &parent) != 0 || own.st_dev != parent.st_dev)
        return 0;
    struct statvfs volume {};
    if (::statvfs(folder.c_str(), &volume) != 0)
        return 0;
    return static_cast<uint64_t>(volume.f_blocks - volume.f_bfree) * volume.f_frsize;
}

// Everything copied: a finished run without an error. A stopped run, one that made no copy, and
// one with errors are not.
int ExitStatusOf(const RunEnd& end) {
    if (end.interrupted || !end.final || end.final->state != RunState::Finished || end.final->errorCount != 0)
        return kExitProblems;
    return kExitDone;
}

} // namespace

int RunCopyCommand(int argc, char** argv) {
    const Command& self = *CommandNamed("copy");
    CopyRequest request;
    std::string error;
    if (!LoadConfigFile(request.settings, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUsage;
    }
    request.saveTo = platform::ToHostName(request.settings.saveTo);
    request.alsoCopyTo = platform::ToHostName(request.settings.alsoCopyTo);
    optind = 1;
    opterr = 1;
    for (int option; (option = getopt_long(argc, argv, "", kOptions.data(), nullptr)) != -1;) {
        if (option == '?' || option == ':')
            return UsageError(nullptr, &self);
        if (std::string why; !ApplyOption(option, optarg, request, why))
            return UsageError(why.c_str(), &self);
    }
    if (argc - optind != 1)
        return UsageError(argc == optind ? "no SOURCE given" : "one SOURCE only", &self);
    request.source = AbsoluteHostPath(argv[optind]);
    if (!IsFolder(request.source))
        return UsageError(("SOURCE is not a folder: " + request.source).c_str(), &self);
    if (request.saveTo.empty())
        return UsageError("no folder to copy to: give --to DIR or \"Save to\" in the settings file", &self);

    platform::posix::MapVolume(kSourceLetter, request.source);
    const HostPaths paths(kSourceLetter, request.source);
    request.settings.saveTo = paths.EnginePath(request.saveTo);
    request.settings.alsoCopyTo =
        request.alsoCopyTo.empty() ? std::wstring() : paths.EnginePath(request.alsoCopyTo);

    ReportingHost host;
    RunLoop loop(host);
    ConsoleReports console(stdout, isatty(STDOUT_FILENO) != 0,
                           static_cast<LogLevel>(request.settings.logLevel),
                           [&paths](const std::wstring& text) { return paths.HostText(text); });
    console.CountBytesOfVolume(BytesInUseAroundFolder(request.source));
    CDriveJob job(kSourceDriveIndex, &host);
    job.Attach(RunOptionsFrom(request.settings));
    const RunEnd end = loop.ShowReportsUntilEnded(console, kSourceDriveIndex, [&job] { job.Stop(); });
    job.JoinIfEnded();
    return ExitStatusOf(end);
}
