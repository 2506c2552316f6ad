#include "settings/Settings.h"

#include <array>
#include <vector>

namespace {

using DwordMember = int32_t& (*)(Settings&);
using TextMember = std::wstring& (*)(Settings&);

// What a text that cannot be read gives.
enum class Unreadable {
    DocumentsFolder, // "Save to": any stored type reads as text
    Off,             // a second destination: only REG_SZ reads, anything else is no destination
};

// One registry value of the settings key. A DWORD's default is defaultValue; a text's is given by
// unreadable.
struct SettingEntry {
    const wchar_t* name;
    platform::RegType type;
    DwordMember dword;
    TextMember text;
    int32_t defaultValue;
    Unreadable unreadable;
};

constexpr SettingEntry Dword(const wchar_t* name, DwordMember member, int32_t defaultValue = 0) {
    return {name, platform::RegType::Dword, member, nullptr, defaultValue, Unreadable::Off};
}

constexpr SettingEntry Text(const wchar_t* name, Unreadable unreadable, TextMember member) {
    return {name, platform::RegType::String, nullptr, member, 0, unreadable};
}

// In the order they are read and written.
constexpr std::array kEntries = {
    Dword(L"Folder name", [](Settings& s) -> int32_t& { return s.folderName; }),
    Dword(L"Log level", [](Settings& s) -> int32_t& { return s.logLevel; }),
    Dword(L"Eject CD-ROM", [](Settings& s) -> int32_t& { return s.completion.m_ejectCdRom; }),
    Dword(L"Show popup", [](Settings& s) -> int32_t& { return s.completion.m_showPopup; }),
    Dword(L"Beep", [](Settings& s) -> int32_t& { return s.completion.m_beep; }),
    Dword(L"Beep by speaker", [](Settings& s) -> int32_t& { return s.completion.m_beepBySpeaker; }),
    Dword(L"Verify", [](Settings& s) -> int32_t& { return s.copying.m_verify; }),
    Dword(L"Only new files", [](Settings& s) -> int32_t& { return s.copying.m_onlyNew; }),
    Text(L"Save to", Unreadable::DocumentsFolder, [](Settings& s) -> std::wstring& { return s.saveTo; }),
    Text(L"Also copy to", Unreadable::Off, [](Settings& s) -> std::wstring& { return s.alsoCopyTo; }),
};

// A number or bytes left by something else are no folder anyone chose: a second destination made of
// them would fail on every arrival, so they read as no second destination.
bool IsStoredAsText(const platform::RegKey& key, const wchar_t* name) {
    std::vector<uint8_t> buffer(kSaveToReadChars * 2);
    platform::RegType type{};
    return key.Query(name, buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr, &type) &&
           type == platform::RegType::String;
}

std::wstring ReadText(const platform::RegKey& key, const SettingEntry& entry,
                      const std::function<std::wstring()>& documentsFolder) {
    std::wstring text;
    if (entry.unreadable == Unreadable::Off)
        return IsStoredAsText(key, entry.name) && key.QueryString(entry.name, kSaveToReadChars, text)
                   ? text
                   : std::wstring();
    if (key.QueryString(entry.name, kSaveToReadChars, text))
        return text;
    return documentsFolder ? documentsFolder() : std::wstring();
}

void Load(const platform::RegKey& key, const SettingEntry& entry, Settings& s,
          const std::function<std::wstring()>& documentsFolder) {
    if (entry.type == platform::RegType::String) {
        entry.text(s) = ReadText(key, entry, documentsFolder);
        return;
    }
    uint32_t value = 0;
    entry.dword(s) = key.QueryDword(entry.name, value) ? static_cast<int32_t>(value) : entry.defaultValue;
}

void Store(platform::RegKey& key, const SettingEntry& entry, Settings& s) {
    if (entry.type == platform::RegType::String)
        key.SetString(entry.name, entry.text(s));
    else
        key.SetDword(entry.name, static_cast<uint32_t>(entry.dword(s)));
}

} // namespace

Settings LoadSettings(const platform::RegKey& key, const std::function<std::wstring()>& documentsFolder) {
    Settings s;
    for (const SettingEntry& entry : kEntries)
        Load(key, entry, s, documentsFolder);
    return s;
}

void StoreSettings(platform::RegKey& key, const Settings& settings) {
    Settings s = settings;
    for (const SettingEntry& entry : kEntries)
        Store(key, entry, s);
}
