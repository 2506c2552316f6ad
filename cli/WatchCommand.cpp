// harvex watch: copies every volume mounted under the watched folders, as the dialog copies a managed
// drive when it arrives: the same settings, jobs and log lines, each line after its volume's mount
// point. Volumes already mounted when the watch starts are copied too: a card put in before the
// login that starts the watch is a card to copy all the same.
#include "cli/Commands.h"
#include "cli/ConfigFile.h"
#include "cli/HostPaths.h"
#include "copy/DriveJob.h"
#include "drives/DriveTypes.h"
#include "platform/Drives.h"
#include "platform/MountWatch.h"
#include "platform/Text.h"
#include "service/DriveJobTable.h"
#include "service/ReportingHost.h"
#include "service/RunSettings.h"

#include <getopt.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

// The letters the watch hands to volumes: C: to Z:, so at most 24 volumes copy at once.
constexpr int32_t kFirstDriveIndex = 2;

// The user's name as the desktop's automounter uses it: $USER, or the account of the process.
std::string UserName() {
    if (const char* user = std::getenv("USER"); user && *user)
        return user;
    const passwd* account = ::getpwuid(::geteuid());
    return account && account->pw_name ? account->pw_name : "";
}

// Where udisks2 mounts (/media/USER on Debian, /run/media/USER elsewhere), and /media for mounts
// made by hand or by a udev rule.
std::vector<std::string> DefaultWatchedFolders() {
    std::vector<std::string> folders;
    if (const std::string user = UserName(); !user.empty()) {
        folders.push_back("/media/" + user);
        folders.push_back("/run/media/" + user);
    }
    folders.push_back("/media");
    return folders;
}

// The desktop's notification of a run's end, when notify-send is installed; nothing otherwise. Not
// waited for: SIGCHLD is ignored, so it leaves no zombie behind.
void Notify(const std::string& body) {
    const char* argv[] = {"notify-send", "--app-name=Harvex", "Harvex", body.c_str(), nullptr};
    pid_t child = 0;
    posix_spawnp(&child, "notify-send", nullptr, nullptr, const_cast<char* const*>(argv), environ);
}

// The second line of the dialog's pop-up (how many files failed, or how each destination ended).
std::wstring PopupDetail(const CompletionRequest& request) {
    const std::wstring text =
        CompletionPopupText(request.driveIndex, request.errorCount, request.destinations);
    const size_t newline = text.find(L'\n');
    return newline == std::wstring::npos ? std::wstring() : text.substr(newline);
}

// A line as it is printed: control characters become "?", as in the dialog's log, also those of a
// mount point named by a volume's label, which the lines show in place of the drive letter.
std::string Shown(std::string line) {
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return line;
}

// A volume being copied or waited for: its mount and how its paths read in log lines.
struct WatchedVolume {
    platform::MountEntry mount;
    HostPaths paths;
    bool gone = false; // unmounted; its letter is free again once its job has ended
};

class Watch {
public:
    Watch(Settings settings, std::vector<std::string> folders);
    // Until SIGINT or SIGTERM has stopped every copy: the exit status.
    int Run();

private:
    bool ReadMounts();
    void Arrive(const platform::MountEntry& mount);
    void Leave(const platform::MountEntry& mount);
    void ShowReports();
    void ReleaseEndedVolumes();
    bool AnyJobRunning();
    std::optional<int32_t> FreeDriveIndex() const;
    std::optional<int32_t> IndexOfMount(uint32_t mountId) const;
    bool HoldsADestination(const platform::MountEntry& mount) const;
    void OnRunFinished(const CompletionRequest& request);
    std::string Prefixed(int32_t driveIndex, const std::wstring& text) const;

    Settings m_settings;
    const std::vector<std::string> m_folders;
    const std::string m_saveTo; // host paths of the destinations, "" for none
    const std::string m_alsoCopyTo;
    const LogLevel m_level;
    RunOptions m_arrivalOptions; // what the next Attach hands its job
    platform::posix::FileDescriptor m_reportsReady;
    ReportingHost m_host;
    DriveJobTable m_jobs;
    platform::MountWatch m_mounts;
    std::vector<platform::MountEntry> m_table; // as last read
    // By drive index. Workers read the mount points for their notification, hence the lock.
    mutable std::mutex m_volumesLock;
    std::map<int32_t, WatchedVolume> m_volumes;
};

