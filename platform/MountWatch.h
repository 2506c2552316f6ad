#pragma once
// Linux: the mount table read from /proc/self/mountinfo, and a way to sleep until it changes. The
// kernel flags an open mountinfo file with POLLPRI | POLLERR after every mount and unmount since it
// was opened or last polled, so a caller poll()s the watch's descriptor for those and reads the
// table again when woken; a change between two polls is never lost.
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

    bool IsOpen() const { return m_table.IsOpen(); }
    // Poll it for POLLPRI | POLLERR: set once the table has changed.
    int Descriptor() const { return m_table.Get(); }
    // The table as it stands.
    std::optional<std::vector<MountEntry>> Read();

private:
    posix::FileDescriptor m_table;
};

} // namespace platform
#endif
