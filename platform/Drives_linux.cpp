// Linux volumes: a letter stands for a folder, and every query is answered by the file system
// mounted there (the mount that holds the folder, read from /proc/self/mountinfo). A file system
// on a block device is known by its UUID and label (libblkid, or udev's /dev/disk links for a
// user who may not read the device); one without a device (tmpfs, a FUSE view of no device, a
// network share) by its type, source, device number and mount id, so that it is another volume
// when mounted again, and has no label.
#include "platform/DriveMap_posix.h"
#include "platform/Drives.h"
#include "platform/MountWatch.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <blkid/blkid.h>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform {
namespace {

constexpr uint32_t kScsiCdRomMajor = 11;

struct MountedVolume {
    std::string folder; // as mapped
    MountEntry mount;
    std::optional<dev_t> blockDevice;
};

std::optional<std::string> RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real)
        return std::nullopt;
    return std::string(real.get());
}

std::optional<dev_t> BlockDeviceOf(const std::string& source) {
    struct stat info {};
    if (source.empty() || source[0] != '/' || ::stat(source.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
        return std::nullopt;
    return info.st_rdev;
}

// The volume of a mapped root while its folder is there; none for a letter that is not mapped or
// whose folder is gone (as an empty drive, every volume query then fails).
std::optional<MountedVolume> FindVolume(const std::wstring& root) {
    auto letter = posix::RootLetter(root);
    auto folder = letter ? posix::MappedFolder(*letter) : std::nullopt;
    if (!folder)
        return std::nullopt;
    auto real = RealPath(*folder);
    struct stat info {};
    if (!real || ::stat(real->c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    auto table = ReadMountTable();
    auto mount = table ? MountHolding(*table, *real) : std::nullopt;
    if (!mount)
        return std::nullopt;
    auto device = BlockDeviceOf(mount->source);
    return MountedVolume{std::move(*folder), std::move(*mount), device};
}

struct FileSystemTags {
    std::string uuid;
    std::string label;
};

// UUID and label from the file system's superblock on its device. The run looks at its volume
// before each folder, so the probe tries the mounted type first (a few reads) and every known type
// only when that finds nothing (a FUSE mount, whose type names its program).
std::optional<FileSystemTags> ProbeTags(const std::string& device, const std::string& fsType) {
    std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(
        blkid_new_probe_from_filename(device.c_str()), &blkid_free_probe);
    if (!probe)
        return std::nullopt;
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL);
    char* onlyType[] = {const_cast<char*>(fsType.c_str()), nullptr};
    const bool filtered = blkid_probe_filter_superblocks_type(probe.get(), BLKID_FLTR_ONLYIN, onlyType) == 0;
    int found = blkid_do_safeprobe(probe.get());
    if (found != 0 && filtered) {
        blkid_probe_reset_superblocks_filter(probe.get());
        found = blkid_do_safeprobe(probe.get());
    }
    if (found != 0)
        return std::nullopt;
    FileSystemTags tags;
    const char* value = nullptr;
    if (blkid_probe_lookup_value(probe.get(), "UUID", &value, nullptr) == 0 && value)
        tags.uuid = value;
    if (blkid_probe_lookup_value(probe.get(), "LABEL", &value, nullptr) == 0 && value)
        tags.label = value;
    if (tags.uuid.empty())
        return std::nullopt;
    return tags;
}

// The name under folder of the link that leads to device, escapes undone; empty when none does.
std::string LinkNameOf(const char* folder, const std::string& device) {
    const auto close = [](DIR* opened) { ::closedir(opened); };
    std::unique_ptr<DIR, decltype(close)> links(::opendir(folder), close);
    if (!links)
        return std::string();
    while (const dirent* entry = ::readdir(links.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && RealPath(std::string(folder) + '/' + name) == device)
            return UnescapeUdevName(name);
    }
    return std::string();
}

// UUID and label as udev names them in /dev/disk: what a user who may not read the device (the
// systemd user service) can still learn.
std::optional<FileSystemTags> LinkedTags(const std::string& device) {
    const auto real = RealPath(device);
    if (!real)
        return std::nullopt;
    FileSystemTags tags{LinkNameOf("/dev/disk/by-uuid", *real), LinkNameOf("/dev/disk/by-label", *real)};
    if (tags.uuid.empty())
        return std::nullopt;
    return tags;
}

VolumeIdentity IdentityOf(const MountedVolume& volume) {
    if (volume.blockDevice) {
        auto tags = ProbeTags(volume.mount.source, volume.mount.fsType);
        if (!tags)
            tags = LinkedTags(volume.mount.source);
        if (tags)
            return VolumeIdentity{SerialOfUuid(tags->uuid), FromHostName(tags->label)};
    }
    const MountEntry& mount = volume.mount;
    const std::string without = mount.fsType + ' ' + mount.source + ' ' + std::to_string(mount.major) + ':' +
                                std::to_string(mount.minor) + ' ' + std::to_string(mount.mountId);
    return VolumeIdentity{Fnv1a(without), L""};
}

bool IsNetworkFileSystem(const std::string& fsType) {
    static constexpr std::array<std::string_view, 10> kNetwork = {
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "afs", "ceph", "fuse.sshfs", "fuse.rclone"};
    return std::find(kNetwork.begin(), kNetwork.end(), fsType) != kNetwork.end();
}

// The block device's "removable" flag, or its disk's for a partition.
bool IsRemovableDevice(dev_t device) {
    const std::string base =
        "/sys/dev/block/" + std::to_string(major(device)) + ':' + std::to_string(minor(device)) + '/';
    for (const char* flag : {"removable", "../removable"}) {
        std::ifstream file(base + flag);
        char value = 0;
        if (file >> value)
            return value == '1';
    }
    return false;
}

} // namespace

std::vector<std::wstring> LogicalDriveRoots() {
    std::vector<std::wstring> roots;
    for (wchar_t letter : posix::MappedLetters())
        roots.push_back(std::wstring{letter, L':', L'\\'});
    return roots;
}

uint32_t DriveType(const std::wstring& root) {
    auto volume = FindVolume(root);
    if (!volume)
        return kDriveNoRootDir;
    const std::string& fsType = volume->mount.fsType;
    if (IsNetworkFileSystem(fsType))
        return kDriveRemote;
    if (fsType == "tmpfs" || fsType == "ramfs")
        return kDriveRamdisk;
    if (!volume->blockDevice)
        return kDriveUnknown;
    if (major(*volume->blockDevice) == kScsiCdRomMajor)
        return kDriveCdRom;
    return IsRemovableDevice(*volume->blockDevice) ? kDriveRemovable : kDriveFixed;
}

bool GetVolumeIdentity(const std::wstring& root, VolumeIdentity& identity) {
    auto volume = FindVolume(root);
    if (!volume)
        return false;
    identity = IdentityOf(*volume);
    return true;
}

bool VolumeLabel(const std::wstring& root, std::wstring& label) {
    VolumeIdentity identity;
    if (!GetVolumeIdentity(root, identity))
        return false;
    label = identity.label;
    return true;
}

bool VolumeSerial(const std::wstring& root, uint32_t& serial) {
    VolumeIdentity identity;
    if (!GetVolumeIdentity(root, identity))
        return false;
    serial = identity.serial;
    return true;
}

namespace posix {

void MapVolume(wchar_t letter, const std::string& folder) {
    if (auto upper = UpperLetter(letter))
        MapFolder(*upper, folder);
}

void UnmapDrive(wchar_t letter) {
    if (auto upper = UpperLetter(letter))
        UnmapFolder(*upper);
}

void UnmapAllDrives() {
    UnmapAllFolders();
}

} // namespace posix
} // namespace platform
