#pragma once
// Linux: the mount table read from /proc/self/mountinfo, and a wait for its next change. The kernel
// flags the file with POLLPRI | POLLERR after every mount and unmount, so the wait sleeps in poll()
// until then; Wake() ends a wait from another thread or a signal handler.
#if !defined(_WIN32)
#include "platform/MountTable.h"
#include "platform/PosixFiles_posix.h"

#include <optional>
#include <vector>

namespace platform {

// The table as it stands; none when /proc/self/mountinfo cannot be read.
std::optional<std::vector<MountEntry>> ReadMountTable();

class MountWatch {
public:
    MountWatch();
    MountWatch(const MountWatch&) = delete;
    MountWatch& operator=(const MountWatch&) = delete;

    // False when the table or the wake-up channel could not be opened.
    bool IsOpen() const { return m_table.IsOpen() && m_wake.IsOpen(); }

    // The table as it stands.
    std::optional<std::vector<MountEntry>> Read();

    enum class Event { Changed, Woken, Failed };
    // Sleeps until the table changes or Wake is called. A change since the watch was made or the
    // last wait returned is reported at once, so a Read before each wait misses nothing.
    Event Wait();
    // Async-signal-safe.
    void Wake();

private:
    posix::FileDescriptor m_table;
    posix::FileDescriptor m_wake;
};

} // namespace platform
#endif
