#pragma once
// harvex.conf, the settings of the Linux program: an INI file of "Name = value" lines named as the
// values of the settings key ("Save to", "Folder name", "Verify", ...), each checked against its
// entry in the settings table. A file that cannot be read as it stands is refused, with the line
// that is wrong, rather than half taken.
#include "settings/Settings.h"

#include <string>
#include <string_view>

// The file as it is first made: each setting commented out at its default, with what it means.
std::string DefaultSettingsFileText(const Settings& defaults);

// Sets the field from the text of its value: a whole number within the field's limits, or for a
// folder an absolute path ("~/" stands for home). False, with why, for anything else.
bool SetSettingFromText(const SettingField& field, std::wstring_view value, const std::wstring& home,
                        Settings& settings, std::string& why);

// Reads the file's text over settings (which hold the defaults). False, with error as
// "fileName:LINE: what is wrong", for the first line that is wrong: a line that is no setting, a
// name the table does not know, a value out of its limits, a name given twice, a section header.
bool ReadSettingsFile(const std::string& text, const std::string& fileName, const std::wstring& home,
                      Settings& settings, std::string& error);
