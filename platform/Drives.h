#pragma once
// Drive letters and volumes. Roots are "E:\", device paths "\\.\E:".
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

inline constexpr uint32_t kDriveUnknown = 0;
inline constexpr uint32_t kDriveNoRootDir = 1;
inline constexpr uint32_t kDriveRemovable = 2;
inline constexpr uint32_t kDriveFixed = 3;
inline constexpr uint32_t kDriveRemote = 4;
inline constexpr uint32_t kDriveCdRom = 5;
inline constexpr uint32_t kDriveRamdisk = 6;

// The present roots in the platform's order (GetLogicalDriveStringsW); empty when the call fails.
std::vector<std::wstring> LogicalDriveRoots();
// The platform's drive type of a root, unfiltered (GetDriveTypeW).
uint32_t DriveType(const std::wstring& root);
// The volume label (GetVolumeInformationW); false when the query fails.
bool VolumeLabel(const std::wstring& root, std::wstring& label);
// The volume serial number (GetVolumeInformationW); false when the query fails.
bool VolumeSerial(const std::wstring& root, uint32_t& serial);
// Total bytes and total free bytes of the volume (GetDiskFreeSpaceExW), free space that quotas or
// reserved blocks keep from the caller included: total - free is the space in use.
bool DiskSpace(const std::wstring& root, uint64_t& totalBytes, uint64_t& freeBytes);
// Sends IOCTL_STORAGE_EJECT_MEDIA to a device path ("\\.\E:").
bool EjectMedia(const std::wstring& devicePath);

// What tells one volume from another at the same letter: its serial number and label.
struct VolumeIdentity {
    uint32_t serial = 0;
    std::wstring label;
    bool operator==(const VolumeIdentity&) const = default;
};
// The identity of the volume now at root (GetVolumeInformationW); false when the query fails.
bool GetVolumeIdentity(const std::wstring& root, VolumeIdentity& identity);

#if !defined(_WIN32)
// Without Windows a letter stands for a host folder; the Linux volume layer answers each query from
// the file system mounted there (the mount holding the folder): type from its device, label and
// serial number from its file system (libblkid, or udev's /dev/disk links), space from statvfs.
namespace posix {
// The letter stands for the volume mounted at folder (or the one holding it).
void MapVolume(wchar_t letter, const std::string& folder);
void UnmapDrive(wchar_t letter);
void UnmapAllDrives();
// The host path of a Windows-style path: "X:\a\b" through the drive map, anything else with its
// backslashes turned into slashes.
std::string HostPath(const std::wstring& path);

// The tests' stand-in (platform/testing, linked into test programs only): a letter stands for any
// folder with the type and label given here; its serial number is derived from the folder unless
// set. MapVolume there maps a removable drive without a label.
void MapDrive(wchar_t letter, const std::string& folder, uint32_t type, const std::wstring& label = L"");
void SetDriveSerial(wchar_t letter, uint32_t serial);
// Makes LogicalDriveRoots fail, as GetLogicalDriveStringsW can.
void SetDriveListBroken(bool broken);
} // namespace posix
#endif

} // namespace platform
