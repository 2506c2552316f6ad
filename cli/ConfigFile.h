#pragma once
// Where the Linux program keeps its settings: $XDG_CONFIG_HOME/harvex/harvex.conf, or
// ~/.config/harvex/harvex.conf when XDG_CONFIG_HOME is not set. The first use makes the file with
// every setting commented out at its default.
#include "settings/Settings.h"

#include <string>

std::string ConfigFilePath();

// The settings as the file gives them over the defaults; false with the message (the file and line
// that is wrong) when the file cannot be read or is not right.
bool LoadConfigFile(Settings& settings, std::string& error);
