#pragma once
// The program's version as the build gives it (CMakeLists.txt is the one place it is written), and
// the texts that show it.
#include "HarvexVersion.h"

// "2.0"
inline constexpr wchar_t kVersionText[] = HARVEX_VERSION_WTEXT;
// The tray icon's tip and the first words of texts that name the program: "Harvex 2.0".
inline constexpr wchar_t kProductAndVersion[] = L"Harvex " HARVEX_VERSION_WTEXT;
