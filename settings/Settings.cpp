#include "settings/Settings.h"

#include <array>
#include <vector>

namespace {

using DwordMember = int32_t& (*)(Settings&);
using TextMember = std::wstring& (*)(Settings&);
using Unreadable = SettingField::Unreadable;
using SettingEntry = SettingField;

constexpr SettingEntry Dword(const wchar_t* name, DwordMember member, int32_t minimum, int32_t maximum,
                             const wchar_t* meaning) {
    return {name, platform::RegType::Dword, member, nullptr, 0, minimum, maximum, Unreadable::Off, meaning};
}

constexpr SettingEntry Flag(const wchar_t* name, DwordMember member, const wchar_t* meaning) {
    return Dword(name, member, 0, 1, meaning);
}

constexpr SettingEntry Text(const wchar_t* name, Unreadable unreadable, TextMember member,
                            const wchar_t* meaning) {
    return {name, platform::RegType::String, nullptr, member, 0, 0, 0, unreadable, meaning};
}

// In the order they are read and written.
constexpr std::array kEntries = {
    Dword(
        L"Folder name", [](Settings& s) -> int32_t& { return s.folderName; }, -1, 3,
        L"each run's folder in \"Save to\": 0 date and time, 1 three digits, 2 five digits, 3 volume "
        L"label, -1 none (into \"Save to\" itself)"),
    Dword(
        L"Log level", [](Settings& s) -> int32_t& { return s.logLevel; }, 0, 2,
        L"log lines shown: 0 basic, 1 and each folder, 2 and each file"),
    Flag(
        L"Eject CD-ROM", [](Settings& s) -> int32_t& { return s.completion.m_ejectCdRom; },
        L"1: eject a CD-ROM once its copy has finished"),
    Flag(
        L"Show popup", [](Settings& s) -> int32_t& { return s.completion.m_showPopup; },
        L"1: say so when a copy has finished"),
    Flag(
        L"Beep", [](Settings& s) -> int32_t& { return s.completion.m_beep; },
        L"1: beep when a copy has finished"),
    Flag(
        L"Beep by speaker", [](Settings& s) -> int32_t& { return s.completion.m_beepBySpeaker; },
        L"1: beep by the system speaker, 0: by the common audio output"),
    Flag(
        L"Verify", [](Settings& s) -> int32_t& { return s.copying.m_verify; },
        L"1: read every copy back and compare it with the card"),
    Flag(
        L"Only new files", [](Settings& s) -> int32_t& { return s.copying.m_onlyNew; },
        L"1: copy only files not copied before"),
    Text(
        L"Save to", Unreadable::DocumentsFolder, [](Settings& s) -> std::wstring& { return s.saveTo; },
        L"the folder that receives the copies"),
    Text(
        L"Also copy to", Unreadable::Off, [](Settings& s) -> std::wstring& { return s.alsoCopyTo; },
        L"a second folder that receives the same copies; empty for none"),
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

std::span<const SettingField> SettingFields() {
    return kEntries;
}

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
