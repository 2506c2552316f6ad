#pragma once
// The colours of web links, as the user set them for the system's browser.
#include "ui/ColorString.h"

#include <cstdint>
#include <string_view>

namespace platform {
class RegKey;
}

inline constexpr wchar_t kLinkColorsKeyPath[] = L"Software\\Microsoft\\Internet Explorer\\Settings";

struct LinkColors {
    uint32_t link = MakeColorRef(0, 0, 255);      // blue
    uint32_t visited = MakeColorRef(128, 0, 128); // purple
};

// A colour stored as the text "r,g,b" in a string value. Read into a buffer of 12 characters, so a
// text of 12 characters or more, a value of another type, a missing value or a text that does not
// parse all leave colorRef unchanged.
bool ReadColorValue(const platform::RegKey& key, std::wstring_view name, uint32_t& colorRef);

// "Anchor Color" and "Anchor Color Visited" from HKCU\Software\Microsoft\Internet Explorer\Settings,
// each keeping its default when absent or malformed.
LinkColors ReadLinkColors();
