#include "copy/FileNames.h"

#include "platform/Files.h"
#include "platform/Text.h"

#include <string_view>

namespace {

constexpr std::wstring_view kTemporarySuffix = L".harvex-partial";

// The stem of a name: the part before its first dot.
std::wstring DeviceStem(const std::wstring& name) {
    std::wstring stem = platform::AsciiUpper(name.substr(0, name.find(L'.')));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    return stem;
}

// Where an extension starts: the last dot, unless it leads the name; else the end.
size_t ExtensionStart(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? name.size() : dot;
}

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

// The UTF-16 units and UTF-8 bytes of the character that starts at text[at], and how many wide
// characters it takes.
struct CharacterSize {
    size_t units;
    size_t bytes;
    size_t width;
};

CharacterSize SizeAt(const std::wstring& text, size_t at) {
    const auto c = static_cast<char32_t>(text[at]);
    if (IsHighSurrogate(text[at]) && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF)
        return {2, 4, 2};
    if (c < 0x80 || (c >= 0xDC80 && c <= 0xDCFF))
        return {1, 1, 1};
    if (c < 0x800)
        return {1, 2, 1};
    if (c < 0x10000)
        return {1, 3, 1};
    return {2, 4, 1};
}

// The longest start of text whose NameLength is at most length; never half a character.
std::wstring CutTo(const std::wstring& text, size_t length) {
    size_t units = 0;
    size_t bytes = 0;
    size_t at = 0;
    while (at < text.size()) {
        const CharacterSize size = SizeAt(text, at);
        if (units + size.units > length || bytes + size.bytes > length)
            break;
        units += size.units;
        bytes += size.bytes;
        at += size.width;
    }
    return text.substr(0, at);
}

bool EndsWithAnyCase(const std::wstring& name, std::wstring_view suffix) {
    return name.size() >= suffix.size() &&
           platform::AsciiUpper(std::wstring_view(name).substr(name.size() - suffix.size())) ==
               platform::AsciiUpper(suffix);
}

// Harvex's own names: its temporary files anywhere, and its records and lists in "Copy to".
bool IsOwnFileName(const std::wstring& name, NamePlace place) {
    if (!place.isFile)
        return false;
    if (EndsWithAnyCase(name, kTemporarySuffix))
        return true;
    return place.inCopyToRoot && (EndsWithAnyCase(name, L".copied") || EndsWithAnyCase(name, L".sha256"));
}

// The name with its stem shortened so that the whole fits kMaxNameLength, its extension kept when
// it leaves room for a stem.
std::wstring FittedName(const std::wstring& name) {
    if (NameLength(name) <= kMaxNameLength)
        return name;
    const size_t extensionStart = ExtensionStart(name);
    const std::wstring extension = name.substr(extensionStart);
    const size_t extensionLength = NameLength(extension);
    if (extensionLength >= kMaxNameLength)
        return CutTo(name, kMaxNameLength);
    return CutTo(name.substr(0, extensionStart), kMaxNameLength - extensionLength) + extension;
}

} // namespace

bool IsDeviceName(const std::wstring& name) {
    const std::wstring stem = DeviceStem(name);
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (stem == device)
            return true;
    }
    const bool numbered = stem.size() == 4 && stem[3] >= L'1' && stem[3] <= L'9';
    return numbered && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0);
}

bool IsDotsAndBlanks(const std::wstring& name) {
    return name.find_first_not_of(L". ") == std::wstring::npos;
}

bool IsForbiddenNameCharacter(wchar_t c) {
    return c < 0x20 || c == platform::kHostBackslash ||
           std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos;
}

std::wstring SafeName(const std::wstring& name) {
    std::wstring safe = name.empty() ? std::wstring(L"_") : name;
    for (wchar_t& c : safe) {
        if (IsForbiddenNameCharacter(c))
            c = L'_';
    }
    for (size_t i = safe.size(); i > 0 && (safe[i - 1] == L'.' || safe[i - 1] == L' '); --i)
        safe[i - 1] = L'_';
    if (IsDeviceName(safe)) {
        size_t stemEnd = safe.find(L'.');
        if (stemEnd == std::wstring::npos)
            stemEnd = safe.size();
        safe.insert(stemEnd, 1, L'_');
    }
    return safe;
}

size_t NameLength(const std::wstring& name) {
    size_t units = 0;
    size_t bytes = 0;
    for (size_t at = 0; at < name.size();) {
        const CharacterSize size = SizeAt(name, at);
        units += size.units;
        bytes += size.bytes;
        at += size.width;
    }
    return units > bytes ? units : bytes;
}

std::wstring NumberedName(const std::wstring& name, uint32_t number) {
    const size_t extensionStart = ExtensionStart(name);
    std::wstring extension = name.substr(extensionStart);
    const std::wstring tag = platform::Format(L" (%u)", number);
    // An extension too long to leave room for the number gives up its end.
    if (NameLength(extension) + tag.size() > kMaxNameLength)
        extension = CutTo(extension, kMaxNameLength - tag.size() - 1);
    const size_t room = kMaxNameLength - NameLength(extension) - tag.size();
    return CutTo(name.substr(0, extensionStart), room) + tag + extension;
}

std::wstring TemporaryName(const std::wstring& name) {
    return CutTo(name, kMaxNameLength - kTemporarySuffix.size()) + std::wstring(kTemporarySuffix);
}

CopyName NameInCopy(const std::wstring& name, NamePlace place) {
    CopyName result{SafeName(name)};
    if (result.name != name)
        result.reason = L"Windows programs cannot use its name.";
    if (IsOwnFileName(result.name, place)) {
        result.name += L'_';
        result.reason = L"its name is one that Harvex gives its own files.";
    }
    std::wstring fitted = FittedName(result.name);
    if (fitted != result.name) {
        result.name = std::move(fitted);
        result.reason = L"its name is too long for the destination.";
    }
    return result;
}

bool IsTemporaryName(const std::wstring& name) {
    return name.size() >= kTemporarySuffix.size() &&
           std::wstring_view(name).substr(name.size() - kTemporarySuffix.size()) == kTemporarySuffix;
}
