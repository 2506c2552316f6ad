#include "settings/SettingsFile.h"

#include "platform/Text.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool ReadWholeNumber(std::wstring_view text, int32_t& number) {
    const std::string narrow = platform::ToUtf8(text);
    if (narrow.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(narrow.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX)
        return false;
    number = static_cast<int32_t>(value);
    return true;
}

std::string Quoted(std::wstring_view text) {
    std::string quoted = "\"";
    quoted += platform::ToUtf8(text);
    quoted += '"';
    return quoted;
}

std::string Limits(const SettingField& field) {
    if (field.maximum == field.minimum + 1)
        return std::to_string(field.minimum) + " or " + std::to_string(field.maximum);
    return "a whole number from " + std::to_string(field.minimum) + " to " + std::to_string(field.maximum);
}

bool SetNumber(const SettingField& field, std::wstring_view value, Settings& settings, std::string& why) {
    int32_t number = 0;
    if (!ReadWholeNumber(value, number) || number < field.minimum || number > field.maximum) {
        why = Quoted(field.name) + " must be " + Limits(field) + ", not " + Quoted(value);
        return false;
    }
    field.dword(settings) = number;
    return true;
}

bool SetFolder(const SettingField& field, std::wstring_view value, const std::wstring& home,
               Settings& settings, std::string& why) {
    std::wstring folder(value);
    if (folder.rfind(L"~/", 0) == 0 && !home.empty())
        folder = home + folder.substr(1);
    // Only the second destination may be left out; a first one that is missing makes no copy.
    const bool mayBeEmpty = field.unreadable == SettingField::Unreadable::Off;
    if (folder.empty() && mayBeEmpty) {
        field.text(settings).clear();
        return true;
    }
    if (folder.empty() || folder[0] != L'/') {
        why =
            Quoted(field.name) + " must be an absolute folder (starting with / or ~/), not " + Quoted(value);
        return false;
    }
    field.text(settings) = folder;
    return true;
}

} // namespace

std::string DefaultSettingsFileText(const Settings& defaults) {
    std::string text =
        "# Harvex settings. A line \"Name = value\" sets a value; a line starting with # is a comment.\n"
        "# Each value below is commented out at its default. Options on the command line win.\n";
    Settings values = defaults;
    for (const SettingField& field : SettingFields()) {
        text += "\n# " + platform::ToUtf8(field.meaning) + "\n# " + platform::ToUtf8(field.name) + " = ";
        if (field.type == platform::RegType::String)
            text += platform::ToUtf8(field.text(values));
        else
            text += std::to_string(field.dword(values));
        text += "\n";
    }
    return text;
}

bool SetSettingFromText(const SettingField& field, std::wstring_view value, const std::wstring& home,
                        Settings& settings, std::string& why) {
    if (field.type == platform::RegType::String)
        return SetFolder(field, value, home, settings, why);
    return SetNumber(field, value, settings, why);
}
