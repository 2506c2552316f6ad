// Drive letters without Windows: a process-wide map from a letter to a host folder, with the
// drive type and label the letter reports. Tests and the Linux build fill it through MapDrive.
#include "platform/Drives.h"
#include "platform/Text.h"

#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace platform {
namespace {

struct MappedDrive {
    std::string folder;
    uint32_t type = kDriveUnknown;
    std::wstring label;
    std::optional<uint32_t> serial;
};

// FNV-1a of the folder: the same folder is the same volume from one run of the program to the next.
uint32_t SerialOfFolder(const std::string& folder) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : folder) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

struct DriveMap {
    std::mutex lock;
    std::map<wchar_t, MappedDrive> drives; // by upper-case letter
    bool listBroken = false;
};

DriveMap& TheDriveMap() {
    static DriveMap map;
    return map;
}

std::optional<wchar_t> UpperLetter(wchar_t c) {
    if (c >= L'a' && c <= L'z')
        return static_cast<wchar_t>(c - L'a' + L'A');
    if (c >= L'A' && c <= L'Z')
        return c;
    return std::nullopt;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The letter of a path that starts with "X:", if any.
std::optional<wchar_t> LeadingLetter(const std::wstring& path) {
    if (path.size() < 2 || path[1] != L':')
        return std::nullopt;
    return UpperLetter(path[0]);
}

// The letter of a root ("E:\", "E:" or "E:/"); anything longer is not a root.
std::optional<wchar_t> RootLetter(const std::wstring& root) {
    auto letter = LeadingLetter(root);
    if (!letter)
        return std::nullopt;
    if (root.size() == 2 || (root.size() == 3 && IsSeparator(root[2])))
        return letter;
    return std::nullopt;
}

std::optional<MappedDrive> FindDrive(wchar_t letter) {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    auto it = map.drives.find(letter);
    if (it == map.drives.end())
        return std::nullopt;
    return it->second;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// U+F05C in UTF-8: a backslash that belongs to a host name (Files.h).
constexpr std::string_view kHostBackslashUtf8 = "\xEF\x81\x9C";

// Backslashes become slashes and runs of separators become one, so "E:\" joined with "\*"
// does not produce an empty path component; a name's own backslash becomes a backslash again.
// In place: every path of every file operation comes through here.
std::string SlashesCollapsed(std::string path) {
    size_t kept = 0;
    for (size_t at = 0; at < path.size(); ++at) {
        const char c = path[at] == '\\' ? '/' : path[at];
        if (c == '/' && kept > 0 && path[kept - 1] == '/')
            continue;
        path[kept++] = c;
    }
    path.resize(kept);
    for (size_t at = path.find(kHostBackslashUtf8); at != std::string::npos;
         at = path.find(kHostBackslashUtf8, at + 1))
        path.replace(at, kHostBackslashUtf8.size(), 1, '\\');
    return path;
}

// The folder a letter is mapped to, without copying the rest of its record.
std::optional<std::string> FolderOfDrive(wchar_t letter) {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    auto it = map.drives.find(letter);
    if (it == map.drives.end())
        return std::nullopt;
    return it->second.folder;
}

} // namespace

std::vector<std::wstring> LogicalDriveRoots() {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    std::vector<std::wstring> roots;
    if (map.listBroken)
        return roots;
    for (const auto& [letter, drive] : map.drives)
        roots.push_back(std::wstring{letter, L':', L'\\'});
    return roots;
}

uint32_t DriveType(const std::wstring& root) {
    auto letter = RootLetter(root);
    if (!letter)
        return kDriveNoRootDir;
    auto drive = FindDrive(*letter);
    return drive ? drive->type : kDriveNoRootDir;
}

namespace {

// The drive mapped at root while its folder is there. A mapped letter whose folder is gone behaves
// like an empty CD drive: every volume query fails.
std::optional<MappedDrive> PresentDrive(const std::wstring& root) {
    auto letter = RootLetter(root);
    if (!letter)
        return std::nullopt;
    auto drive = FindDrive(*letter);
    if (!drive || !IsFolder(drive->folder))
        return std::nullopt;
    return drive;
}

} // namespace

bool VolumeLabel(const std::wstring& root, std::wstring& label) {
    auto drive = PresentDrive(root);
    if (!drive)
        return false;
    label = drive->label;
    return true;
}

bool VolumeSerial(const std::wstring& root, uint32_t& serial) {
    auto drive = PresentDrive(root);
    if (!drive)
        return false;
    serial = drive->serial ? *drive->serial : SerialOfFolder(drive->folder);
    return true;
}

bool GetVolumeIdentity(const std::wstring& root, VolumeIdentity& identity) {
    return VolumeSerial(root, identity.serial) && VolumeLabel(root, identity.label);
}

bool DiskSpace(const std::wstring& root, uint64_t& totalBytes, uint64_t& freeBytes) {
    auto letter = RootLetter(root);
    if (!letter)
        return false;
    auto drive = FindDrive(*letter);
    if (!drive)
        return false;
    struct statvfs info {};
    if (::statvfs(drive->folder.c_str(), &info) != 0)
        return false;
    totalBytes = static_cast<uint64_t>(info.f_blocks) * info.f_frsize;
    freeBytes = static_cast<uint64_t>(info.f_bfree) * info.f_frsize;
    return true;
}

bool EjectMedia(const std::wstring&) {
    return false;
}

namespace posix {

void MapDrive(wchar_t letter, const std::string& folder, uint32_t type, const std::wstring& label) {
    auto upper = UpperLetter(letter);
    if (!upper)
        return;
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    map.drives[*upper] = MappedDrive{folder, type, label, std::nullopt};
}

void SetDriveSerial(wchar_t letter, uint32_t serial) {
    auto upper = UpperLetter(letter);
    if (!upper)
        return;
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    auto found = map.drives.find(*upper);
    if (found != map.drives.end())
        found->second.serial = serial;
}

void UnmapDrive(wchar_t letter) {
    auto upper = UpperLetter(letter);
    if (!upper)
        return;
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    map.drives.erase(*upper);
}

void UnmapAllDrives() {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    map.drives.clear();
    map.listBroken = false;
}

void SetDriveListBroken(bool broken) {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    map.listBroken = broken;
}

std::string HostPath(const std::wstring& path) {
    auto letter = LeadingLetter(path);
    std::optional<std::string> folder = letter ? FolderOfDrive(*letter) : std::nullopt;
    if (!folder)
        return SlashesCollapsed(ToHostName(path));
    const std::wstring_view rest = std::wstring_view(path).substr(2);
    if (rest.empty() || rest == L"\\" || rest == L"/")
        return std::move(*folder);
    // "E:a" (relative to the drive's current folder) is taken from the drive's root.
    std::string joined = std::move(*folder);
    joined += '/';
    joined += ToHostName(rest);
    return SlashesCollapsed(std::move(joined));
}

} // namespace posix
} // namespace platform
