#pragma once
// The values the main dialog keeps under the settings key: loaded once when the dialog starts,
// stored once when it is destroyed. Each value is declared once, in the table of Settings.cpp.
#include "platform/Registry.h"
#include "settings/CompletionOptions.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

inline constexpr wchar_t kSettingsKeyPath[] = L"SOFTWARE\\Quenby\\Harvex2";
inline constexpr wchar_t kSettingsKeyClass[] = L"DWORD";
// "Save to" and "Also copy to" are read into a buffer of this many wide characters, terminator
// included.
inline constexpr size_t kSaveToReadChars = 260;

struct Settings {
    int32_t folderName = 0; // the "Folder names:" selection; -1 when none
    int32_t logLevel = 0;   // the "Log:" selection; -1 when none
    CompletionOptions completion;
    CopyingOptions copying;
    std::wstring saveTo;
    std::wstring alsoCopyTo; // "Also copy to"; empty for one copy
};

// One value of the settings key, as the registry and the Linux program's settings file name it.
struct SettingField {
    // What a text that cannot be read from the registry gives.
    enum class Unreadable {
        DocumentsFolder, // "Save to": any stored type reads as text
        Off,             // a second destination: only REG_SZ reads, anything else is no destination
    };

    const wchar_t* name;
    platform::RegType type; // Dword or String
    int32_t& (*dword)(Settings&);
    std::wstring& (*text)(Settings&);
    int32_t defaultValue;     // a DWORD's; a text's default is given by unreadable
    int32_t minimum, maximum; // a DWORD's values that mean something; the registry keeps any
    Unreadable unreadable;    // a text's
    const wchar_t* meaning;   // one line for people who edit a settings file
};

// Every value, in the order they are read and written.
std::span<const SettingField> SettingFields();

// Reads every value; a value that is missing or cannot be read takes its default. The documents
// folder is asked for only when "Save to" cannot be read. "Also copy to" is off (empty) when it is
// missing, too long or not text.
Settings LoadSettings(const platform::RegKey& key, const std::function<std::wstring()>& documentsFolder);

// Writes every value, each on its own; a failed write is ignored.
void StoreSettings(platform::RegKey& key, const Settings& settings);