Watch::Watch(Settings settings, std::vector<std::string> folders)
    : m_settings(std::move(settings)), m_folders(std::move(folders)),
      m_saveTo(platform::ToHostName(m_settings.saveTo)),
      m_alsoCopyTo(platform::ToHostName(m_settings.alsoCopyTo)),
      m_level(static_cast<LogLevel>(m_settings.logLevel)),
      m_reportsReady(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_jobs(&m_host, [this] { return m_arrivalOptions; }) {
    const int ready = m_reportsReady.Get();
    m_host.Connect(
        [ready] {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(ready, &one, sizeof one);
        },
        [this](const CompletionRequest& request) { OnRunFinished(request); });
}

std::string Watch::Prefixed(int32_t driveIndex, const std::wstring& text) const {
    std::lock_guard guard(m_volumesLock);
    auto found = m_volumes.find(driveIndex);
    if (found == m_volumes.end())
        return Shown(platform::ToHostName(text));
    return Shown("[" + found->second.mount.mountPoint + "]: " + found->second.paths.HostText(text));
}

void Watch::OnRunFinished(const CompletionRequest& request) {
    std::string mountPoint;
    {
        std::lock_guard guard(m_volumesLock);
        auto found = m_volumes.find(request.driveIndex);
        if (found != m_volumes.end())
            mountPoint = found->second.mount.mountPoint;
    }
    Notify("Copying finished for " + mountPoint + platform::ToUtf8(PopupDetail(request)));
}

bool Watch::HoldsADestination(const platform::MountEntry& mount) const {
    for (const std::string& destination : {m_saveTo, m_alsoCopyTo}) {
        if (!destination.empty() && platform::IsAtOrBeneath(AbsoluteHostPath(destination), mount.mountPoint))
            return true;
    }
    return false;
}

std::optional<int32_t> Watch::FreeDriveIndex() const {
    std::lock_guard guard(m_volumesLock);
    for (int32_t index = kFirstDriveIndex; index < kDriveLetterCount; ++index) {
        if (!m_volumes.contains(index))
            return index;
    }
    return std::nullopt;
}

std::optional<int32_t> Watch::IndexOfMount(uint32_t mountId) const {
    std::lock_guard guard(m_volumesLock);
    for (const auto& [index, volume] : m_volumes) {
        if (volume.mount.mountId == mountId && !volume.gone)
            return index;
    }
    return std::nullopt;
}

void Watch::Arrive(const platform::MountEntry& mount) {
    if (HoldsADestination(mount)) {
        std::printf("[%s]: Not copied: it holds a folder the copies go to.\n",
                    Shown(mount.mountPoint).c_str());
        return;
    }
    const std::optional<int32_t> index = FreeDriveIndex();
    if (!index) {
        std::printf("[%s]: Not copied: %d volumes are being copied already.\n",
                    Shown(mount.mountPoint).c_str(), kDriveLetterCount - kFirstDriveIndex);
        return;
    }
    const wchar_t letter = DriveLetter(*index);
    HostPaths paths(letter, mount.mountPoint);
    {
        std::lock_guard guard(m_volumesLock);
        m_volumes.insert_or_assign(*index, WatchedVolume{mount, paths});
    }
    platform::posix::MapVolume(letter, mount.mountPoint);
    Settings settings = m_settings;
    settings.saveTo = m_saveTo.empty() ? std::wstring() : paths.EnginePath(m_saveTo);
    settings.alsoCopyTo = m_alsoCopyTo.empty() ? std::wstring() : paths.EnginePath(m_alsoCopyTo);
    m_arrivalOptions = RunOptionsFrom(settings);
    m_jobs.Attach(*index);
}

void Watch::Leave(const platform::MountEntry& mount) {
    const std::optional<int32_t> index = IndexOfMount(mount.mountId);
    if (!index)
        return;
    {
        std::lock_guard guard(m_volumesLock);
        m_volumes.at(*index).gone = true;
    }
    // As on Windows, a run in progress goes on: it names each file it can no longer read, and stops
    // when it sees that the volume at its place is no longer the one it began with.
    m_jobs.Detach(*index);
}

bool Watch::ReadMounts() {
    std::optional<std::vector<platform::MountEntry>> table = m_mounts.Read();
    if (!table)
        return false;
    const platform::MountChanges changes = platform::DiffWatchedVolumes(m_table, *table, m_folders);
    m_table = std::move(*table);
    for (const platform::MountEntry& mount : changes.removals)
        Leave(mount);
    for (const platform::MountEntry& mount : changes.arrivals)
        Arrive(mount);
    ShowReports();
    return true;
}

void Watch::ShowReports() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t taken = ::read(m_reportsReady.Get(), &count, sizeof count);
    const std::vector<QueuedReport> batch = m_host.Reports().TakeAll();
    for (const QueuedReport& report : batch) {
        if (report.kind == QueuedReport::Kind::LogLine && report.level <= m_level)
            std::printf("%s\n", Prefixed(report.driveIndex, report.text).c_str());
    }
    std::fflush(stdout);
    m_host.Reports().MarkShown();
    ReleaseEndedVolumes();
}

