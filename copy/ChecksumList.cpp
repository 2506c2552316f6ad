#include "copy/ChecksumList.h"

#include "platform/Text.h"

namespace {

constexpr size_t kHexDigits = 64;

bool NeedsEscape(std::string_view name) {
    return name.find_first_of("\\\n\r") != std::string_view::npos;
}

std::string EscapedName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 8);
    for (char c : name) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

// Undoes Escaped; nothing when a backslash is followed by anything else.
std::optional<std::string> UnescapedName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            out += name[i];
            continue;
        }
        if (++i == name.size())
            return std::nullopt;
        switch (name[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::string Comment(const std::wstring& text) {
    // A line break in a label must not end the comment early.
    std::string line = "# " + platform::ToUtf8(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return line + "\n";
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Lower(char c) {
    return (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
}

ChecksumListLine Malformed(const wchar_t* problem) {
    ChecksumListLine line;
    line.kind = ChecksumListLine::Kind::Malformed;
    line.problem = problem;
    return line;
}

} // namespace

std::string EscapeListName(std::string_view name) {
    return EscapedName(name);
}

std::optional<std::string> UnescapeListName(std::string_view name) {
    return UnescapedName(name);
}

bool IsPathInsideFolder(std::wstring_view path) {
    if (path.empty() || path[0] == L'\\' || path.find(L':') != std::wstring_view::npos)
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos)
            end = path.size();
        const std::wstring_view part = path.substr(start, end - start);
        if (part.empty() || part == L"." || part == L"..")
            return false;
        start = end + 1;
    }
    return true;
}

std::wstring ListTimeText(const platform::LocalTime& t) {
    return platform::Format(L"%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                            t.second);
}

std::string ChecksumListHeaderText(const ChecksumListHeader& header) {
    std::string text = Comment(header.program + L" checksum list (SHA-256); check with: sha256sum -c");
    std::wstring volume =
        L"Drive " + header.source + L", volume label \"" + header.label + L"\", serial number ";
    volume += header.serial ? platform::Format(L"%04X-%04X", *header.serial >> 16, *header.serial & 0xFFFF)
                            : std::wstring(L"unknown");
    text += Comment(volume);
    if (!header.folder.empty())
        text += Comment(L"Folder: " + header.folder);
    text += Comment(L"Started: " + ListTimeText(header.started));
    return text;
}

std::string ChecksumLine(const platform::Sha256Digest& digest, std::wstring_view relativePath) {
    std::wstring path(relativePath);
    for (wchar_t& c : path) {
        if (c == L'\\')
            c = L'/';
    }
    const std::string name = platform::ToUtf8(path);
    const bool escape = NeedsEscape(name);
    std::string line = escape ? "\\" : "";
    line += platform::DigestHex(digest);
    line += "  ";
    line += escape ? EscapedName(name) : name;
    line += "\n";
    return line;
}

std::string ChecksumListEndText(const platform::LocalTime& ended, bool stopped, uint32_t errorCount) {
    std::string text = Comment(L"Ended: " + ListTimeText(ended));
    if (stopped)
        text +=
            Comment(L"Not complete: the run was stopped; only the files listed were copied and verified.");
    else if (errorCount > 0)
        text += Comment(platform::Format(L"Not complete: the run had %u %ls; only the files listed were "
                                         L"copied and verified.",
                                         errorCount, errorCount == 1 ? L"error" : L"errors"));
    return text;
}

ChecksumListLine ParseChecksumLine(std::string_view line) {
    // A list saved by a Windows editor ends its lines with a carriage return; a name's own is escaped.
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty() || line[0] == '#')
        return {};
    const bool escaped = line[0] == '\\';
    if (escaped)
        line.remove_prefix(1);
    if (line.size() < kHexDigits + 3)
        return Malformed(L"the line is too short for a checksum and a name");
    ChecksumListLine result;
    for (size_t i = 0; i < kHexDigits; ++i) {
        if (!IsHexDigit(line[i]))
            return Malformed(L"the checksum is not 64 hex digits");
        result.hex += Lower(line[i]);
    }
    if (line[kHexDigits] != ' ' || (line[kHexDigits + 1] != ' ' && line[kHexDigits + 1] != '*'))
        return Malformed(L"the checksum is not followed by two spaces (or a space and *)");
    std::string_view name = line.substr(kHexDigits + 2);
    std::optional<std::string> unescaped = escaped ? UnescapedName(name) : std::optional<std::string>(name);
    if (!unescaped)
        return Malformed(L"the name holds a backslash that is not an escape");
    std::wstring path = platform::FromUtf8(*unescaped);
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    if (!IsPathInsideFolder(path))
        return Malformed(L"the name is not a path inside the list's folder");
    result.kind = ChecksumListLine::Kind::Entry;
    result.relativePath = std::move(path);
    return result;
}
