#include "platform/Drives.h"

#include "platform/Handles_win.h"

#include <windows.h>
#include <winioctl.h>

namespace platform {
namespace {

// 26 roots of four characters ("C:\" and its NUL) and the final NUL.
constexpr DWORD kDriveStringsChars = 105;
// MAX_PATH plus one, the label buffer GetVolumeInformationW is given.
constexpr DWORD kVolumeLabelChars = 261;

} // namespace

std::vector<std::wstring> LogicalDriveRoots() {
    wchar_t buffer[kDriveStringsChars] = {};
    DWORD length = GetLogicalDriveStringsW(kDriveStringsChars, buffer);
    std::vector<std::wstring> roots;
    // 0 is a failure; a result larger than the buffer is the size it would need, with nothing filled.
    if (length == 0 || length >= kDriveStringsChars)
        return roots;
    for (DWORD pos = 0; pos < length && buffer[pos] != L'\0';) {
        std::wstring root(buffer + pos);
        pos += static_cast<DWORD>(root.size()) + 1;
        roots.push_back(std::move(root));
    }
    return roots;
}

uint32_t DriveType(const std::wstring& root) {
    return GetDriveTypeW(root.c_str());
}

bool VolumeLabel(const std::wstring& root, std::wstring& label) {
    wchar_t buffer[kVolumeLabelChars] = {};
    if (!GetVolumeInformationW(root.c_str(), buffer, kVolumeLabelChars, nullptr, nullptr, nullptr, nullptr,
                               0))
        return false;
    label = buffer;
    return true;
}

bool GetVolumeIdentity(const std::wstring& root, VolumeIdentity& identity) {
    wchar_t buffer[kVolumeLabelChars] = {};
    DWORD serial = 0;
    if (!GetVolumeInformationW(root.c_str(), buffer, kVolumeLabelChars, &serial, nullptr, nullptr, nullptr,
                               0))
        return false;
    identity.serial = serial;
    identity.label = buffer;
    return true;
}

bool VolumeSerial(const std::wstring& root, uint32_t& serial) {
    DWORD number = 0;
    if (!GetVolumeInformationW(root.c_str(), nullptr, 0, &number, nullptr, nullptr, nullptr, 0))
        return false;
    serial = number;
    return true;
}

bool DiskSpace(const std::wstring& root, uint64_t& totalBytes, uint64_t& freeBytes) {
    ULARGE_INTEGER freeToCaller{}, total{}, totalFree{};
    if (!GetDiskFreeSpaceExW(root.c_str(), &freeToCaller, &total, &totalFree))
        return false;
    totalBytes = total.QuadPart;
    freeBytes = totalFree.QuadPart;
    return true;
}

bool EjectMedia(const std::wstring& devicePath) {
    UniqueHandle device(CreateFileW(devicePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    if (!device.IsValid())
        return false;
    DWORD returned = 0;
    return DeviceIoControl(device.Get(), IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &returned,
                           nullptr) != 0;
}

} // namespace platform
