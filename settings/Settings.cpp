#include "settings/Settings.h"

#include <array>

namespace {

using DwordMember = int32_t& (*)(Settings&);
using TextMember = std::wstring& (*)(Settings&);

// One registry value of the settings key. A DWORD's default is defaultValue; the one text's default
// is the documents folder.
struct SettingEntry {
    const wchar_t* name;
    platform::RegType type;
    DwordMember dword;
    TextMember text;
    int32_t defaultValue;
};

constexpr SettingEntry Dword(const wchar_t* name, DwordMember member, int32_t defaultValue = 0) {
    return {name, platform::RegType::Dword, member, nullptr, defaultValue};
}

constexpr SettingEntry Text(const wchar_t* name, TextMember member) {
    return {name, platform::RegType::String, nullptr, member, 0};
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
    Text(L"Save to", [](Settings& s) -> std::wstring& { return s.saveTo; }),
};

void Load(const platform::RegKey& key, const SettingEntry& entry, Settings& s,
          const std::function<std::wstring()>& documentsFolder) {
    if (entry.type == platform::RegType::String) {
        if (!key.QueryString(entry.name, kSaveToReadChars, entry.text(s)))
            entry.text(s) = documentsFolder ? documentsFolder() : std::wstring();
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
