#include "platform/MountWatch.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>

namespace platform {
namespace {

constexpr char kMountInfo[] = "/proc/self/mountinfo";

// The whole file from its start: the kernel builds it afresh on each read from offset 0.
std::optional<std::string> ReadWhole(int fd) {
    std::string text;
    char buffer[16384];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return text;
        text.append(buffer, static_cast<size_t>(got));
        offset += got;
    }
}

} // namespace

std::optional<std::vector<MountEntry>> ReadMountTable() {
    posix::FileDescriptor fd(::open(kMountInfo, O_RDONLY | O_CLOEXEC));
    if (!fd.IsOpen())
        return std::nullopt;
    auto text = ReadWhole(fd.Get());
    if (!text)
        return std::nullopt;
    return ParseMountInfo(*text);
}

MountWatch::MountWatch()
    : m_table(::open(kMountInfo, O_RDONLY | O_CLOEXEC)), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

std::optional<std::vector<MountEntry>> MountWatch::Read() {
    auto text = ReadWhole(m_table.Get());
    if (!text)
        return std::nullopt;
    return ParseMountInfo(*text);
}

MountWatch::Event MountWatch::Wait() {
    pollfd fds[2] = {{m_table.Get(), POLLPRI | POLLERR, 0}, {m_wake.Get(), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Event::Failed;
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t taken = ::read(m_wake.Get(), &count, sizeof count);
            return Event::Woken;
        }
        if (fds[0].revents & (POLLPRI | POLLERR))
            return Event::Changed;
        if (fds[0].revents & POLLNVAL)
            return Event::Failed;
    }
}

void MountWatch::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake.Get(), &one, sizeof one);
}

} // namespace platform
