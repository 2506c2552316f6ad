#include "platform/DriveMap_posix.h"
#include "platform/Drives.h"
#include "platform/Text.h"

#include <map>
#include <mutex>
#include <string_view>

namespace platform::posix {
namespace {

struct DriveMap {
    std::mutex lock;
    std::map<wchar_t, std::string> folders; // by upper-case letter
};

DriveMap& TheDriveMap() {
    static DriveMap map;
    return map;
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

} // namespace

std::optional<wchar_t> UpperLetter(wchar_t c) {
    if (c >= L'a' && c <= L'z')
        return static_cast<wchar_t>(c - L'a' + L'A');
    if (c >= L'A' && c <= L'Z')
        return c;
    return std::nullopt;
}

std::optional<wchar_t> RootLetter(const std::wstring& root) {
    auto letter = LeadingLetter(root);
    if (!letter)
        return std::nullopt;
    if (root.size() == 2 || (root.size() == 3 && IsSeparator(root[2])))
        return letter;
    return std::nullopt;
}

void MapFolder(wchar_t upperLetter, const std::string& folder) {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    map.folders[upperLetter] = folder;
}

void UnmapFolder(wchar_t upperLetter) {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    map.folders.erase(upperLetter);
}

void UnmapAllFolders() {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    map.folders.clear();
}

std::optional<std::string> MappedFolder(wchar_t upperLetter) {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    auto it = map.folders.find(upperLetter);
    if (it == map.folders.end())
        return std::nullopt;
    return it->second;
}

std::vector<wchar_t> MappedLetters() {
    DriveMap& map = TheDriveMap();
    std::lock_guard guard(map.lock);
    std::vector<wchar_t> letters;
    for (const auto& [letter, folder] : map.folders)
        letters.push_back(letter);
    return letters;
}

std::string HostPath(const std::wstring& path) {
    auto letter = LeadingLetter(path);
    std::optional<std::string> folder = letter ? MappedFolder(*letter) : std::nullopt;
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

} // namespace platform::posix