// A volume that is gone and whose job has ended gives its letter back.
void Watch::ReleaseEndedVolumes() {
    std::vector<int32_t> ended;
    {
        std::lock_guard guard(m_volumesLock);
        for (const auto& [index, volume] : m_volumes) {
            if (volume.gone)
                ended.push_back(index);
        }
    }
    for (int32_t index : ended) {
        if (!m_jobs.Job(index).JoinIfEnded())
            continue;
        platform::posix::UnmapDrive(DriveLetter(index));
        std::lock_guard guard(m_volumesLock);
        m_volumes.erase(index);
    }
}

bool Watch::AnyJobRunning() {
    for (int32_t index = 0; index < kDriveLetterCount; ++index) {
        if (!m_jobs.Job(index).JoinIfEnded())
            return true;
    }
    return false;
}

int Watch::Run() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    platform::posix::FileDescriptor stopRequests(::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!m_mounts.IsOpen() || !m_reportsReady.IsOpen() || !stopRequests.IsOpen()) {
        std::fprintf(stderr, "harvex: the mount table cannot be watched\n");
        return kExitProblems;
    }
    std::string watched;
    for (const std::string& folder : m_folders)
        watched += (watched.empty() ? "" : ", ") + folder;
    std::printf("Watching %s\n", watched.c_str());
    if (!ReadMounts())
        return kExitProblems;
    bool stopping = false;
    while (!stopping || AnyJobRunning()) {
        std::array<pollfd, 3> waits = {{{m_mounts.Descriptor(), POLLPRI | POLLERR, 0},
                                        {m_reportsReady.Get(), POLLIN, 0},
                                        {stopRequests.Get(), POLLIN, 0}}};
        if (::poll(waits.data(), waits.size(), -1) < 0)
            continue;
        signalfd_siginfo signal{};
        const bool stopRequested =
            waits[2].revents & POLLIN && ::read(stopRequests.Get(), &signal, sizeof signal) == sizeof signal;
        if (stopRequested && !stopping) {
            stopping = true;
            m_jobs.Close();
            std::printf("Stopping: every copy in progress is stopped.\n");
        }
        if (waits[0].revents & (POLLPRI | POLLERR) && !stopping)
            ReadMounts();
        ShowReports();
    }
    ShowReports();
    m_host.Reports().Close();
    return kExitDone;
}

enum Option { kFolder = 1000 };

constexpr std::array<option, 2> kOptions = {{
    {"folder", required_argument, nullptr, kFolder},
    {nullptr, 0, nullptr, 0},
}};

} // namespace

int RunWatchCommand(int argc, char** argv) {
    const Command& self = *CommandNamed("watch");
    std::vector<std::string> folders;
    optind = 1;
    opterr = 1;
    for (int option; (option = getopt_long(argc, argv, "", kOptions.data(), nullptr)) != -1;) {
        if (option != kFolder)
            return UsageError(nullptr, &self);
        folders.push_back(AbsoluteHostPath(optarg));
    }
    if (optind != argc)
        return UsageError("watch takes no SOURCE: it copies what is mounted under the watched folders",
                          &self);
    Settings settings;
    std::string error;
    if (!LoadConfigFile(settings, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUsage;
    }
    if (settings.saveTo.empty())
        return UsageError("no folder to copy to: give \"Save to\" in the settings file", &self);
    // Before any thread starts, so that every thread leaves SIGINT and SIGTERM to the signalfd.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    ::signal(SIGCHLD, SIG_IGN);
    Watch watch(std::move(settings), folders.empty() ? DefaultWatchedFolders() : std::move(folders));
    return watch.Run();
}
