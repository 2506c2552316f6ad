// What a letter's volume answers alike in the Linux program and in the tests: its space is the
// space of the file system that holds the mapped folder, and nothing can be ejected.
#include "platform/DriveMap_posix.h"
#include "platform/Drives.h"

#include <optional>
#include <sys/statvfs.h>

namespace platform {

bool DiskSpace(const std::wstring& root, uint64_t& totalBytes, uint64_t& freeBytes) {
    auto letter = posix::RootLetter(root);
    auto folder = letter ? posix::MappedFolder(*letter) : std::nullopt;
    if (!folder)
        return false;
    struct statvfs info {};
    if (::statvfs(folder->c_str(), &info) != 0)
        return false;
    totalBytes = static_cast<uint64_t>(info.f_blocks) * info.f_frsize;
    freeBytes = static_cast<uint64_t>(info.f_bfree) * info.f_frsize;
    return true;
}

bool EjectMedia(const std::wstring&) {
    return false;
}

} // namespace platform
