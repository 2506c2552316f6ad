#include "ui/LinkColors.h"
#include "platform/Registry.h"

#include <array>
#include <string>

namespace {

constexpr size_t kColorBufferChars = 12;

} // namespace

bool ReadColorValue(const platform::RegKey& key, std::wstring_view name, uint32_t& colorRef) {
    // The registry keeps the text as UTF-16 whatever the build's wide character is.
    std::array<uint8_t, kColorBufferChars * 2> bytes{};
    uint32_t size = 0;
    platform::RegType type{};
    if (!key.Query(name, bytes.data(), static_cast<uint32_t>(bytes.size()), &size, &type))
        return false;
    if (type != platform::RegType::String)
        return false;
    std::wstring text;
    for (uint32_t i = 0; i + 1 < size; i += 2) {
        wchar_t unit = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == L'\0')
            break;
        text += unit;
    }
    // Twelve characters fill the buffer and leave no room for the terminator.
    if (text.size() >= kColorBufferChars)
        return false;
    return ParseColorString(text, colorRef);
}

LinkColors ReadLinkColors() {
    LinkColors colors;
    platform::RegKey key = platform::RegKey::Open(kLinkColorsKeyPath);
    if (!key.IsOpen())
        return colors;
    ReadColorValue(key, L"Anchor Color", colors.link);
    ReadColorValue(key, L"Anchor Color Visited", colors.visited);
    return colors;
}
