#include "platform/MountWatch.h"

#include <cerrno>
#include <fcntl.h>
#include <string>

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

MountWatch::MountWatch() : m_table(::open(kMountInfo, O_RDONLY | O_CLOEXEC)) {}

std::optional<std::vector<MountEntry>> MountWatch::Read() {
    auto text = ReadWhole(m_table.Get());
    if (!text)
        return std::nullopt;
    return ParseMountInfo(*text);
}

} // namespace platform
