#include "copy/CopyRecord.h"

#include "copy/ChecksumList.h"
#include "copy/WalkPaths.h"
#include "platform/Text.h"

#include <charconv>
#include <iterator>
#include <optional>

namespace {

// A record larger than this is not one of ours.
constexpr size_t kMaxRecordBytes = 256u << 20;

std::wstring WithBackslashes(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

std::wstring WithSlashes(std::wstring_view path) {
    std::wstring out(path);
    for (wchar_t& c : out) {
        if (c == L'\\')
            c = L'/';
    }
    return out;
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

template <typename T> bool ParseNumber(std::string_view text, T& value, int base = 10) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value, base);
    return error == std::errc() && stop == end;
}

// Splits off the text up to the next separator.
std::string_view TakeField(std::string_view& rest, char separator) {
    const size_t at = rest.find(separator);
    std::string_view field = rest.substr(0, at);
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
    return field;
}

// A name as the checksum list escapes it, and a tab as "\t": fields are split at tabs.
std::string EscapedRecordName(std::wstring_view path) {
    std::string text;
    for (char c : EscapeListName(platform::ToUtf8(WithSlashes(path))))
        text += c == '\t' ? std::string("\\t") : std::string(1, c);
    return text;
}

// The path a field names, with backslashes; nothing when the field is not one or leaves its folder.
std::optional<std::wstring> RecordPath(std::string_view field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size() && field[i + 1] == 't') {
            text += '\t';
            ++i;
            continue;
        }
        text += field[i];
        if (field[i] == '\\' && i + 1 < field.size())
            text += field[++i];
    }
    std::optional<std::string> name = UnescapeListName(text);
    if (!name)
        return std::nullopt;
    std::wstring path = WithBackslashes(platform::FromUtf8(*name));
    if (!IsPathInsideFolder(path))
        return std::nullopt;
    return path;
}

bool IsFolder(const std::wstring& path) {
    platform::FileInfo info;
    return platform::GetFileInfo(path, info) == platform::kSuccess &&
           (info.attributes & platform::kAttrDirectory) != 0 &&
           (info.attributes & platform::kAttrReparsePoint) == 0;
}

bool IsDigitAt(std::wstring_view text, size_t at) {
    return text[at] >= L'0' && text[at] <= L'9';
}

} // namespace

bool IsRunStemWithoutFolder(std::wstring_view stem) {
    constexpr std::wstring_view kForm = L"X 0000-00-00 00-00-00.000";
    if (stem.size() != kForm.size() || !((stem[0] >= L'A' && stem[0] <= L'Z') || stem[0] == L'_'))
        return false;
    for (size_t i = 1; i < kForm.size(); ++i) {
        if (kForm[i] == L'0' ? !IsDigitAt(stem, i) : stem[i] != kForm[i])
            return false;
    }
    return true;
}

std::string CopyRecordHeaderText(uint32_t serial, std::wstring_view folder) {
    std::string text =
        "# Harvex copy record: the files this run copied, for \"Copy only files not copied before\"\n";
    text += platform::ToUtf8(platform::Format(L"serial %08X\n", serial));
    text += "folder " + EscapeListName(platform::ToUtf8(folder)) + "\n";
    return text;
}

std::string CopyRecordLine(std::wstring_view relativePath, std::wstring_view copyPath, uint64_t size,
                           platform::FileTime lastWriteTime) {
    return std::to_string(size) + "\t" + std::to_string(lastWriteTime) + "\t" +
           EscapedRecordName(relativePath) + "\t" + EscapedRecordName(copyPath) + "\n";
}

