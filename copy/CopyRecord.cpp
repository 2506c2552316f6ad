#include "copy/CopyRecord.h"

#include "copy/ChecksumList.h"
#include "copy/WalkPaths.h"
#include "platform/Text.h"

#include <charconv>

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

} // namespace

std::string CopyRecordHeaderText(uint32_t serial, std::wstring_view folder) {
    std::string text =
        "# Harvex copy record: the files this run copied, for \"Copy only files not copied before\"\n";
    text += platform::ToUtf8(platform::Format(L"serial %08X\n", serial));
    text += "folder " + EscapeListName(platform::ToUtf8(folder)) + "\n";
    return text;
}

std::string CopyRecordLine(std::wstring_view relativePath, uint64_t size, platform::FileTime lastWriteTime) {
    std::wstring path(relativePath);
    for (wchar_t& c : path) {
        if (c == L'\\')
            c = L'/';
    }
    return std::to_string(size) + "\t" + std::to_string(lastWriteTime) + "\t" +
           EscapeListName(platform::ToUtf8(path)) + "\n";
}

EarlierCopies EarlierCopies::Load(const std::wstring& copyTo, uint32_t serial) {
    EarlierCopies copies;
    platform::ErrorCode error = platform::kSuccess;
    platform::FolderListing listing = platform::FolderListing::Open(ListingPattern(copyTo), error);
    platform::FolderEntry entry;
    while (listing.IsOpen() && listing.Next(entry, error)) {
        if ((entry.attributes & platform::kAttrDirectory) != 0 || !EndsWith(entry.name, kCopyRecordSuffix))
            continue;
        std::string text;
        if (platform::ReadSmallFile(JoinWalkPath(copyTo, entry.name), kMaxRecordBytes, text) ==
            platform::kSuccess)
            copies.AddRecord(copyTo, serial, text);
    }
    return copies;
}

void EarlierCopies::AddRecord(const std::wstring& copyTo, uint32_t serial, std::string_view text) {
    uint32_t recordSerial = 0;
    std::wstring base;
    bool haveSerial = false;
    bool haveFolder = false;
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
            auto folder = UnescapeListName(line.substr(7));
            if (!folder)
                return;
            base =
                folder->empty() ? copyTo : JoinWalkPath(copyTo, WithBackslashes(platform::FromUtf8(*folder)));
            haveFolder = true;
            continue;
        }
        if (!haveSerial || !haveFolder)
            return;
        Copy copy;
        std::string_view rest = line;
        auto name = UnescapeListName((ParseNumber(TakeField(rest, '\t'), copy.size) &&
                                      ParseNumber(TakeField(rest, '\t'), copy.lastWriteTime))
                                         ? rest
                                         : std::string_view());
        if (!name || name->empty())
            continue;
        const std::wstring relative = WithBackslashes(platform::FromUtf8(*name));
        copy.path = JoinWalkPath(base, relative);
        m_byPath[platform::AsciiUpper(relative)].push_back(std::move(copy));
    }
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
