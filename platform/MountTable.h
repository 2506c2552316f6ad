#pragma once
// The system's mount table as Linux lists it in /proc/self/mountinfo, and what changed between two
// readings of it under the folders that removable volumes are mounted in. Portable: the decisions
// are tested everywhere; only reading the table and waiting for its changes is Linux's
// (MountWatch.h).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MountEntry {
    uint32_t mountId = 0;
    uint32_t parentId = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
    std::string root;       // the folder of the file system that is mounted here
    std::string mountPoint; // as the system names it, escapes undone
    std::string fsType;     // "ext4", "fuse.exfat-fuse"...
    std::string source;     // "/dev/sdb1", "none"...
    bool operator==(const MountEntry&) const = default;
};

// Undoes mountinfo's octal escapes ("\040" is a blank, "\134" a backslash); anything else stays.
std::string UnescapeMountField(std::string_view field);

// The entries of a mountinfo text in its order; a line that cannot be read is passed over.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The entry whose file system holds path (an absolute path without "." or ".." parts): the one with
// the longest mount point that contains it, and of those the last one listed (the one on top).
std::optional<MountEntry> MountHolding(const std::vector<MountEntry>& table, std::string_view path);

// Whether path is folder itself or lies beneath it, by whole components.
bool IsAtOrBeneath(std::string_view path, std::string_view folder);

// File systems the system itself mounts (proc, sysfs, cgroups, autofs placeholders...): never a
// volume of the user's, wherever they are mounted.
bool IsSystemFileSystem(std::string_view fsType);

// The mounts of a table that are volumes under the watched folders: beneath one of them and not one
// of them itself ("/media/me" is a watched folder in "/media" too), not a system file system, and
// not beneath another such mount (a volume's own mounts belong to it).
std::vector<MountEntry> WatchedVolumes(const std::vector<MountEntry>& table,
                                       const std::vector<std::string>& watchedFolders);

struct MountChanges {
    std::vector<MountEntry> removals; // in the order of the older table
    std::vector<MountEntry> arrivals; // in the order of the newer table
};

// What changed among the watched volumes from one table to the next. A mount is known by its id, so
// another volume mounted at the same place between two readings is a removal and an arrival.
MountChanges DiffWatchedVolumes(const std::vector<MountEntry>& before, const std::vector<MountEntry>& after,
                                const std::vector<std::string>& watchedFolders);

// A 32-bit serial number for a file system's UUID: the number itself for FAT's and exFAT's
// "ABCD-1234" (the serial Windows shows), a hash of the text for any other UUID.
uint32_t SerialOfUuid(std::string_view uuid);

// Undoes udev's escapes in the names of /dev/disk/by-label and by-uuid ("MY\x20CARD" is "MY CARD");
// anything else stays.
std::string UnescapeUdevName(std::string_view name);

// FNV-1a of a text: the same text gives the same number from one run of the program to the next.
uint32_t Fnv1a(std::string_view text);

} // namespace platform
