#include "cli/ConfigFile.h"

#include "platform/System.h"
#include "platform/Text.h"
#include "settings/SettingsFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

Settings Defaults() {
    Settings settings;
    settings.saveTo = platform::DocumentsFolder();
    return settings;
}

// A home without a settings file gets one; one that cannot be made is no reason not to copy.
void MakeDefaultFile(const std::string& path, const Settings& defaults) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file)
        file << DefaultSettingsFileText(defaults);
    if (!file || (file.close(), !file))
        std::fprintf(stderr, "harvex: cannot make %s; the defaults hold\n", path.c_str());
}

} // namespace

std::string ConfigFilePath() {
    std::string base = Environment("XDG_CONFIG_HOME");
    if (base.empty() || base[0] != '/')
        base = Environment("HOME") + "/.config";
    return base + "/harvex/harvex.conf";
}

bool LoadConfigFile(Settings& settings, std::string& error) {
    settings = Defaults();
    const std::string path = ConfigFilePath();
    std::error_code missing;
    if (!std::filesystem::exists(path, missing) && !missing) {
        MakeDefaultFile(path, settings);
        return true;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        error = path + ": cannot be read";
        return false;
    }
    return ReadSettingsFile(text.str(), path, platform::FromHostName(Environment("HOME")), settings, error);
}