EarlierCopies EarlierCopies::Load(const std::wstring& copyTo, uint32_t serial) {
    EarlierCopies copies;
    platform::ErrorCode error = platform::kSuccess;
    platform::FolderListing listing = platform::FolderListing::Open(ListingPattern(copyTo), error);
    platform::FolderEntry entry;
    while (listing.IsOpen() && listing.Next(entry, error)) {
        if ((entry.attributes & platform::kAttrDirectory) != 0 || entry.isLink ||
            !EndsWith(entry.name, kCopyRecordSuffix))
            continue;
        std::string text;
        if (platform::ReadSmallFile(JoinWalkPath(copyTo, entry.name), kMaxRecordBytes, text) ==
            platform::kSuccess)
            copies.AddRecord(copyTo, entry.name, serial, text);
    }
    return copies;
}

// The folder a record's copies are in: the folder line's, when the record is one Harvex wrote there.
std::optional<std::wstring> EarlierCopies::RecordBase(const std::wstring& copyTo,
                                                      std::wstring_view recordName,
                                                      std::string_view folderField) {
    const std::wstring_view stem =
        recordName.substr(0, recordName.size() - (std::size(kCopyRecordSuffix) - 1));
    auto folder = UnescapeListName(folderField);
    if (!folder)
        return std::nullopt;
    const std::wstring name = WithBackslashes(platform::FromUtf8(*folder));
    if (name.empty())
        return IsRunStemWithoutFolder(stem) ? std::optional<std::wstring>(copyTo) : std::nullopt;
    if (name != stem || !IsPathInsideFolder(name) || !IsFolder(JoinWalkPath(copyTo, name)))
        return std::nullopt;
    return JoinWalkPath(copyTo, name);
}

void EarlierCopies::AddRecord(const std::wstring& copyTo, std::wstring_view recordName, uint32_t serial,
                              std::string_view text) {
    if (!EndsWith(recordName, kCopyRecordSuffix))
        return;
    uint32_t recordSerial = 0;
    std::optional<std::wstring> base;
    bool haveSerial = false;
    while (!text.empty()) {
        std::string_view line = TakeField(text, '\n');
        if (line.empty() || line[0] == '#')
            continue;
        if (line.rfind("serial ", 0) == 0) {
            haveSerial = ParseNumber(line.substr(7), recordSerial, 16);
            if (!haveSerial || recordSerial != serial)
                return; // another volume's record, or not a record at all
            continue;
        }
        if (line.rfind("folder ", 0) == 0) {
            base = RecordBase(copyTo, recordName, line.substr(7));
            if (!base)
                return; // not a record Harvex wrote here, or one that points outside "Copy to"
            continue;
        }
        if (!haveSerial || !base)
            return;
        AddLine(*base, line);
    }
}

// "size, time, path[, copy's path]"; a line not in that form is passed over.
void EarlierCopies::AddLine(const std::wstring& base, std::string_view line) {
    Copy copy;
    std::string_view rest = line;
    if (!ParseNumber(TakeField(rest, '\t'), copy.size) ||
        !ParseNumber(TakeField(rest, '\t'), copy.lastWriteTime))
        return;
    const std::string_view pathField = TakeField(rest, '\t');
    const std::string_view copyField = rest.empty() ? pathField : TakeField(rest, '\t');
    if (!rest.empty())
        return;
    std::optional<std::wstring> relative = RecordPath(pathField);
    std::optional<std::wstring> copyPath = RecordPath(copyField);
    if (!relative || !copyPath)
        return;
    copy.path = JoinWalkPath(base, *copyPath);
    m_byPath[platform::AsciiUpper(*relative)].push_back(std::move(copy));
}

bool EarlierCopies::CopiedBefore(std::wstring_view relativePath, uint64_t size,
                                 platform::FileTime lastWriteTime) const {
    auto found = m_byPath.find(platform::AsciiUpper(relativePath));
    if (found == m_byPath.end())
        return false;
    for (const Copy& copy : found->second) {
        if (copy.size != size || copy.lastWriteTime != lastWriteTime)
            continue;
        platform::FileInfo info;
        if (platform::GetFileInfo(copy.path, info) == platform::kSuccess &&
            (info.attributes & platform::kAttrDirectory) == 0 && info.size == size)
            return true;
    }
    return false;
}
