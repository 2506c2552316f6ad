#include "platform/MountTable.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace platform {
namespace {

bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        const size_t end = std::min(line.find(' ', at), line.size());
        if (end > at)
            fields.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return fields;
}

bool ReadNumber(std::string_view text, uint32_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ReadDevice(std::string_view text, uint32_t& major, uint32_t& minor) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    return ReadNumber(text.substr(0, colon), major) && ReadNumber(text.substr(colon + 1), minor);
}

// "36 35 98:0 /root /mount/point rw,noatime master:1 - ext3 /dev/root rw": the optional fields
// before " - " vary in number.
std::optional<MountEntry> ParseLine(std::string_view line) {
    const std::vector<std::string_view> fields = SplitFields(line);
    const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
    if (dash - fields.begin() < 6 || fields.end() - dash < 3)
        return std::nullopt;
    MountEntry entry;
    if (!ReadNumber(fields[0], entry.mountId) || !ReadNumber(fields[1], entry.parentId) ||
        !ReadDevice(fields[2], entry.major, entry.minor))
        return std::nullopt;
    entry.root = UnescapeMountField(fields[3]);
    entry.mountPoint = UnescapeMountField(fields[4]);
    entry.fsType = UnescapeMountField(dash[1]);
    entry.source = UnescapeMountField(dash[2]);
    return entry;
}

std::string_view WithoutTrailingSlashes(std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    return folder;
}

bool IsStrictlyBeneath(std::string_view path, std::string_view folder) {
    folder = WithoutTrailingSlashes(folder);
    return path.size() != folder.size() && IsAtOrBeneath(path, folder);
}

bool IsWatchedVolume(const MountEntry& entry, const std::vector<std::string>& watchedFolders) {
    if (IsSystemFileSystem(entry.fsType))
        return false;
    const auto isWatchedFolder = [&](const std::string& folder) {
        return entry.mountPoint == WithoutTrailingSlashes(folder);
    };
    if (std::any_of(watchedFolders.begin(), watchedFolders.end(), isWatchedFolder))
        return false;
    return std::any_of(watchedFolders.begin(), watchedFolders.end(), [&](const std::string& folder) {
        return IsStrictlyBeneath(entry.mountPoint, folder);
    });
}

bool HasMountId(const std::vector<MountEntry>& table, uint32_t mountId) {
    return std::any_of(table.begin(), table.end(),
                       [mountId](const MountEntry& entry) { return entry.mountId == mountId; });
}

} // namespace

std::string UnescapeMountField(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (size_t at = 0; at < field.size(); ++at) {
        if (field[at] == '\\' && at + 3 < field.size() && IsOctalDigit(field[at + 1]) &&
            IsOctalDigit(field[at + 2]) && IsOctalDigit(field[at + 3])) {
            text += static_cast<char>(((field[at + 1] - '0') << 6) | ((field[at + 2] - '0') << 3) |
                                      (field[at + 3] - '0'));
            at += 3;
            continue;
        }
        text += field[at];
    }
    return text;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> table;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        if (auto entry = ParseLine(text.substr(at, end - at)))
            table.push_back(std::move(*entry));
        at = end + 1;
    }
    return table;
}

bool IsAtOrBeneath(std::string_view path, std::string_view folder) {
    folder = WithoutTrailingSlashes(folder);
    if (path.substr(0, folder.size()) != folder)
        return false;
    if (path.size() == folder.size() || folder == "/")
        return true;
    return path[folder.size()] == '/';
}

std::optional<MountEntry> MountHolding(const std::vector<MountEntry>& table, std::string_view path) {
    const MountEntry* holding = nullptr;
    for (const MountEntry& entry : table) {
        if (!IsAtOrBeneath(path, entry.mountPoint))
            continue;
        if (!holding || entry.mountPoint.size() >= holding->mountPoint.size())
            holding = &entry;
    }
    if (!holding)
        return std::nullopt;
    return *holding;
}

bool IsSystemFileSystem(std::string_view fsType) {
    static constexpr std::array<std::string_view, 22> kSystem = {
        "autofs",   "binfmt_misc", "bpf",        "cgroup",    "cgroup2", "configfs", "debugfs", "devpts",
        "devtmpfs", "efivarfs",    "fusectl",    "hugetlbfs", "mqueue",  "nsfs",     "proc",    "pstore",
        "ramfs",    "rpc_pipefs",  "securityfs", "selinuxfs", "sysfs",   "tracefs"};
    return std::find(kSystem.begin(), kSystem.end(), fsType) != kSystem.end();
}

std::vector<MountEntry> WatchedVolumes(const std::vector<MountEntry>& table,
                                       const std::vector<std::string>& watchedFolders) {
    std::vector<MountEntry> candidates;
    for (const MountEntry& entry : table) {
        if (IsWatchedVolume(entry, watchedFolders))
            candidates.push_back(entry);
    }
    std::vector<MountEntry> volumes;
    for (const MountEntry& entry : candidates) {
        const bool insideAnother =
            std::any_of(candidates.begin(), candidates.end(), [&](const MountEntry& other) {
                return IsStrictlyBeneath(entry.mountPoint, other.mountPoint);
            });
        if (!insideAnother)
            volumes.push_back(entry);
    }
    return volumes;
}

MountChanges DiffWatchedVolumes(const std::vector<MountEntry>& before, const std::vector<MountEntry>& after,
                                const std::vector<std::string>& watchedFolders) {
    const std::vector<MountEntry> was = WatchedVolumes(before, watchedFolders);
    const std::vector<MountEntry> is = WatchedVolumes(after, watchedFolders);
    MountChanges changes;
    for (const MountEntry& entry : was) {
        if (!HasMountId(is, entry.mountId))
            changes.removals.push_back(entry);
    }
    for (const MountEntry& entry : is) {
        if (!HasMountId(was, entry.mountId))
            changes.arrivals.push_back(entry);
    }
    return changes;
}

std::string UnescapeUdevName(std::string_view name) {
    std::string text;
    text.reserve(name.size());
    for (size_t at = 0; at < name.size(); ++at) {
        uint32_t value = 0;
        const bool escape = name.substr(at, 2) == "\\x" && at + 3 < name.size() &&
                            std::from_chars(name.data() + at + 2, name.data() + at + 4, value, 16).ptr ==
                                name.data() + at + 4;
        if (escape) {
            text += static_cast<char>(value);
            at += 3;
            continue;
        }
        text += name[at];
    }
    return text;
}

uint32_t Fnv1a(std::string_view text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

uint32_t SerialOfUuid(std::string_view uuid) {
    uint32_t high = 0;
    uint32_t low = 0;
    const bool fatLike = uuid.size() == 9 && uuid[4] == '-';
    if (fatLike) {
        const auto first = std::from_chars(uuid.data(), uuid.data() + 4, high, 16);
        const auto second = std::from_chars(uuid.data() + 5, uuid.data() + 9, low, 16);
        if (first.ptr == uuid.data() + 4 && second.ptr == uuid.data() + 9)
            return (high << 16) | low;
    }
    return Fnv1a(uuid);
}

} // namespace platform
