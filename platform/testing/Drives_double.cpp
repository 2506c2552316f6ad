// The tests' stand-in for the volume layer: a letter stands for any folder, with the drive type,
// label and serial number the test gives it. Linked into the test programs in place of the Linux
// volume layer (Drives_linux.cpp), which asks the mounted file system instead.
#include "platform/DriveMap_posix.h"
#include "platform/Drives.h"
#include "platform/MountTable.h"

#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace platform {
namespace {

struct DriveDouble {
    uint32_t type = kDriveUnknown;
    std::wstring label;
    std::optional<uint32_t> serial;
};

struct Doubles {
    std::mutex lock;
    std::map<wchar_t, DriveDouble> drives; // by upper-case letter
    bool listBroken = false;
};

Doubles& TheDoubles() {
    static Doubles doubles;
    return doubles;
}

std::optional<DriveDouble> FindDouble(wchar_t letter) {
    Doubles& doubles = TheDoubles();
    std::lock_guard guard(doubles.lock);
    auto it = doubles.drives.find(letter);
    if (it == doubles.drives.end())
        return std::nullopt;
    return it->second;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct PresentDrive {
    std::string folder;
    DriveDouble drive;
};

// The drive mapped at root while its folder is there. A mapped letter whose folder is gone behaves
// like an empty CD drive: every volume query fails.
std::optional<PresentDrive> FindPresentDrive(const std::wstring& root) {
    auto letter = posix::RootLetter(root);
    if (!letter)
        return std::nullopt;
    auto folder = posix::MappedFolder(*letter);
    auto drive = FindDouble(*letter);
    if (!folder || !drive || !IsFolder(*folder))
        return std::nullopt;
    return PresentDrive{std::move(*folder), std::move(*drive)};
}

} // namespace

std::vector<std::wstring> LogicalDriveRoots() {
    std::vector<std::wstring> roots;
    {
        Doubles& doubles = TheDoubles();
        std::lock_guard guard(doubles.lock);
        if (doubles.listBroken)
            return roots;
    }
    for (wchar_t letter : posix::MappedLetters())
        roots.push_back(std::wstring{letter, L':', L'\\'});
    return roots;
}

uint32_t DriveType(const std::wstring& root) {
    auto letter = posix::RootLetter(root);
    if (!letter)
        return kDriveNoRootDir;
    auto drive = FindDouble(*letter);
    return drive ? drive->type : kDriveNoRootDir;
}

bool VolumeLabel(const std::wstring& root, std::wstring& label) {
    auto present = FindPresentDrive(root);
    if (!present)
        return false;
    label = present->drive.label;
    return true;
}

bool VolumeSerial(const std::wstring& root, uint32_t& serial) {
    auto present = FindPresentDrive(root);
    if (!present)
        return false;
    // Derived from the folder unless set: the same folder is the same volume from run to run.
    serial = present->drive.serial ? *present->drive.serial : Fnv1a(present->folder);
    return true;
}

bool GetVolumeIdentity(const std::wstring& root, VolumeIdentity& identity) {
    return VolumeSerial(root, identity.serial) && VolumeLabel(root, identity.label);
}

namespace posix {

void MapDrive(wchar_t letter, const std::string& folder, uint32_t type, const std::wstring& label) {
    auto upper = UpperLetter(letter);
    if (!upper)
        return;
    Doubles& doubles = TheDoubles();
    std::lock_guard guard(doubles.lock);
    MapFolder(*upper, folder);
    doubles.drives[*upper] = DriveDouble{type, label, std::nullopt};
}

void MapVolume(wchar_t letter, const std::string& folder) {
    MapDrive(letter, folder, kDriveRemovable);
}

void SetDriveSerial(wchar_t letter, uint32_t serial) {
    auto upper = UpperLetter(letter);
    if (!upper)
        return;
    Doubles& doubles = TheDoubles();
    std::lock_guard guard(doubles.lock);
    auto found = doubles.drives.find(*upper);
    if (found != doubles.drives.end())
        found->second.serial = serial;
}

void UnmapDrive(wchar_t letter) {
    auto upper = UpperLetter(letter);
    if (!upper)
        return;
    Doubles& doubles = TheDoubles();
    std::lock_guard guard(doubles.lock);
    UnmapFolder(*upper);
    doubles.drives.erase(*upper);
}

void UnmapAllDrives() {
    Doubles& doubles = TheDoubles();
    std::lock_guard guard(doubles.lock);
    UnmapAllFolders();
    doubles.drives.clear();
    doubles.listBroken = false;
}

void SetDriveListBroken(bool broken) {
    Doubles& doubles = TheDoubles();
    std::lock_guard guard(doubles.lock);
    doubles.listBroken = broken;
}

} // namespace posix
} // namespace platform
