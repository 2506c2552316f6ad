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

// text cut to at most length units, never between the two halves of a surrogate pair.
std::wstring CutTo(const std::wstring& text, size_t length) {
    if (text.size() <= length)
        return text;
    if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
        --length;
    return text.substr(0, length);
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

std::wstring NumberedName(const std::wstring& name, uint32_t number) {
    const size_t extensionStart = ExtensionStart(name);
    const std::wstring extension = name.substr(extensionStart);
    const std::wstring tag = platform::Format(L" (%u)", number);
    const size_t room =
        kMaxNameLength > extension.size() + tag.size() ? kMaxNameLength - extension.size() - tag.size() : 0;
    return CutTo(name.substr(0, extensionStart), room) + tag + extension;
}

std::wstring TemporaryName(const std::wstring& name) {
    return CutTo(name, kMaxNameLength - kTemporarySuffix.size()) + std::wstring(kTemporarySuffix);
}

bool IsTemporaryName(const std::wstring& name) {
    return name.size() >= kTemporarySuffix.size() &&
           std::wstring_view(name).substr(name.size() - kTemporarySuffix.size()) == kTemporarySuffix;
}
