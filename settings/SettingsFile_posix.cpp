// harvex.conf through inih (Debian's libinih), fed line by line so that every message can name its
// line, and so that a line too long for inih's buffer is refused rather than cut.
#include "settings/SettingsFile.h"

#include "platform/Text.h"

#include <ini.h>

#include <cstring>
#include <map>

namespace {

struct Reading {
    Reading(const std::string& text, const std::wstring& home, Settings& settings)
        : text(text), home(home), settings(settings) {}

    const std::string& text;
    const std::wstring& home;
    Settings& settings;
    size_t at = 0;
    int line = 0; // of the line inih was last given
    int errorLine = 0;
    std::string error;
    std::map<std::wstring, int> seen; // upper-case name: its line

    void Fail(std::string why) {
        if (errorLine != 0)
            return;
        errorLine = line;
        error = std::move(why);
    }
};

// inih's reader, fgets-like: the next line, newline included, or nullptr at the end or at a line
// too long for the buffer.
char* NextLine(char* buffer, int size, void* stream) {
    auto& reading = *static_cast<Reading*>(stream);
    if (reading.at >= reading.text.size() || reading.errorLine != 0)
        return nullptr;
    const size_t newline = reading.text.find('\n', reading.at);
    const size_t end = newline == std::string::npos ? reading.text.size() : newline + 1;
    ++reading.line;
    if (end - reading.at >= static_cast<size_t>(size)) {
        reading.Fail("the line is longer than " + std::to_string(size - 2) + " characters");
        return nullptr;
    }
    std::memcpy(buffer, reading.text.data() + reading.at, end - reading.at);
    buffer[end - reading.at] = '\0';
    reading.at = end;
    return buffer;
}

const SettingField* FieldNamed(const std::wstring& upperName) {
    for (const SettingField& field : SettingFields()) {
        if (platform::AsciiUpper(field.name) == upperName)
            return &field;
    }
    return nullptr;
}

int OnSetting(void* user, const char* section, const char* name, const char* value) {
    auto& reading = *static_cast<Reading*>(user);
    if (*section != '\0') {
        reading.Fail(std::string("settings stand outside sections; this one is under [") + section + "]");
        return 0;
    }
    const std::wstring wideName = platform::FromHostName(name);
    const std::wstring upperName = platform::AsciiUpper(wideName);
    const SettingField* field = FieldNamed(upperName);
    if (field == nullptr) {
        reading.Fail(std::string("no setting is called \"") + name + "\"");
        return 0;
    }
    if (auto earlier = reading.seen.find(upperName); earlier != reading.seen.end()) {
        reading.Fail("\"" + platform::ToUtf8(field->name) + "\" is given a second time (first on line " +
                     std::to_string(earlier->second) + ")");
        return 0;
    }
    reading.seen.emplace(upperName, reading.line);
    std::string why;
    if (!SetSettingFromText(*field, platform::FromHostName(value), reading.home, reading.settings, why)) {
        reading.Fail(why);
        return 0;
    }
    return 1;
}

} // namespace

bool ReadSettingsFile(const std::string& text, const std::string& fileName, const std::wstring& home,
                      Settings& settings, std::string& error) {
    Reading reading(text, home, settings);
    const int firstBad = ini_parse_stream(NextLine, &reading, OnSetting, &reading);
    if (firstBad == 0 && reading.errorLine == 0)
        return true;
    if (reading.errorLine == 0 || (firstBad > 0 && firstBad < reading.errorLine)) {
        error = fileName + ":" + std::to_string(firstBad) + ": not a setting (Name = value) nor a comment";
        return false;
    }
    error = fileName + ":" + std::to_string(reading.errorLine) + ": " + reading.error;
    return false;
}
